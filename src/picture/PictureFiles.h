#pragma once

#include "raster/DrawingRecord.h"

#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>

class QPainter;
class QPrinter;

namespace quorvel::picture {

// What the picture of a drawing window is made of: the retained pixels, the record of what was
// drawn since the last Cls, the window's size in logical pixels and its background colour.
struct Picture
{
    QImage pixels; // RetainedDrawing::drawing()
    const raster::DrawingRecord *record = nullptr;
    QSize size; // logical pixels
    QRgb background = 0xffffffff;
};

// The kinds of file a picture is saved as, chosen by the name's extension (.png when the name
// has none; see withDefaultSuffix).
enum class Format { Png, Svg, Pdf, Unknown };
Format formatOf(const QString &path);
// The path with ".png" added when its file name has no extension.
QString withDefaultSuffix(const QString &path, const QString &suffix);

// Each writer makes the whole file or nothing (a temporary file renamed at the end) and
// returns an empty text when written, else the reason in Italian. No other file is changed.
QString writePng(const QImage &pixels, const QString &path);
// Vector pictures of the record, one unit a logical pixel of the window: every line with its
// ends, width and colour, every dot a square of its pen width centred on its place.
QString writeSvg(const Picture &picture, const QString &path);
QString writePdf(const Picture &picture, const QString &path);
// The points of every run of the curve window in the record, one row each, in order:
// run; range; ALFA; A2; X11; Y11; palette colour. `;` between fields, decimal comma, 17
// significant digits so that each number reads back as the very same double.
QString writeCsv(const raster::DrawingRecord &record, const QString &path);
// The header row of the table of points, without its line end.
QString csvHeader();
// A double as the table writes it: 17 significant digits, decimal comma.
QString csvNumber(double value);

// Paints the record in `painter`'s current coordinates, one unit a logical pixel of the
// window, over the background of the window's size; the caller places and scales it.
void paintPicture(QPainter &painter, const Picture &picture);
// Prints the picture fitted to the printer's page, aspect kept, as vectors. False when the
// printer could not be started.
bool printPicture(QPrinter &printer, const Picture &picture);

} // namespace quorvel::picture
