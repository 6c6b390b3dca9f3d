// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "DrawingRecord.h"
#include "Palette.h"

#include <QImage>
#include <QRect>
#include <QWidget>

#include <algorithm>
#include <array>

class QPainter;

namespace quorvel {

// Sees every drawing operation in user units, exactly as the program passes them.
class SurfaceObserver
{
public:
    virtual ~SurfaceObserver() = default;
    virtual void scaleChanged(float scaleWidth, float scaleHeight) = 0;
    virtual void cleared() = 0;
    virtual void lineDrawn(float x1, float y1, float x2, float y2, int drawWidth,
                           ColourValue colour)
        = 0;
    virtual void pointSet(float x, float y, int drawWidth, int paletteIndex) = 0;
};

// The drawing of a window's client area: a retained image that survives being covered, a
// message box and a resize, in a user scale of ScaleWidth x ScaleHeight units with the origin at
// the top-left corner and y growing downwards. Controls placed on it as children stay above the
// drawing. Points are written straight into the image; the screen is updated once per batch.
class DrawingSurface : public QWidget
{
    Q_OBJECT
public:
    explicit DrawingSurface(QWidget *parent = nullptr);

    // Scale modes: a user scale of ScaleWidth x ScaleHeight units, or centimetres of the display.
    static constexpr int kUserScale = 0;
    static constexpr int kCentimetreScale = 7;

    // 0: user scale, keeping the current ScaleWidth and ScaleHeight; 7: the client area in
    // centimetres of the display. Other modes are an invalid-argument run-time error.
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

    // Erases all drawing; child controls are not affected.
    void Cls();
    // Straight segment in user units at the current DrawWidth.
    void Line(float x1, float y1, float x2, float y2, ColourValue colour);
    // One dot DrawWidth pixels wide centred on (x, y), in palette colour `paletteIndex` (0..15;
    // anything else is a run-time error). Points outside the client area are clipped silently.
    void PSet(float x, float y, int paletteIndex)
    {
        // The curve window's dot, whole inside the drawing, unobserved: nine bytes, no call.
        DotWriter dots = dotWriter();
        if (dots.tryPut(x, y, paletteIndex)) {
            dots.finish();
            return;
        }
        setDot(x, y, paletteIndex);
    }

    // Sets dot after dot at the current DrawWidth with no call into the surface for a dot that
    // lies whole inside the drawing: a run of the curve window sets hundreds of thousands. It
    // holds a copy of the drawing's settings and keeps the area it drew to itself, so it serves
    // only until anything else touches the surface (an event, a Line, a Cls, a resize): call
    // finish() before that, and take a new one after.
    class DotWriter
    {
    public:
        // As PSet(x, y, paletteIndex).
        void put(float x, float y, int paletteIndex)
        {
            if (!tryPut(x, y, paletteIndex)) [[unlikely]] {
                m_surface->setDot(x, y, paletteIndex);
                // That dot may have covered part of the previous one.
                m_lastLeft = kNone;
            }
        }
        // The dot when it can be set here without a call: a pen of 3 pixels, an indexed drawing
        // nobody observes, a palette colour and the whole dot inside the drawing. False, with
        // nothing done, for any other: PSet() sets it.
        bool tryPut(float x, float y, int paletteIndex)
        {
            // For a position of at least 0 the conversion to int is its floor, as in setDot().
            const double px = static_cast<double>(x) * m_kx;
            const double py = static_cast<double>(y) * m_ky;
            if (!(m_writable && static_cast<unsigned>(paletteIndex) < unsigned {kPaletteSize}
                  && px >= 1.0 && px < m_right && py >= 1.0 && py < m_bottom))
                return false;
            const int left = static_cast<int>(px) - 1;
            const int top = static_cast<int>(py) - 1;
            const auto entry = static_cast<uchar>(kFirstPaletteEntry + paletteIndex);
            // A dot on the very pixels of the previous one, in its colour, changes nothing: a
            // chain of small steps sets hundreds in a row.
            if (left == m_lastLeft && top == m_lastTop && entry == m_lastEntry)
                return true;
            m_lastLeft = left;
            m_lastTop = top;
            m_lastEntry = entry;
            uchar *line = m_bits + top * m_stride + left;
            for (int row = 0; row < 3; ++row, line += m_stride) {
                line[0] = entry;
                line[1] = entry;
                line[2] = entry;
            }
            m_x0 = std::min(m_x0, left);
            m_y0 = std::min(m_y0, top);
            m_x1 = std::max(m_x1, left + 3);
            m_y1 = std::max(m_y1, top + 3);
            return true;
        }
        // Hands the area drawn to the surface, to be shown at its next screen update. Calling
        // it again does nothing until more dots are set.
        void finish()
        {
            if (m_x0 < m_x1) {
                m_surface->addDirty(m_x0, m_y0, m_x1, m_y1);
                m_x0 = m_y0 = kNone;
                m_x1 = m_y1 = -kNone;
            }
        }

