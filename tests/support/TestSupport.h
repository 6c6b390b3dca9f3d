#pragma once

#include "shell/MessageBox.h"
#include "surface/DrawingSurface.h"

#include <QObject>
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
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QStringList messages;
    std::function<void(const QString &)> onMessage;

private:
    MessageSink m_previous;
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

// Every drawing operation as the program made it, in user units.
struct SurfaceOp
{
    enum Kind { Scale, Clear, Line, Point } kind;
    float a = 0, b = 0, c = 0, d = 0; // scale: width, height; line: x1 y1 x2 y2; point: x y
    int width = 0; // DrawWidth
    unsigned colour = 0; // line: colour value; point: palette index
};

class RecordingObserver : public SurfaceObserver
{
public:
    std::vector<SurfaceOp> ops;
    void scaleChanged(float w, float h) override;
    void cleared() override;
    void lineDrawn(float x1, float y1, float x2, float y2, int width, ColourValue c) override;
    void pointSet(float x, float y, int width, int index) override;

    std::vector<SurfaceOp> points() const;
    std::vector<SurfaceOp> lines() const;
    int count(SurfaceOp::Kind kind) const;
};

// The bit pattern of a float, for exact comparisons.
quint32 bitsOf(float f);
quint64 bitsOf(double d);

} // namespace quorvel::test
