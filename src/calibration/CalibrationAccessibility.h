// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include <functional>

namespace quorvel::calibration {

// The calibration window for a screen reader: its name, the red heading as its description, the
// scroll bar's value as the factor `factor` gives (as the text box shows it), the test figure as
// a graphic that tells its width and height on screen, and the instruction button as text.
// `heading`, `instruction` and `bar` are the window's red heading, instruction button and scroll
// bar.
struct CalibrationControls
{
    QLabel *heading;
    QPushButton *instruction;
    QScrollBar *bar;
};
void exposeCalibrationWindow(QWidget *window, const CalibrationControls &controls,
                             std::function<double()> factor);

// The test figure's width and height on screen, in pixels, for a client area of `width` x
// `height` pixels holding a user scale of `scaleWidth` x `scaleHeight` units.
struct FigureSize
{
    int width = 0;
    int height = 0;
};
FigureSize figureSize(int width, int height, double scaleWidth, double scaleHeight);

// What the figure's width and height mean for a listener calibrating by ear: "una
// circonferenza", "quasi una circonferenza", or which way the factor must go.
QString figureVerdict(FigureSize size);

} // namespace quorvel::calibration
