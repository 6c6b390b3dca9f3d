// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DrawingSurface.h"

#include "raster/DrawingError.h"
#include "shell/RuntimeError.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

namespace quorvel {

static_assert(raster::kInvalidProcedureCall == kInvalidProcedureCall
              && raster::kInvalidPropertyValue == kInvalidPropertyValue
              && raster::kDrawingErrorExitStatus == kRuntimeErrorExitStatus);

DrawingSurface::DrawingSurface(QWidget *parent)
    : QWidget(parent)
    , m_raster(palette().color(QPalette::Window).rgb())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A drawing shown in a window ends the program as any other run-time error does: with the
    // message in a box.
    raster::setDrawingErrorHandler(&runtimeError);
    m_raster.setChangeListener([this] {
        if (!m_flushQueued) {
            m_flushQueued = true;
            // One screen update for the whole batch, when the event loop next runs (also inside
            // a message box's loop, so the user sees what was drawn before the box).
            QMetaObject::invokeMethod(this, &DrawingSurface::flushChanges, Qt::QueuedConnection);
        }
    });
}

raster::RetainedDrawing &DrawingSurface::raster()
{
    fitArea();
    return m_raster;
}

void DrawingSurface::fitArea()
{
    m_raster.setArea(size(), devicePixelRatioF(), logicalDpiX(), logicalDpiY());
}

bool DrawingSurface::event(QEvent *event)
{
    // Moved to another screen: the drawing takes its density and dpi.
    if (event->type() == QEvent::ScreenChangeInternal)
        fitArea();
    return QWidget::event(event);
}

QRect DrawingSurface::takeChangedLogical()
{
    const QRect changed = m_raster.takeChangedArea();
    if (changed.isEmpty())
        return {};
    const qreal dpr = m_raster.devicePixelRatio();
    return QRectF(changed.x() / dpr, changed.y() / dpr, changed.width() / dpr,
                  changed.height() / dpr)
        .toAlignedRect();
}

void DrawingSurface::flushChanges()
{
    m_flushQueued = false;
    const QRect r = takeChangedLogical();
    if (!r.isEmpty())
        update(r);
}

void DrawingSurface::repaintNow()
{
    const QRect r = takeChangedLogical();
    if (!r.isEmpty())
        repaint(r);
}

void DrawingSurface::paintEvent(QPaintEvent *event)
{
    fitArea();
    QPainter p(this);
    m_raster.paint(p, event->rect());
}

void DrawingSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitArea();
}

} // namespace quorvel
