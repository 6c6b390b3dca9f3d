// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RetainedDrawing.h"

#include "DrawingError.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace quorvel::raster {

namespace {
constexpr double kCentimetresPerInch = 2.54;
// Colour-table entries of an indexed drawing: the background, then the sixteen palette colours
// in palette order, then colours added by lines.
constexpr uint kBackgroundEntry = 0;
constexpr uint kFirstPaletteEntry = DotWriter::kFirstPaletteEntry;
constexpr int kMaxTableEntries = 256;

QList<QRgb> startingColourTable(QRgb background)
{
    QList<QRgb> table;
    table.reserve(1 + kPaletteSize);
    table.append(background);
    for (ColourValue c : kPalette)
        table.append(toRgb(c));
    return table;
}
} // namespace

RetainedDrawing::RetainedDrawing(QRgb background)
    : m_background(background)
{
}

DotWriter::DotWriter(RetainedDrawing *drawing)
    : m_drawing(drawing)
    , m_bits(drawing->m_bits)
    , m_stride(drawing->m_stride)
    , m_kx(drawing->m_kx)
    , m_ky(drawing->m_ky)
    , m_right(drawing->m_devWidth - 1)
    , m_bottom(drawing->m_devHeight - 1)
    , m_writable(drawing->m_pen == 3 && drawing->m_indexed && drawing->m_bits != nullptr
                 && drawing->m_observer == nullptr)
{
}

void DotWriter::putThroughDrawing(float x, float y, int paletteIndex)
{
    m_drawing->setDot(x, y, paletteIndex);
    // That dot may have covered part of the previous one.
    m_lastLeft = kNone;
}

void DotWriter::handOver()
{
    m_drawing->addChanged(m_x0, m_y0, m_x1, m_y1);
    m_x0 = m_y0 = kNone;
    m_x1 = m_y1 = -kNone;
}

void RetainedDrawing::setArea(QSize logicalSize, qreal devicePixelRatio, double dpiX, double dpiY)
{
    m_dpiX = dpiX;
    m_dpiY = dpiY;
    if (logicalSize == m_logicalSize && devicePixelRatio == m_dpr && !m_image.isNull())
        return;
    if (devicePixelRatio != m_dpr && !m_image.isNull()) {
        // Moved to a screen of another density: start again at the new density.
        m_image = QImage();
    }
    m_logicalSize = logicalSize;
    m_dpr = devicePixelRatio;
    m_pen = std::max(1, static_cast<int>(std::lround(m_drawWidth * m_dpr)));
    m_devWidth = static_cast<int>(std::ceil(logicalSize.width() * m_dpr));
    m_devHeight = static_cast<int>(std::ceil(logicalSize.height() * m_dpr));
    growImage();
    // The scale keeps its units: later drawing maps onto the new area.
    if (!m_mappingHeld)
        updateMapping();
}

