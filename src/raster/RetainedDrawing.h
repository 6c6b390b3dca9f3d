// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DotWriter.h"
#include "DrawingObserver.h"
#include "DrawingRecord.h"
#include "Palette.h"

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

class QPainter;

namespace quorvel::raster {

// The drawing of a window's client area, without the window: a retained image in device pixels
// in a user scale of ScaleWidth x ScaleHeight units with the origin at the top-left corner and y
// growing downwards, the pen width of later drawing, Cls, Line and PSet, what has been drawn
// (the record) and the part of the image changed since it was last taken. Whoever shows it
// gives it the size and density of the area (setArea) and paints it where it is exposed; it
// needs no widget, no window and no application object.
class RetainedDrawing
{
public:
    // `background`: the colour of the cleared drawing.
    explicit RetainedDrawing(QRgb background);
    // Its writers point into it, and its image is never shared.
    RetainedDrawing(const RetainedDrawing &) = delete;
    RetainedDrawing &operator=(const RetainedDrawing &) = delete;

    // Scale modes: a user scale of ScaleWidth x ScaleHeight units, or centimetres of the display.
    static constexpr int kUserScale = 0;
    static constexpr int kCentimetreScale = 7;

    // The area drawn on: `logicalSize` logical pixels on a screen of `devicePixelRatio` device
    // pixels to a logical one, with `dpiX` x `dpiY` logical pixels to the inch (for the
    // centimetre scale). The image grows with the area, content kept at its top-left, and never
    // shrinks; a new density starts it afresh. Unless the mapping is held, the user scale is
    // mapped onto the new area.
    void setArea(QSize logicalSize, qreal devicePixelRatio = 1.0, double dpiX = 96.0,
                 double dpiY = 96.0);
    QSize size() const { return m_logicalSize; }
    qreal devicePixelRatio() const { return m_dpr; }

    // 0: user scale, keeping the current ScaleWidth and ScaleHeight; 7: the area in centimetres
    // of the display. Other modes are an invalid-argument run-time error.
    void setScaleMode(int mode);
    int scaleMode() const { return m_scaleMode; }
    void setScaleWidth(float width);
    void setScaleHeight(float height);
    float scaleWidth() const { return m_scaleWidth; }
    float scaleHeight() const { return m_scaleHeight; }

    // Pen width in pixels of later Line and PSet calls (scaled by the device pixel ratio).
    // Setting the current width again is free: the curve window does it for every dot.
    void setDrawWidth(int width)
    {
        if (width != m_drawWidth)
            changeDrawWidth(width);
    }
    int drawWidth() const { return m_drawWidth; }

    // Erases all drawing.
    void Cls();
    // Straight segment in user units at the current DrawWidth.
    void Line(float x1, float y1, float x2, float y2, ColourValue colour);
    // One dot DrawWidth pixels wide centred on (x, y), in palette colour `paletteIndex` (0..15;
    // anything else is a run-time error). Points outside the area are clipped silently.
    void PSet(float x, float y, int paletteIndex);
    // A writer of dots at the current DrawWidth.
    DotWriter dotWriter() { return DotWriter(this); }

    void setObserver(DrawingObserver *observer) { m_observer = observer; }
    DrawingObserver *observer() const { return m_observer; }

    // What has been drawn since the last Cls, for vector pictures and the table of points:
    // Line records itself; whoever sets a batch of dots adds their source.
    DrawingRecord &record() { return m_record; }
    const DrawingRecord &record() const { return m_record; }
    // The current user scale in logical pixels, with the pen of `drawWidth`.
    DotMapping mapping(int drawWidth) const;

    // A copy of the drawing over the area, in device pixels.
    QImage drawing() const;
    // The drawing over the area as it is held, a byte a pixel (Format_Indexed8) with its colour
    // table (entry 0 the background, 1 to 16 the palette, then line colours); a null image once
    // the drawing has turned into direct colour, or before it has an area.
    QImage indexedDrawing() const;
    // Pixel colour at position (x, y) in logical pixels.
    QRgb pixelAt(int x, int y) const;
    QRgb backgroundRgb() const { return m_background; }

    // While held, a new area keeps the mapping of user units to pixels, so that a run in
    // progress draws its whole chain at one scale; the release maps the scale onto the area.
    void holdMapping(bool held);

