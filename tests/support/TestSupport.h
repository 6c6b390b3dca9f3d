// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "shell/Form.h"
#include "shell/MessageBox.h"
#include "support/DrawingSupport.h"
#include "surface/DrawingSurface.h"

#include <QImage>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <vector>

namespace quorvel::test {

// Silences the two harmless notes of the offscreen platform ("does not support
// propagateSizeHints()", "raise()") and passes every other message on. Call in initTestCase().
void filterPlatformNoise();

// Replaces the message box while alive: records each text and returns at once. `onMessage`, if
// set, runs before returning (to look at the window while the "box" is open).
class MessageRecorder
{
public:
    MessageRecorder();

    QStringList messages;
    std::function<void(const QString &)> onMessage;

private:
    ScopedMessageSink m_sink;
};

// Answers real message boxes: every 10 ms it looks for the active modal widget, records its
// text and presses its OK button.
class BoxDriver : public QObject
{
    Q_OBJECT
public:
    BoxDriver();
    QStringList messages;

private:
    void poll();
    QTimer m_timer;
};

// True once every event queued before it was made has been handled, and what they queued in
// turn: zero-time timers queued behind them have fired. For checks that something did not
// happen:
//   const test::QueueMark mark;  QTRY_VERIFY(mark.reached());  QCOMPARE(...);
class QueueMark
{
public:
    QueueMark();
    bool reached() const { return m_reached; }

private:
    QObject m_context;
    bool m_reached = false;
};

// Where `surface` shows on the screen something other than its drawing, outside the controls
// over it: empty when nowhere, else the first such pixel and both colours. The screen is the
// window's pixels as the window system holds them (the backing store offscreen), not a fresh
// paint.
QString screenDiffersFromDrawing(const DrawingSurface &surface);

// Stands in for another window of the program: an empty 200 x 100 window with one text field
// that reads "designed" when the window is built. Counts its activations and the windows built;
// `member`, like a form's members, stays when the window is closed.
class StubForm : public Form
{
public:
    StubForm(FormRegistry &registry, const QString &name);
    int activations = 0;
    int windowsBuilt = 0;
    int member = 0;
    QPointer<QLineEdit> field;
    void Form_Activate() override { ++activations; }

protected:
    QWidget *createWindow() override;
};

} // namespace quorvel::test