void RetainedDrawing::growImage()
{
    const int w = m_devWidth;
    const int h = m_devHeight;
    if (m_image.isNull() || m_image.width() < w || m_image.height() < h) {
        QImage grown(std::max(w, m_image.width()), std::max(h, m_image.height()),
                     m_indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
        if (m_indexed) {
            grown.setColorTable(m_image.isNull() ? startingColourTable(m_background)
                                                 : m_image.colorTable());
            grown.fill(kBackgroundEntry);
        } else {
            grown.fill(m_background);
        }
        // The old drawing, row by row at the top-left: both images have the same pixel format.
        const auto rowBytes = static_cast<size_t>(m_image.width()) * (m_indexed ? 1 : 4);
        for (int row = 0; row < m_image.height(); ++row)
            std::memcpy(grown.scanLine(row), std::as_const(m_image).constScanLine(row), rowBytes);
        // Moved, not copied: a shared image would be copied again by takeBits().
        m_image = std::move(grown);
    }
    takeBits();
}

uint RetainedDrawing::pixelValue(QRgb rgb)
{
    if (!m_indexed)
        return rgb;
    QList<QRgb> table = m_image.colorTable();
    const qsizetype at = table.indexOf(rgb);
    if (at >= 0)
        return static_cast<uint>(at);
    if (table.size() < kMaxTableEntries) {
        table.append(rgb);
        m_image.setColorTable(table);
        takeBits();
        return static_cast<uint>(table.size() - 1);
    }
    toDirectColour();
    return rgb;
}

void RetainedDrawing::toDirectColour()
{
    m_image = m_image.convertToFormat(QImage::Format_RGB32);
    m_indexed = false;
    takeBits();
}

void RetainedDrawing::takeBits()
{
    // bits() also gives the image a new cache key, so nothing that caches it by key (a pixmap
    // or texture cache) keeps showing an older drawing.
    m_bits = m_image.bits();
    m_stride = m_image.bytesPerLine();
}

void RetainedDrawing::updateMapping()
{
    m_kx = m_devWidth / static_cast<double>(m_scaleWidth);
    m_ky = m_devHeight / static_cast<double>(m_scaleHeight);
}

void RetainedDrawing::setScaleMode(int mode)
{
    if (mode != kUserScale && mode != kCentimetreScale)
        drawingError(kInvalidPropertyValue,
                     QStringLiteral("Valore di proprietà non valido (ScaleMode %1)").arg(mode));
    m_scaleMode = mode;
    if (mode == kCentimetreScale) {
        m_scaleWidth = static_cast<float>(m_logicalSize.width() / m_dpiX * kCentimetresPerInch);
        m_scaleHeight = static_cast<float>(m_logicalSize.height() / m_dpiY * kCentimetresPerInch);
    }
    scaleChanged();
}

void RetainedDrawing::setScaleWidth(float w)
{
    setUserScaleSide(m_scaleWidth, w, "ScaleWidth");
}

void RetainedDrawing::setScaleHeight(float h)
{
    setUserScaleSide(m_scaleHeight, h, "ScaleHeight");
}

// Either side of the user scale: any finite value but 0 (negative ones turn the axis round).
void RetainedDrawing::setUserScaleSide(float &side, float value, const char *property)
{
    if (!(value != 0.0f) || !std::isfinite(value))
        drawingError(
            kInvalidPropertyValue,
            QStringLiteral("Valore di proprietà non valido (%1)").arg(QLatin1String(property)));
    m_scaleMode = kUserScale;
    side = value;
    scaleChanged();
}

void RetainedDrawing::scaleChanged()
{
    updateMapping();
    if (m_observer)
        m_observer->scaleChanged(m_scaleWidth, m_scaleHeight);
}

void RetainedDrawing::changeDrawWidth(int w)
{
    if (w < 1 || w > 32767)
        drawingError(kInvalidPropertyValue,
                     QStringLiteral("Valore di proprietà non valido (DrawWidth %1)").arg(w));
    m_drawWidth = w;
    m_pen = std::max(1, static_cast<int>(std::lround(m_drawWidth * m_dpr)));
}

void RetainedDrawing::Cls()
{
    m_image.fill(m_indexed ? kBackgroundEntry : m_background);
    takeBits();
    markChanged(QRect(0, 0, m_devWidth, m_devHeight));
    m_record.clear();
    if (m_observer)
        m_observer->cleared();
}

void RetainedDrawing::Line(float x1, float y1, float x2, float y2, ColourValue colour)
{
    if (m_observer)
        m_observer->lineDrawn(x1, y1, x2, y2, m_drawWidth, colour);
    m_record.addLine(mapping(m_drawWidth), x1, y1, x2, y2, toRgb(colour));
    const QPointF a(x1 * m_kx, y1 * m_ky);
    const QPointF b(x2 * m_kx, y2 * m_ky);
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x())
        || !std::isfinite(b.y()))
        return;
    const int pen = m_pen;
    const QRgb rgb = toRgb(colour);
    const uint value = pixelValue(rgb);
    // Pixel grid positions of the two ends.
    const QPointF from(std::floor(a.x()), std::floor(a.y()));
    const QPointF to(std::floor(b.x()), std::floor(b.y()));
    // Far-away ends are brought near the client area first so that they convert to int (the
    // covered pixels stay the same).
    const QRectF reach
        = QRectF(0, 0, m_devWidth, m_devHeight)
              .adjusted(-2.0 * pen - 2, -2.0 * pen - 2, 2.0 * pen + 2, 2.0 * pen + 2);
    if ((from.x() == to.x()) != (from.y() == to.y()))
        fillAxisLine(from, to, reach, rgb, value);
    else
        rasteriseLine(a, b, reach, rgb, value);
}

