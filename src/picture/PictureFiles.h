// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "raster/DrawingRecord.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QRgb>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;
class QPainter;
class QPrinter;

namespace quorvel::picture {

// One line of a picture's legend: a run's palette colour and what made it, in Italian.
struct LegendRow
{
    int colour;
    QString text;
};

// What the picture of a drawing window is made of: the retained pixels, the record of what was
// drawn since the last Cls, the window's size in logical pixels and its background colour.
struct Picture
{
    QImage pixels; // RetainedDrawing::drawing()
    const raster::DrawingRecord *record = nullptr;
    QSize size; // logical pixels
    QRgb background = 0xffffffff;
    double pixelRatio = 1; // pixels of the drawing per logical pixel
    // A box at the bottom right that says what made each run; none when empty.
    std::vector<LegendRow> legend {};
};

// The legend of the runs of the curve window in `record`: each run's colour, parameters
// (epsilon, BETA, t, INX, INY, sine or cosine, ALFA's ranges) and how it ended.
std::vector<LegendRow> legendOf(const raster::DrawingRecord &record);
// Paints `legend` in a box at the bottom right of an area of `size` logical pixels, over
// `background`.
void paintLegend(QPainter &painter, QSize size, const std::vector<LegendRow> &legend,
                 QRgb background);

// A picture's recipe is how the drawing was made (a lesson file's text); PNG and SVG pictures
// keep it when given one.
// The key under which a picture keeps its recipe: a PNG text chunk, the id of SVG metadata.
inline constexpr char kRecipeKey[] = "QUORVEL-lezione";
// The recipe kept in the PNG or SVG picture at `path`; empty when it has none or cannot be read.
QByteArray recipeOf(const QString &path);
// `bytes` written whole or not at all at `path`, as pictures are; the reason when not written.
QString writeBytes(const QByteArray &bytes, const QString &path);

// The background of a picture put on white paper.
inline constexpr QRgb kWhite = 0xffffffff;
// The rim that keeps a dot in the background's own colour (bright white on white) visible.
inline constexpr QRgb kRim = 0xff808080;
// `drawing` with its background (pixels of `background`) turned white; pixels of bright white
// that touch the background get a grey rim.
QImage onWhite(const QImage &drawing, QRgb background);

// Told how far a long writing has got (dots or rows done so far); false stops it, and nothing
// is written. Also told once more, with the total, just before the file takes its name.
using Progress = std::function<bool(std::size_t done)>;

// A file made by `body`, written whole or not at all at `path` as pictures are: `body` writes
// into the device and returns false to give up (a failed write, or `progress` said stop);
// `progress` is told `total` once more before the file takes its name. The reason when not
// written ("annullato" when `progress` stopped it).
QString writeWith(const QString &path, std::size_t total, const Progress &progress,
                  const std::function<bool(QIODevice &, const Progress &)> &body);

// The kinds of file a picture is saved as, chosen by the name's extension (.png when the name
// has none; see withDefaultSuffix).
enum class Format { Png, Svg, Pdf, Unknown };
Format formatOf(const QString &path);
// The path with ".png" added when its file name has no extension.
QString withDefaultSuffix(const QString &path, const QString &suffix);

// Why a name cannot be written before anything is tried (a control character in it, a folder
// that does not exist, an existing folder, FIFO, device or read-only file of that name), in
// Italian; empty when nothing is known against it.
QString reasonBefore(const QString &path);

// Each writer makes the whole file or nothing (a temporary file renamed at the end), never
// replaces anything but a regular file (a link is followed), and returns an empty text when
// written, else the reason in Italian. No other file is changed.
// `recipe`, when not empty, goes into a text chunk, in base64.
QString writePng(const QImage &pixels, const QString &path, const Progress &progress = {},
                 const QByteArray &recipe = {});
// Vector pictures of the record, one unit a logical pixel of the window: every line with its
// ends, width and colour, every dot that shows a square of its pen width centred on its place.
// `recipe`, when not empty, goes into the picture's metadata.
QString writeSvg(const Picture &picture, const QString &path, const Progress &progress = {},
                 const QByteArray &recipe = {});
// A PDF page: its size in points and the area of it, in points from its top-left corner, that
// the picture is fitted into, aspect kept, centred. Without one the page is the window's size.
struct PdfPage
{
    QSizeF size;
    QRectF area;
};
QString writePdf(const Picture &picture, const QString &path, const Progress &progress = {},
                 const std::optional<PdfPage> &page = std::nullopt);
// The points of every run of the curve window in the record, one row each, in order:
// run; range; ALFA; A2; X11; Y11; palette colour. `;` between fields, decimal comma, 17
// significant digits so that each number reads back as the very same double.
QString writeCsv(const raster::DrawingRecord &record, const QString &path,
                 const Progress &progress = {});
// After the points, an empty line and the legend: one row per range walked by each run, with
// its parameters (epsilon, BETA in degrees, t, INX, INY), sine or cosine, From and To, and how
// the run ended.
// The header row of the table of points, without its line end.
QString csvHeader();
// The header row of the legend, without its line end.
QString csvLegendHeader();
// A double as the table writes it: 17 significant digits, decimal comma.
QString csvNumber(double value);
// Rows the table of points of `record` has: the dots of its runs of the curve window.
std::size_t pointCount(const raster::DrawingRecord &record);
// About how many bytes the table of points of `record` takes, from its first rows.
std::size_t csvSizeEstimate(const raster::DrawingRecord &record);
// Dots a picture of `record` looks at, for a progress report.
std::size_t dotCount(const raster::DrawingRecord &record);

// Paints the record in `painter`'s current coordinates, one unit a logical pixel of the
// window, over the background of the window's size; the caller places and scales it. False
// when `progress` stopped it.
bool paintPicture(QPainter &painter, const Picture &picture, const Progress &progress = {});
// Prints the picture fitted to the printer's page, aspect kept, as vectors. False when the
// printer could not be started or `progress` stopped it.
bool printPicture(QPrinter &printer, const Picture &picture, const Progress &progress = {});

} // namespace quorvel::picture
