// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CalibrationAccessibility.h"

#include "model/CircleModel.h"

#include "model/NumericText.h"
#include "shell/AccessibleParts.h"
#include "surface/DrawingSurface.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace quorvel::calibration {

using namespace model;

namespace {

const QString kFigure = QStringLiteral("Figura di prova");

// Whether the window holds the figure's scale, i.e. the figure has been drawn.
bool figureScale(const raster::RetainedDrawing &s)
{
    return s.scaleMode() == raster::RetainedDrawing::kUserScale
        && s.scaleWidth() == kCircleScaleWidth && s.scaleHeight() > 0;
}

QString describeFigure(const DrawingSurface &s)
{
    if (!figureScale(s.raster()))
        return QStringLiteral("La figura non è ancora disegnata.");
    const FigureSize size
        = figureSize(s.width(), s.height(), static_cast<double>(s.raster().scaleWidth()),
                     static_cast<double>(s.raster().scaleHeight()));
    QString text = QStringLiteral("Sullo schermo la figura è larga %1 pixel e alta %2 pixel")
                       .arg(size.width)
                       .arg(size.height);
    if (size.width == size.height)
        return text + QStringLiteral(": è una circonferenza.");
    return text + QStringLiteral(": è una circonferenza quando le due misure sono uguali.");
}

// The figure's size as a listener judges it, after the factor as the window writes it.
QString spokenChange(const DrawingSurface &s, double factor)
{
    if (!figureScale(s.raster()))
        return decimalText(factor);
    const FigureSize size
        = figureSize(s.width(), s.height(), static_cast<double>(s.raster().scaleWidth()),
                     static_cast<double>(s.raster().scaleHeight()));
    return QStringLiteral("%1: larga %2, alta %3 pixel: %4.")
        .arg(decimalText(factor))
        .arg(size.width)
        .arg(size.height)
        .arg(figureVerdict(size));
}

// The figure's bounding box in the window's pixels.
QRect figureArea(const DrawingSurface &s)
{
    if (!figureScale(s.raster()))
        return s.rect();
    const raster::RetainedDrawing &r = s.raster();
    const double kx = s.width() / static_cast<double>(r.scaleWidth());
    const double ky = s.height() / static_cast<double>(r.scaleHeight());
    const double cx
        = (static_cast<double>(r.scaleWidth()) / 2 + static_cast<double>(kAxisShift)) * kx;
    const double cy = static_cast<double>(r.scaleHeight()) / 2 * ky;
    const FigureSize size
        = figureSize(s.width(), s.height(), static_cast<double>(s.raster().scaleWidth()),
                     static_cast<double>(s.raster().scaleHeight()));
    return {static_cast<int>(std::lround(cx - size.width / 2.0)),
            static_cast<int>(std::lround(cy - size.height / 2.0)), size.width, size.height};
}

} // namespace

QString figureVerdict(FigureSize size)
{
    if (size.width == size.height)
        return QStringLiteral("una circonferenza");
    // Within one part in a hundred the eye sees a circle.
    if (std::abs(size.width - size.height) * 100 <= std::max(size.width, size.height))
        return QStringLiteral("quasi una circonferenza");
    // A larger factor makes the figure lower.
    if (size.width > size.height)
        return QStringLiteral("più larga che alta, il fattore va diminuito");
    return QStringLiteral("più alta che larga, il fattore va aumentato");
}

FigureSize figureSize(int width, int height, double scaleWidth, double scaleHeight)
{
    if (!(scaleWidth > 0) || !(scaleHeight > 0))
        return {};
    return {static_cast<int>(std::lround(2 * kRadius * width / scaleWidth)),
            static_cast<int>(std::lround(2 * kRadius * height / scaleHeight))};
}

void exposeCalibrationWindow(QWidget *window, const CalibrationControls &controls,
                             std::function<double()> factor)
{
    auto *surface = qobject_cast<DrawingSurface *>(window);
    exposeWindow(window, QStringLiteral("QUORVEL: calibrazione dello schermo"),
                 controls.heading ? controls.heading->text() : QString());
    if (controls.instruction)
        exposeAsText(controls.instruction, controls.instruction->text());

    Graphic *figure = nullptr;
    if (surface) {
        figure = new Graphic(
            window, kFigure, [surface] { return describeFigure(*surface); },
            [surface] { return figureArea(*surface); });
    }

    for (QLineEdit *field : window->findChildren<QLineEdit *>())
        speakFieldOnce(field);

    QScrollBar *bar = controls.bar;
    if (!bar)
        return;
    const ScrollValue *value = exposeScrollValue(bar, std::move(factor), factorForPosition,
                                                 [](double f) { return decimalText(f); });
    // After the window's own handler has set the new factor: say it, and the figure's new size.
    QObject::connect(bar, &QScrollBar::valueChanged, value, [bar, value, figure, surface] {
        QAccessibleValueChangeEvent event(bar, value->current());
        QAccessible::updateAccessibility(&event);
        if (figure)
            figure->announce();
        if (surface)
            announce(surface, spokenChange(*surface, value->current()));
    });
}

} // namespace quorvel::calibration