void RetainedDrawing::fillAxisLine(QPointF from, QPointF to, const QRectF &reach, QRgb rgb,
                                   uint value)
{
    // Along an axis, as both axes of the program's windows are: a pen of width n covers n whole
    // pixels across, from n / 2 before the line, and its square caps n / 2 beyond each end;
    // these are the pixels Qt paints for it.
    const int pen = m_pen;
    const double half = std::floor(pen / 2.0);
    const auto corner = [&](double x, double y) {
        return QPoint(static_cast<int>(std::clamp(x, reach.left(), reach.right())),
                      static_cast<int>(std::clamp(y, reach.top(), reach.bottom())));
    };
    const QRect covered
        = QRect(corner(std::min(from.x(), to.x()) - half, std::min(from.y(), to.y()) - half),
                corner(std::max(from.x(), to.x()) - half + pen - 1,
                       std::max(from.y(), to.y()) - half + pen - 1))
              .intersected(QRect(0, 0, m_devWidth, m_devHeight));
    if (covered.isEmpty())
        return;
    for (int row = covered.top(); row <= covered.bottom(); ++row) {
        uchar *line = m_bits + row * m_stride;
        if (m_indexed) {
            std::memset(line + covered.left(), static_cast<int>(value),
                        static_cast<size_t>(covered.width()));
        } else {
            auto *pixels = reinterpret_cast<QRgb *>(line);
            std::fill(pixels + covered.left(), pixels + covered.right() + 1, rgb);
        }
    }
    markChanged(covered);
}

void RetainedDrawing::rasteriseLine(QPointF a, QPointF b, const QRectF &reach, QRgb rgb, uint value)
{
    const int pen = m_pen;
    const QRect client(0, 0, m_devWidth, m_devHeight);
    const QRect box = QRectF(a, b)
                          .normalized()
                          .adjusted(-pen - 1, -pen - 1, pen + 1, pen + 1)
                          .intersected(reach)
                          .toAlignedRect()
                          .intersected(client);
    if (box.isEmpty())
        return;
    // Pixel centres: a pen of width n covers n whole pixels across the line.
    const QPointF offset(pen % 2 ? 0.5 : 0.0, pen % 2 ? 0.5 : 0.0);
    const QPointF from = QPointF(std::floor(a.x()), std::floor(a.y())) + offset;
    const QPointF to = QPointF(std::floor(b.x()), std::floor(b.y())) + offset;
    const QPen linePen(QColor::fromRgb(rgb), pen, Qt::SolidLine, Qt::SquareCap);
    if (!m_indexed) {
        {
            QPainter p(&m_image);
            p.setClipRect(client);
            p.setPen(linePen);
            p.drawLine(from, to);
        }
        takeBits();
    } else {
        // Qt does not paint on an indexed image: Qt rasterises the line into a coverage mask
        // over its box, which is then set in the line's colour.
        QImage mask(box.size(), QImage::Format_Alpha8);
        mask.fill(0);
        {
            QPainter p(&mask);
            p.translate(-box.topLeft());
            p.setPen(linePen);
            p.drawLine(from, to);
        }
        const auto index = static_cast<uchar>(value);
        for (int row = 0; row < mask.height(); ++row) {
            const uchar *in = std::as_const(mask).constScanLine(row);
            uchar *out = m_bits + (box.top() + row) * m_stride + box.left();
            for (int col = 0; col < mask.width(); ++col) {
                if (in[col] != 0)
                    out[col] = index;
            }
        }
    }
    markChanged(box);
}

