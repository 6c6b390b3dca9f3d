// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class QApplication;

namespace quorvel {

// A short Italian guide to the drawing windows, their fields and every key, shown with F1 from
// any of the program's windows, whatever control has the focus (not while a message box or
// dialog is open). It opens beside the window it explains, or over it where it covers none of
// that window's controls, always whole on the screen; Esc closes it and gives the focus back to
// that window. The guide is a window of its own, not one of the program's forms: showing it, or
// coming back from it, runs no activation handler.
class Guide : public QObject
{
    Q_OBJECT
public:
    explicit Guide(QObject *parent = nullptr);
    ~Guide() override;

    // The guide's text, as rich text.
    static QString text();

    // Shows the guide window (creating it if needed) for the window `opener` (null: none in
    // particular) and brings it to the front.
    void show(QWidget *opener = nullptr);
    QWidget *window() const;

    // Where the guide goes, all in screen coordinates: `screen` is the screen's available area,
    // `opener` the frame of the window it explains and `controls` the area its controls take;
    // `wanted` is the guide's preferred client size and `frame` what the window manager adds
    // around a client area. Returns the guide's client rectangle. In order of preference: beside
    // the opener, right then left; below the controls, from the screen's left edge; right of
    // the controls; else the free area beside the controls that holds most of the guide, or
    // the screen's right edge. Never larger than the screen.
    static QRect placement(const QRect &screen, const QRect &opener, const QRect &controls,
                           QSize wanted, const QMargins &frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_opener; // the window the guide was last opened for
};

// Makes F1 open the guide in every window of `app`; the guide object belongs to `app`.
Guide *installGuide(QApplication &app);

} // namespace quorvel