    // Paints the part `logicalRect` of the drawing at its place through `p`, whose coordinates
    // are logical pixels of the area. Into a 32-bit image (a window's backing store, say) the
    // drawing is converted straight into the image's pixels.
    void paint(QPainter &p, const QRect &logicalRect);

    // The part of the image changed since the last call, in device pixels (empty: none).
    QRect takeChangedArea();
    // Called when the drawing changes while nothing is waiting to be taken: a window queues its
    // screen update there.
    void setChangeListener(std::function<void()> listener)
    {
        m_changeListener = std::move(listener);
    }

private:
    friend class DotWriter;
    friend class DotJournal;

    void setDot(float x, float y, int paletteIndex);
    // Adds [x0, x1) x [y0, y1) (device pixels, not empty) to the changed area.
    void addChanged(int x0, int y0, int x1, int y1)
    {
        if (m_changedX0 < m_changedX1) {
            m_changedX0 = std::min(m_changedX0, x0);
            m_changedY0 = std::min(m_changedY0, y0);
            m_changedX1 = std::max(m_changedX1, x1);
            m_changedY1 = std::max(m_changedY1, y1);
        } else {
            startChanged(x0, y0, x1, y1);
        }
    }
    void startChanged(int x0, int y0, int x1, int y1);
    void markChanged(const QRect &deviceRect);
    void setUserScaleSide(float &side, float value, const char *property);
    void scaleChanged();
    void changeDrawWidth(int width);
    // The two kinds of Line, in device pixels: `from` and `to` are the grid positions of the
    // ends, `a` and `b` the exact ones; `reach` is the area widened by the pen, within which
    // far-away ends are brought; `value` is the pixel value of `rgb`.
    void fillAxisLine(QPointF from, QPointF to, const QRectF &reach, QRgb rgb, uint value);
    void rasteriseLine(QPointF a, QPointF b, const QRectF &reach, QRgb rgb, uint value);
    // The pixel value that stands for `rgb`: its colour-table index while the drawing is
    // indexed (an entry is added for a new colour; when the table is full the drawing turns
    // into direct colour first), else the colour itself.
    uint pixelValue(QRgb rgb);
    void toDirectColour();
    void growImage();
    void takeBits();
    void updateMapping();
    void paintIndexed(QPainter &p, const QRect &deviceRect);
    bool paintIndexedInPlace(QPainter &p, const QRect &deviceRect);
    // The drawing's colour table, every entry (unused ones black).
    std::array<QRgb, 256> colourTable() const;

    // Device pixels, grows with the area, content kept at the top-left. A byte per pixel with a
    // colour table (entry 0 the background, 1 to 16 the palette, then any other colour a line
    // was drawn in) while the drawing has at most 256 colours, which is always the case for
    // this program's windows: a maximised drawing then takes a quarter of the memory of a
    // 32-bit one. Direct 32-bit colour beyond that.
    QImage m_image;
    bool m_indexed = true;
    // A few rows of 32-bit pixels through which an indexed drawing is painted.
    QImage m_band;
    // m_image's pixels and row length in bytes, taken again after every change of the image,
    // so that a dot costs no call into QImage. m_image is never shared with another QImage.
    uchar *m_bits = nullptr;
    qsizetype m_stride = 0;
    QRgb m_background = 0;
    QSize m_logicalSize;
    qreal m_dpr = 1.0;
    double m_dpiX = 96.0; // logical pixels to the inch
    double m_dpiY = 96.0;
    int m_scaleMode = kUserScale;
    float m_scaleWidth = 1.0f;
    float m_scaleHeight = 1.0f;
    int m_drawWidth = 1;
    double m_kx = 1.0; // device pixels per user unit across
    double m_ky = 1.0; // and down
    int m_devWidth = 0; // the area in device pixels
    int m_devHeight = 0;
    int m_pen = 1; // DrawWidth in device pixels
    // Device pixels changed since last taken: [x0, x1) x [y0, y1), empty when x0 >= x1.
    int m_changedX0 = 0;
    int m_changedY0 = 0;
    int m_changedX1 = 0;
    int m_changedY1 = 0;
    std::function<void()> m_changeListener;
    bool m_mappingHeld = false;
    DrawingObserver *m_observer = nullptr;
    DrawingRecord m_record;
};

} // namespace quorvel::raster