// Any dot: observed, clipped at the edges, any pen width, or in a drawing of direct colour.
void RetainedDrawing::setDot(float x, float y, int paletteIndex)
{
    const QRgb rgb = toRgb(QBColor(paletteIndex));
    if (m_observer)
        m_observer->pointSet(x, y, m_drawWidth, paletteIndex);
    const double px = std::floor(static_cast<double>(x) * m_kx);
    const double py = std::floor(static_cast<double>(y) * m_ky);
    const int pen = m_pen;
    // Reject far-away and non-finite positions before converting to int.
    if (!(px > -pen && px < m_devWidth + pen && py > -pen && py < m_devHeight + pen))
        return;
    const int left = static_cast<int>(px) - (pen - 1) / 2;
    const int top = static_cast<int>(py) - (pen - 1) / 2;
    const int x0 = std::max(left, 0);
    const int y0 = std::max(top, 0);
    const int x1 = std::min(left + pen, m_devWidth);
    const int y1 = std::min(top + pen, m_devHeight);
    if (x0 >= x1 || y0 >= y1)
        return;
    if (m_indexed) {
        const auto index = static_cast<uchar>(kFirstPaletteEntry + paletteIndex);
        for (int row = y0; row < y1; ++row)
            std::memset(m_bits + row * m_stride + x0, index, static_cast<size_t>(x1 - x0));
    } else {
        for (int row = y0; row < y1; ++row) {
            auto *line = reinterpret_cast<QRgb *>(m_bits + row * m_stride);
            for (int col = x0; col < x1; ++col)
                line[col] = rgb;
        }
    }
    addChanged(x0, y0, x1, y1);
}

void RetainedDrawing::PSet(float x, float y, int paletteIndex)
{
    setDot(x, y, paletteIndex);
}

void RetainedDrawing::markChanged(const QRect &deviceRect)
{
    if (!deviceRect.isEmpty())
        addChanged(deviceRect.left(), deviceRect.top(), deviceRect.right() + 1,
                   deviceRect.bottom() + 1);
}

void RetainedDrawing::startChanged(int x0, int y0, int x1, int y1)
{
    m_changedX0 = x0;
    m_changedY0 = y0;
    m_changedX1 = x1;
    m_changedY1 = y1;
    if (m_changeListener)
        m_changeListener();
}

QRect RetainedDrawing::takeChangedArea()
{
    if (m_changedX0 >= m_changedX1)
        return {};
    const QRect changed(QPoint(m_changedX0, m_changedY0), QPoint(m_changedX1 - 1, m_changedY1 - 1));
    m_changedX0 = m_changedX1 = 0;
    m_changedY0 = m_changedY1 = 0;
    return changed;
}

DotMapping RetainedDrawing::mapping(int drawWidth) const
{
    const int pen = std::max(1, static_cast<int>(std::lround(drawWidth * m_dpr)));
    return {m_kx / m_dpr, m_ky / m_dpr, pen / m_dpr};
}

QImage RetainedDrawing::drawing() const
{
    if (m_image.isNull())
        return {};
    QImage copy = m_image.copy(0, 0, m_devWidth, m_devHeight).convertToFormat(QImage::Format_RGB32);
    copy.setDevicePixelRatio(m_dpr);
    return copy;
}

QImage RetainedDrawing::indexedDrawing() const
{
    if (m_image.isNull() || !m_indexed)
        return {};
    QImage copy = m_image.copy(0, 0, m_devWidth, m_devHeight);
    copy.setDevicePixelRatio(m_dpr);
    return copy;
}

QRgb RetainedDrawing::pixelAt(int x, int y) const
{
    const int dx = static_cast<int>(x * m_dpr);
    const int dy = static_cast<int>(y * m_dpr);
    if (m_image.isNull() || dx < 0 || dy < 0 || dx >= m_image.width() || dy >= m_image.height())
        return m_background;
    return m_image.pixel(dx, dy);
}

void RetainedDrawing::paint(QPainter &p, const QRect &r)
{
    if (m_image.isNull())
        return;
    const QRectF source(r.x() * m_dpr, r.y() * m_dpr, r.width() * m_dpr, r.height() * m_dpr);
    const QRect deviceRect = source.toAlignedRect().intersected(m_image.rect());
    if (!m_indexed)
        p.drawImage(QRectF(r), m_image, source);
    else if (!paintIndexedInPlace(p, deviceRect))
        paintIndexed(p, deviceRect);
}

