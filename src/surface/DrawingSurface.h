// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "raster/DrawingObserver.h"
#include "raster/RetainedDrawing.h"

#include <QRect>
#include <QWidget>

namespace quorvel {

// The drawing of a window's client area shown in the window: a retained drawing (raster()) that
// survives being covered, a message box and a resize, fitted to the client area, painted where
// it is exposed and updated on the screen once per batch of drawing. Controls placed on it as
// children stay above the drawing.
class DrawingSurface : public QWidget
{
    Q_OBJECT
public:
    explicit DrawingSurface(QWidget *parent = nullptr);

    // The drawing, its area first brought to the client area's size and the screen's density.
    raster::RetainedDrawing &raster();
    const raster::RetainedDrawing &raster() const { return m_raster; }

    void setObserver(raster::DrawingObserver *observer) { m_raster.setObserver(observer); }
    raster::DrawingObserver *observer() const { return m_raster.observer(); }

    // Shows what has been drawn so far at once, without waiting for the event loop.
    void repaintNow();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitArea();
    // The part of the client area the drawing changed since the last screen update.
    QRect takeChangedLogical();
    void flushChanges();

    raster::RetainedDrawing m_raster;
    bool m_flushQueued = false;
};

} // namespace quorvel