    private:
        friend class DrawingSurface;
        static constexpr int kNone = 1 << 30;
        explicit DotWriter(DrawingSurface *surface);
        DrawingSurface *m_surface;
        uchar *m_bits;
        qsizetype m_stride;
        double m_kx;
        double m_ky;
        double m_right; // the last left edge plus one at which a whole dot fits, in pixels
        double m_bottom;
        bool m_writable;
        // The latest dot this writer set: its top-left pixel and colour-table entry.
        int m_lastLeft = kNone;
        int m_lastTop = kNone;
        uchar m_lastEntry = 0;
        // The area drawn, in device pixels: [x0, x1) x [y0, y1), empty when x0 >= x1.
        int m_x0 = kNone;
        int m_y0 = kNone;
        int m_x1 = -kNone;
        int m_y1 = -kNone;
    };
    // A writer of dots at the current DrawWidth.
    DotWriter dotWriter() { return DotWriter(this); }

    void setObserver(SurfaceObserver *observer) { m_observer = observer; }
    SurfaceObserver *observer() const { return m_observer; }

    // What has been drawn since the last Cls, for vector pictures and the table of points:
    // Line records itself; whoever sets a batch of dots adds their source.
    DrawingRecord &record() { return m_record; }
    const DrawingRecord &record() const { return m_record; }
    // The current user scale in logical pixels, with the pen of `drawWidth`.
    DotMapping mapping(int drawWidth) const;

    // A copy of the drawing over the client area, in device pixels (controls not included).
    QImage drawing() const;
    // Pixel colour at client position (x, y) in logical pixels.
    QRgb pixelAt(int x, int y) const;
    QRgb backgroundRgb() const { return m_background; }

    // Shows what has been drawn so far at once, without waiting for the event loop.
    void repaintNow();

    // While held, a resize keeps the mapping of user units to pixels, so that a run in progress
    // draws its whole chain at one scale; the release maps the scale onto the client area again.
    void holdMapping(bool held);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Colour-table entry of palette index 0 in an indexed drawing (entry 0 is the background).
    static constexpr uint kFirstPaletteEntry = 1;

    void setDot(float x, float y, int paletteIndex);
    // Adds [x0, x1) x [y0, y1) (device pixels, not empty) to the area to show at the next
    // screen update.
    void addDirty(int x0, int y0, int x1, int y1)
    {
        if (m_dirtyX0 < m_dirtyX1) {
            m_dirtyX0 = std::min(m_dirtyX0, x0);
            m_dirtyY0 = std::min(m_dirtyY0, y0);
            m_dirtyX1 = std::max(m_dirtyX1, x1);
            m_dirtyY1 = std::max(m_dirtyY1, y1);
        } else {
            startDirty(x0, y0, x1, y1);
        }
    }
    // The first area since the last screen update, which it queues.
    void startDirty(int x0, int y0, int x1, int y1);
    void setUserScaleSide(float &side, float value, const char *property);
    void scaleChanged();
    void changeDrawWidth(int width);
    // The two kinds of Line, in device pixels: `from` and `to` are the grid positions of the
    // ends, `a` and `b` the exact ones; `reach` is the client area widened by the pen, within
    // which far-away ends are brought; `value` is the pixel value of `rgb`.
    void fillAxisLine(QPointF from, QPointF to, const QRectF &reach, QRgb rgb, uint value);
    void rasteriseLine(QPointF a, QPointF b, const QRectF &reach, QRgb rgb, uint value);
    // The pixel value that stands for `rgb`: its colour-table index while the drawing is
    // indexed (an entry is added for a new colour; when the table is full the drawing turns
    // into direct colour first), else the colour itself.
    uint pixelValue(QRgb rgb);
    void toDirectColour();
    void ensureImage();
    void takeBits();
    void updateMapping();
    void markDirty(const QRect &deviceRect);
    void paintIndexed(QPainter &p, const QRect &deviceRect);
    bool paintIndexedInPlace(QPainter &p, const QRect &deviceRect);
    // The drawing's colour table, every entry (unused ones black).
    std::array<QRgb, 256> colourTable() const;
    void flushDirty();
    QRect takeDirtyLogical();

    // Device pixels, grows with the window, content kept at the top-left. A byte per pixel
    // with a colour table (entry 0 the background, 1 to 16 the palette, then any other colour a
    // line was drawn in) while the drawing has at most 256 colours, which is always the case
    // for this program's windows: a maximised drawing then takes a quarter of the memory of a
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
    qreal m_dpr = 1.0;
    int m_scaleMode = 0;
    float m_scaleWidth = 1.0f;
    float m_scaleHeight = 1.0f;
    int m_drawWidth = 1;
    double m_kx = 1.0; // device pixels per user unit across
    double m_ky = 1.0; // and down
    int m_devWidth = 0; // client area in device pixels
    int m_devHeight = 0;
    int m_pen = 1; // DrawWidth in device pixels
    // Device pixels drawn since the last screen update: [x0, x1) x [y0, y1), empty when x0 >= x1.
    int m_dirtyX0 = 0;
    int m_dirtyY0 = 0;
    int m_dirtyX1 = 0;
    int m_dirtyY1 = 0;
    bool m_flushQueued = false;
    bool m_mappingHeld = false;
    SurfaceObserver *m_observer = nullptr;
    DrawingRecord m_record;
};

} // namespace quorvel