namespace {

// Converts `width` pixels of an indexed row into 32-bit colours. A drawing is mostly long runs
// of one entry (the background, an axis): sixteen equal entries in a row are filled at once.
void convertRow(const uchar *in, QRgb *out, int width, const QRgb *colours)
{
    constexpr int kRun = 16;
    constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
    int col = 0;
    for (; col + kRun <= width; col += kRun) {
        std::uint64_t first = 0;
        std::uint64_t second = 0;
        std::memcpy(&first, in + col, sizeof first);
        std::memcpy(&second, in + col + sizeof first, sizeof second);
        const std::uint64_t same = (first & 0xff) * kEveryByte;
        if (first == same && second == same) {
            std::fill_n(out + col, kRun, colours[first & 0xff]);
        } else {
            for (int i = col; i < col + kRun; ++i)
                out[i] = colours[in[i]];
        }
    }
    for (; col < width; ++col)
        out[col] = colours[in[col]];
}

} // namespace

std::array<QRgb, 256> RetainedDrawing::colourTable() const
{
    const QList<QRgb> table = m_image.colorTable();
    std::array<QRgb, kMaxTableEntries> colours {};
    std::copy(table.cbegin(), table.cend(), colours.begin());
    return colours;
}

bool RetainedDrawing::paintIndexedInPlace(QPainter &p, const QRect &deviceRect)
{
    // The drawing is painted into a 32-bit image (a window's backing store, or an image it is
    // grabbed into): the exposed part of the drawing is converted straight into it, where the
    // raster engine itself would write. Anything else goes through a band.
    QPaintEngine *engine = p.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster || m_dpr != 1.0
        || deviceRect.isEmpty())
        return false;
    QPaintDevice *device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return false;
    auto *target = static_cast<QImage *>(device);
    // Palette and background colours are opaque: the same bytes in either format.
    if (target->format() != QImage::Format_RGB32
        && target->format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QTransform transform = p.deviceTransform();
    const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
    if (transform.type() > QTransform::TxTranslate || offset.x() != transform.dx()
        || offset.y() != transform.dy())
        return false;
    // Only what the engine would paint: the exposed region without the controls over it.
    const QRect targetRect = deviceRect.translated(offset).intersected(target->rect());
    const QRegion systemClip = engine->systemClip();
    const QRegion region
        = systemClip.isEmpty() ? QRegion(targetRect) : systemClip.intersected(targetRect);
    const std::array<QRgb, kMaxTableEntries> colours = colourTable();
    // No detach: these are the very pixels the engine paints.
    uchar *bits = const_cast<uchar *>(std::as_const(*target).constBits());
    const qsizetype stride = target->bytesPerLine();
    for (const QRect &rect : region) {
        for (int row = rect.top(); row <= rect.bottom(); ++row) {
            const uchar *in = m_bits + (row - offset.y()) * m_stride + (rect.left() - offset.x());
            auto *out = reinterpret_cast<QRgb *>(bits + row * stride) + rect.left();
            convertRow(in, out, rect.width(), colours.data());
        }
    }
    return true;
}

void RetainedDrawing::paintIndexed(QPainter &p, const QRect &deviceRect)
{
    // Qt would convert the whole indexed image to draw any part of it: only the exposed
    // rectangle is converted, a band of rows at a time into a small 32-bit buffer that stays
    // in the cache and is kept for the next repaint.
    constexpr int kBandRows = 32;
    if (deviceRect.isEmpty())
        return;
    if (m_band.width() < deviceRect.width())
        m_band = QImage(deviceRect.width(), kBandRows, QImage::Format_RGB32);
    const std::array<QRgb, kMaxTableEntries> colours = colourTable();
    const int width = deviceRect.width();
    for (int top = deviceRect.top(); top <= deviceRect.bottom(); top += kBandRows) {
        const int rows = std::min(kBandRows, deviceRect.bottom() + 1 - top);
        for (int row = 0; row < rows; ++row) {
            const uchar *in = m_bits + (top + row) * m_stride + deviceRect.left();
            convertRow(in, reinterpret_cast<QRgb *>(m_band.scanLine(row)), width, colours.data());
        }
        const QRectF target(deviceRect.left() / m_dpr, top / m_dpr, width / m_dpr, rows / m_dpr);
        p.drawImage(target, m_band, QRectF(0, 0, width, rows));
    }
}

void RetainedDrawing::holdMapping(bool held)
{
    m_mappingHeld = held;
    if (!held)
        updateMapping();
}

} // namespace quorvel::raster
