// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PictureFiles.h"

#include "RecordWalk.h"
#include "curve/RunRecord.h"
#include "raster/Palette.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImageReader>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <zlib.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quorvel::picture {

using namespace raster;

namespace {

// Text is gathered in a buffer and handed to the file in pieces of about this many bytes.
constexpr std::size_t kChunk = 1 << 20;
constexpr double kPointsPerInch = 72.0;
constexpr double kLogicalDpi = 96.0;
// Rows of the table looked at to tell how big it will be.
constexpr std::size_t kSampleRows = 1000;
// What a dot's rim takes of its side, on each edge, when it is in the background's colour.
constexpr double kRimShare = 1.0 / 6;

// 17 significant digits, decimal comma: the text reads back as the very same double. Returns
// the end of the text written from `out`.
char *italianNumber(double v, std::array<char, 40> &out)
{
    const auto r
        = std::to_chars(out.data(), out.data() + out.size(), v, std::chars_format::general, 17);
    std::replace(out.data(), r.ptr, '.', ',');
    return r.ptr;
}

using FileSystemState = struct statvfs;

// Whether the file system holding `folder` has less room left than a piece of text.
bool nearlyFull(const QString &folder)
{
    FileSystemState fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    return static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kChunk + (1 << 16);
}

bool readOnlyFileSystem(const QString &folder)
{
    FileSystemState fs {};
    return ::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
}

// Why `path` could not be created or written, found out from the system rather than from the
// error's English text.
QString whyNot(const QString &path, bool writing, QFileDevice::FileError error)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (error == QFileDevice::ResourceError || (writing && nearlyFull(folder)))
        return QStringLiteral("disco pieno");
    QString detail;
    if (QFile::encodeName(info.fileName()).size() > NAME_MAX
        || QFile::encodeName(info.absoluteFilePath()).size() >= PATH_MAX)
        detail = QStringLiteral("nome del file troppo lungo");
    else if (readOnlyFileSystem(folder))
        detail = QStringLiteral("il disco è di sola lettura");
    else if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        detail = QStringLiteral("permesso negato nella cartella");
    else if (!writing && nearlyFull(folder))
        return QStringLiteral("disco pieno");
    if (writing)
        return detail.isEmpty() ? QStringLiteral("errore di scrittura sul disco")
                                : QStringLiteral("errore di scrittura sul disco (%1)").arg(detail);
    return QStringLiteral("impossibile creare il file (%1)")
        .arg(detail.isEmpty() ? QStringLiteral("errore del sistema") : detail);
}

// Writes the whole file through `body` or nothing; the reason when not written. `body` is
// handed `progress`, which is told `total` once more before the file takes its name.
QString writeWhole(const QString &path, std::size_t total, const Progress &progress,
                   const std::function<bool(QSaveFile &, const Progress &)> &body)
{
    if (QString before = reasonBefore(path); !before.isEmpty())
        return before;
    bool stopped = false;
    const Progress watched = [&](std::size_t done) {
        if (progress && !stopped && !progress(done))
            stopped = true;
        return !stopped;
    };
    QSaveFile file(path);
    // Unbuffered: the writers gather their text themselves, and a write that fails (a full
    // disk) is then known at once, not lost in a buffer flushed while the file is renamed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return whyNot(path, false, file.error());
    if (!body(file, watched) || !file.flush() || file.error() != QFileDevice::NoError
        || !watched(total)) {
        QString reason = stopped ? QStringLiteral("annullato") : whyNot(path, true, file.error());
        file.cancelWriting();
        return reason;
    }
    // Failing here, the name itself could not be given to what was written.
    if (!file.commit())
        return whyNot(path, false, file.error());
    return {};
}

// Text for a file, kept in a buffer and written in large pieces.
class TextOut
{
public:
    using Sink = std::function<bool(std::string_view)>;
    explicit TextOut(QIODevice &device)
        : m_sink([&device](std::string_view bytes) {
            return device.write(bytes.data(), static_cast<qint64>(bytes.size()))
                == static_cast<qint64>(bytes.size());
        })
    {
        m_buffer.reserve(kChunk + 4096);
    }
    explicit TextOut(Sink sink)
        : m_sink(std::move(sink))
    {
        m_buffer.reserve(kChunk + 4096);
    }
    TextOut &operator<<(std::string_view text)
    {
        m_buffer.append(text);
        return flushIfFull();
    }
    TextOut &operator<<(char c)
    {
        m_buffer.push_back(c);
        return *this;
    }
    // Shortest text that reads back as `v` (point as decimal separator).
    TextOut &number(double v)
    {
        std::array<char, 32> b {};
        const auto r = std::to_chars(b.data(), b.data() + b.size(), v);
        m_buffer.append(b.data(), r.ptr);
        return *this;
    }
    // `v` with three decimals at most, for positions in pixels.
    TextOut &fixed3(double v)
    {
        std::array<char, 64> b {};
        const auto r = std::to_chars(b.data(), b.data() + b.size(), v, std::chars_format::fixed, 3);
        char *end = r.ptr;
        const char *point = std::find(b.data(), end, '.');
        if (point != end) {
            while (end[-1] == '0')
                --end;
            if (end[-1] == '.')
                --end;
        }
        m_buffer.append(b.data(), end);
        return *this;
    }
    TextOut &integer(long long v)
    {
        std::array<char, 24> b {};
        const auto r = std::to_chars(b.data(), b.data() + b.size(), v);
        m_buffer.append(b.data(), r.ptr);
        return *this;
    }
    TextOut &italian17(double v)
    {
        std::array<char, 40> b {};
        m_buffer.append(b.data(), italianNumber(v, b));
        return *this;
    }
    TextOut &flushIfFull()
    {
        if (m_buffer.size() >= kChunk)
            flush();
        return *this;
    }
    bool flush()
    {
        if (!m_buffer.empty()) {
            m_ok = m_ok && m_sink(m_buffer);
            m_buffer.clear();
        }
        return m_ok;
    }
    bool ok() const { return m_ok; }
    std::size_t buffered() const { return m_buffer.size(); }

private:
    Sink m_sink;
    std::string m_buffer;
    bool m_ok = true;
};

std::string svgColour(QRgb c)
{
    std::array<char, 8> b {};
    constexpr char hex[] = "0123456789abcdef";
    b[0] = '#';
    const std::array<int, 3> parts = {qRed(c), qGreen(c), qBlue(c)};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        b[1 + 2 * i] = hex[parts[i] >> 4];
        b[2 + 2 * i] = hex[parts[i] & 15];
    }
    return {b.data(), 7};
}

// How a run ended, in the legend.
const char *endWords(model::RunSummary::End end)
{
    switch (end) {
    case model::RunSummary::End::RangesDone:
        return "intervalli completati";
    case model::RunSummary::End::OutOfField:
        return "uscita dal campo";
    case model::RunSummary::End::Stopped:
        return "fermata";
    case model::RunSummary::End::Refused:
        return "campo rifiutato";
    }
    return "";
}

QRgb paletteRgb(int index)
{
    return index >= 0 && index < kPaletteSize ? toRgb(kPalette[index]) : toRgb(kPalette[0]);
}

// The squares to paint for dots of `colour`: the dots themselves, or, in the background's own
// colour, a grey square each with the dot's colour inside it, so that they stay visible.
template<typename Squares>
void paintDots(QRgb background, int colour, double pen, Squares &&squares)
{
    const QRgb rgb = paletteRgb(colour);
    if (rgb != background) {
        squares(rgb, 0.0);
        return;
    }
    squares(kRim, 0.0);
    squares(rgb, pen * kRimShare);
}

// A walk that does nothing but what `progress` says.
class ProgressVisitor : public RecordVisitor
{
public:
    explicit ProgressVisitor(const Progress &progress)
        : m_progress(progress)
    {
    }
    bool goOn(std::size_t dotsSeen) override { return !m_progress || m_progress(dotsSeen); }

private:
    const Progress &m_progress;
};

WalkArea areaOf(const Picture &picture)
{
    return {picture.size, picture.pixelRatio};
}

const std::vector<DrawingRecord::Entry> &entriesOf(const Picture &picture)
{
    static const std::vector<DrawingRecord::Entry> none;
    return picture.record ? picture.record->entries() : none;
}

} // namespace

namespace {

constexpr int kLegendFontPx = 12;
constexpr double kLegendLine = 17; // logical pixels between baselines
constexpr double kLegendPad = 8;
constexpr double kLegendSwatch = 10;
// Runs listed one by one; the others are counted in a last line.
constexpr std::size_t kLegendRows = 24;

// The runs of the curve window in `record`, in drawing order.
std::vector<const curve::RunRecord *> curveRuns(const DrawingRecord &record)
{
    std::vector<const curve::RunRecord *> runs;
    for (const DrawingRecord::Entry &entry : record.entries()) {
        const auto *dots = std::get_if<RecordedDots>(&entry);
        if (const auto *run
            = dots ? dynamic_cast<const curve::RunRecord *>(dots->source.get()) : nullptr)
            runs.push_back(run);
    }
    return runs;
}

// A field's number as typed, to 15 digits with the decimal comma.
QString typedNumber(double value)
{
    return QString::number(value, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
}

// BETA of a range back in degrees.
double betaDegrees(const model::PointParameters &p)
{
    return p.beta1 / static_cast<double>(p.p1);
}

// Where the legend's parts go in an area of `size`: a box at the bottom right.
struct LegendBox
{
    QRectF frame;
    QRectF swatch(std::size_t row) const
    {
        return {frame.x() + kLegendPad,
                frame.y() + kLegendPad + kLegendLine * static_cast<double>(row) + 3, kLegendSwatch,
                kLegendSwatch};
    }
    double textX() const { return frame.x() + kLegendPad + kLegendSwatch + 6; }
    double baseline(std::size_t row) const
    {
        return frame.y() + kLegendPad + kLegendLine * static_cast<double>(row) + kLegendFontPx;
    }
};

// The box for `legend`: its widest line measured with `metrics`, or guessed without.
LegendBox legendBox(QSize size, const std::vector<LegendRow> &legend, const QFontMetricsF *metrics)
{
    double widest = 0;
    for (const LegendRow &row : legend) {
        widest = std::max(widest,
                          metrics ? metrics->horizontalAdvance(row.text)
                                  : 0.6 * kLegendFontPx * static_cast<double>(row.text.size()));
    }
    const double width = widest + 2 * kLegendPad + kLegendSwatch + 6;
    const double height = kLegendLine * static_cast<double>(legend.size()) + 2 * kLegendPad;
    return {QRectF(size.width() - width - 10, size.height() - height - 10, width, height)};
}

} // namespace

std::vector<LegendRow> legendOf(const DrawingRecord &record)
{
    std::vector<LegendRow> rows;
    std::size_t runs = 0;
    for (const curve::RunRecord *run : curveRuns(record)) {
        if (++runs > kLegendRows)
            continue;
        int colour = 0;
        run->replay([&colour](const model::ChainPoint &p) {
            colour = p.paletteIndex;
            return false;
        });
        QString text = QStringLiteral("%1:").arg(run->number());
        QStringList ranges;
        bool first = true;
        for (int range = 1; range <= model::kRangeCount; ++range) {
            const std::optional<model::RangePlan> plan = run->range(range);
            if (!plan)
                continue;
            if (first) {
                const model::PointParameters &p = plan->params;
                text += QStringLiteral(" epsilon %1, BETA %2, t %3, INX %4, INY %5, %6, ALFA")
                            .arg(typedNumber(p.ep1), typedNumber(betaDegrees(p)), typedNumber(p.ve),
                                 typedNumber(p.inx), typedNumber(p.iny),
                                 plan->cosine ? QStringLiteral("coseno") : QStringLiteral("seno"));
                first = false;
            }
            ranges << QStringLiteral("%1…%2").arg(typedNumber(plan->from), typedNumber(plan->to));
        }
        text += QLatin1Char(' ') + ranges.join(QStringLiteral(", ")) + QStringLiteral(" — ")
            + QString::fromLatin1(endWords(run->end()));
        rows.push_back({colour, text});
    }
    if (runs > kLegendRows)
        rows.push_back({0, QStringLiteral("… e altre %1 esecuzioni").arg(runs - kLegendRows)});
    return rows;
}

void paintLegend(QPainter &painter, QSize size, const std::vector<LegendRow> &legend,
                 QRgb background)
{
    if (legend.empty())
        return;
    painter.save();
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(kLegendFontPx);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const LegendBox box = legendBox(size, legend, &metrics);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor::fromRgb(background));
    painter.drawRect(box.frame);
    for (std::size_t i = 0; i < legend.size(); ++i) {
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        painter.setBrush(legend[i].colour > 0 ? QColor::fromRgb(paletteRgb(legend[i].colour))
                                              : QColor(Qt::transparent));
        if (legend[i].colour > 0)
            painter.drawRect(box.swatch(i));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(box.textX(), box.baseline(i)), legend[i].text);
    }
    painter.restore();
}

QImage onWhite(const QImage &drawing, QRgb background)
{
    QImage in = drawing.convertToFormat(QImage::Format_RGB32);
    QImage out = in.copy();
    const QRgb white = paletteRgb(kPaletteSize - 1);
    background |= 0xff000000u;
    const auto at = [&in](int x, int y) {
        return reinterpret_cast<const QRgb *>(std::as_const(in).constScanLine(y))[x];
    };
    for (int y = 0; y < in.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < in.width(); ++x) {
            const QRgb p = at(x, y);
            if (p == background) {
                row[x] = kWhite;
            } else if (p == white) {
                const bool edge = (x > 0 && at(x - 1, y) == background)
                    || (x + 1 < in.width() && at(x + 1, y) == background)
                    || (y > 0 && at(x, y - 1) == background)
                    || (y + 1 < in.height() && at(x, y + 1) == background);
                if (edge)
                    row[x] = kRim;
            }
        }
    }
    return out;
}

Format formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"png")
        return Format::Png;
    if (suffix == u"svg")
        return Format::Svg;
    if (suffix == u"pdf")
        return Format::Pdf;
    return Format::Unknown;
}

QString withDefaultSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + suffix;
}

QString reasonBefore(const QString &path)
{
    for (const QChar c : path) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("il nome contiene un carattere di controllo (per esempio un a "
                                  "capo), che non è ammesso");
    }
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return QStringLiteral("la cartella %1 non esiste")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    if (!folder.isDir())
        return QStringLiteral("%1 non è una cartella")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    if (info.isDir())
        return QStringLiteral("esiste già una cartella con questo nome");
    if (info.exists() && !info.isFile())
        return QStringLiteral("con questo nome esiste già qualcosa che non è un file normale "
                              "(un dispositivo, una coda FIFO o un socket), che non viene "
                              "sostituito");
    if (info.exists()) {
        // Also for a user to whom the system would let it be overwritten (root): a file that
        // nobody may write is kept as it is.
        constexpr QFile::Permissions anyWrite
            = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        if (!info.isWritable() || !(info.permissions() & anyWrite))
            return QStringLiteral("il file esistente è di sola lettura");
    }
    return {};
}

QString writeWith(const QString &path, std::size_t total, const Progress &progress,
                  const std::function<bool(QIODevice &, const Progress &)> &body)
{
    return writeWhole(path, total, progress, [&](QSaveFile &file, const Progress &watched) {
        return body(file, watched);
    });
}

QString writeBytes(const QByteArray &bytes, const QString &path)
{
    return writeWhole(path, 0, {}, [&](QSaveFile &file, const Progress &) {
        return file.write(bytes) == bytes.size();
    });
}

QByteArray recipeOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (formatOf(path) == Format::Svg) {
        // The recipe is the text of <metadata id="QUORVEL-lezione">.
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("metadata")
                && xml.attributes().value(QLatin1String("id")) == QLatin1String(kRecipeKey))
                return xml.readElementText().toUtf8();
        }
        return {};
    }
    QImageReader reader(&file, "png");
    if (!reader.canRead())
        return {};
    return QByteArray::fromBase64(reader.text(QString::fromLatin1(kRecipeKey)).toLatin1());
}

QString writePng(const QImage &pixels, const QString &path, const Progress &progress,
                 const QByteArray &recipe)
{
    if (pixels.isNull())
        return QStringLiteral("il disegno è vuoto");
    return writeWhole(path, 0, progress, [&](QSaveFile &file, const Progress &) {
        // Encoded in memory first: the encoder writes in many small pieces.
        QByteArray encoded;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!recipe.isEmpty())
            // In base64: Qt's reader folds the blanks and line ends of a text chunk.
            writer.setText(QString::fromLatin1(kRecipeKey), QString::fromLatin1(recipe.toBase64()));
        return writer.write(pixels) && file.write(encoded) == encoded.size();
    });
}

namespace {

class SvgWriter : public ProgressVisitor
{
public:
    SvgWriter(TextOut &out, QRgb background, const Progress &progress)
        : ProgressVisitor(progress)
        , m_out(out)
        , m_background(background)
    {
    }
    void line(const RecordedLine &line) override
    {
        m_out << "<line x1=\"";
        m_out.fixed3(line.from.x()) << "\" y1=\"";
        m_out.fixed3(line.from.y()) << "\" x2=\"";
        m_out.fixed3(line.to.x()) << "\" y2=\"";
        m_out.fixed3(line.to.y()) << "\" stroke=\"" << svgColour(line.colour)
                                  << "\" stroke-width=\"";
        m_out.number(line.width) << "\" stroke-linecap=\"square\"/>\n";
    }
    void dots(int colour, double pen, std::span<const QPointF> centres) override
    {
        // One path per colour: each dot a square "M left top h side v side h -side z".
        paintDots(m_background, colour, pen, [&](QRgb rgb, double inset) {
            const double side = pen - 2 * inset;
            std::array<char, 32> sideText {};
            const std::string_view sideView(
                sideText.data(),
                static_cast<std::size_t>(
                    std::to_chars(sideText.data(), sideText.data() + sideText.size(), side).ptr
                    - sideText.data()));
            m_out << "<path fill=\"" << svgColour(rgb) << "\" d=\"";
            for (const QPointF &c : centres) {
                m_out << 'M';
                m_out.fixed3(c.x() - pen / 2 + inset) << ' ';
                m_out.fixed3(c.y() - pen / 2 + inset)
                    << 'h' << sideView << 'v' << sideView << "h-" << sideView << "z\n";
            }
            m_out << "\"/>\n";
        });
    }

private:
    TextOut &m_out;
    QRgb m_background;
};

} // namespace

QString writeSvg(const Picture &picture, const QString &path, const Progress &progress,
                 const QByteArray &recipe)
{
    const std::size_t total = picture.record ? dotCount(*picture.record) : 0;
    return writeWhole(path, total, progress, [&](QSaveFile &file, const Progress &watched) {
        TextOut out(file);
        const QSize size = picture.size;
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
        out.integer(size.width()) << "\" height=\"";
        out.integer(size.height()) << "\" viewBox=\"0 0 ";
        out.integer(size.width()) << ' ';
        out.integer(size.height()) << "\">\n<title>QUORVEL</title>\n";
        if (!recipe.isEmpty()) {
            out << "<metadata id=\"" << kRecipeKey << "\">"
                << QString::fromUtf8(recipe).toHtmlEscaped().toStdString() << "</metadata>\n";
        }
        out << "<rect width=\"";
        out.integer(size.width()) << "\" height=\"";
        out.integer(size.height()) << "\" fill=\"" << svgColour(picture.background) << "\"/>\n";
        SvgWriter svg(out, picture.background, watched);
        if (!walkRecord(entriesOf(picture), areaOf(picture), svg))
            return false;
        if (!picture.legend.empty()) {
            const LegendBox box = legendBox(picture.size, picture.legend, nullptr);
            out << "<g id=\"legenda\" font-family=\"sans-serif\" font-size=\"";
            out.integer(kLegendFontPx) << "\">\n<rect x=\"";
            out.fixed3(box.frame.x()) << "\" y=\"";
            out.fixed3(box.frame.y()) << "\" width=\"";
            out.fixed3(box.frame.width()) << "\" height=\"";
            out.fixed3(box.frame.height())
                << "\" fill=\"" << svgColour(picture.background) << "\" stroke=\"#000000\"/>\n";
            for (std::size_t i = 0; i < picture.legend.size(); ++i) {
                const QRectF swatch = box.swatch(i);
                out << "<rect x=\"";
                out.fixed3(swatch.x()) << "\" y=\"";
                out.fixed3(swatch.y()) << "\" width=\"";
                out.fixed3(swatch.width()) << "\" height=\"";
                out.fixed3(swatch.height())
                    << "\" fill=\"" << svgColour(paletteRgb(picture.legend[i].colour))
                    << "\" stroke=\"#808080\"/>\n<text x=\"";
                out.fixed3(box.textX()) << "\" y=\"";
                out.fixed3(box.baseline(i))
                    << "\">" << picture.legend[i].text.toHtmlEscaped().toStdString() << "</text>\n";
            }
            out << "</g>\n";
        }
        out << "</svg>\n";
        return out.flush();
    });
}

namespace {

class PainterVisitor : public ProgressVisitor
{
public:
    PainterVisitor(QPainter &painter, QRgb background, const Progress &progress)
        : ProgressVisitor(progress)
        , m_painter(painter)
        , m_background(background)
    {
    }
    void line(const RecordedLine &line) override
    {
        m_painter.setBrush(Qt::NoBrush);
        m_painter.setPen(
            QPen(QColor::fromRgb(line.colour), line.width, Qt::SolidLine, Qt::SquareCap));
        m_painter.drawLine(line.from, line.to);
    }
    void dots(int colour, double pen, std::span<const QPointF> centres) override
    {
        m_painter.setPen(Qt::NoPen);
        paintDots(m_background, colour, pen, [&](QRgb rgb, double inset) {
            const double side = pen - 2 * inset;
            m_rects.clear();
            for (const QPointF &c : centres)
                m_rects.emplace_back(c.x() - pen / 2 + inset, c.y() - pen / 2 + inset, side, side);
            m_painter.setBrush(QColor::fromRgb(rgb));
            m_painter.drawRects(m_rects.data(), static_cast<int>(m_rects.size()));
        });
    }

private:
    QPainter &m_painter;
    QRgb m_background;
    std::vector<QRectF> m_rects;
};

} // namespace

bool paintPicture(QPainter &painter, const Picture &picture, const Progress &progress)
{
    const QRectF page(QPointF(0, 0), QSizeF(picture.size));
    painter.save();
    painter.fillRect(page, QColor::fromRgb(picture.background));
    painter.setClipRect(page, Qt::IntersectClip);
    PainterVisitor visitor(painter, picture.background, progress);
    const bool whole = walkRecord(entriesOf(picture), areaOf(picture), visitor);
    if (whole)
        paintLegend(painter, picture.size, picture.legend, picture.background);
    painter.restore();
    return whole;
}

namespace {
// Places the picture fitted into `area`, aspect kept, centred, and paints it.
bool paintFitted(QPainter &painter, const Picture &picture, const QRectF &area,
                 const Progress &progress)
{
    if (picture.size.isEmpty())
        return true;
    const double scale
        = std::min(area.width() / picture.size.width(), area.height() / picture.size.height());
    painter.translate(area.x() + (area.width() - picture.size.width() * scale) / 2,
                      area.y() + (area.height() - picture.size.height() * scale) / 2);
    painter.scale(scale, scale);
    return paintPicture(painter, picture, progress);
}
} // namespace

namespace {

// Compresses what it is given (zlib, fastest level: the text of squares compresses well anyway)
// and writes it to a device as it goes, so that a page of millions of dots is never held whole.
class Deflater
{
public:
    explicit Deflater(QIODevice &device)
        : m_device(device)
    {
        m_ok = deflateInit(&m_z, Z_BEST_SPEED) == Z_OK;
    }
    ~Deflater() { deflateEnd(&m_z); }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    bool write(std::string_view in) { return run(in, Z_NO_FLUSH); }
    bool finish() { return run({}, Z_FINISH); }
    qint64 written() const { return m_written; }

private:
    bool run(std::string_view in, int flush)
    {
        if (!m_ok)
            return false;
        // zlib does not change the input; its interface predates const.
        m_z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
        m_z.avail_in = static_cast<uInt>(in.size());
        int result = Z_OK;
        do {
            m_z.next_out = m_out.data();
            m_z.avail_out = static_cast<uInt>(m_out.size());
            result = deflate(&m_z, flush);
            if (result == Z_STREAM_ERROR)
                return m_ok = false;
            const auto n = static_cast<qint64>(m_out.size() - m_z.avail_out);
            if (n > 0 && m_device.write(reinterpret_cast<const char *>(m_out.data()), n) != n)
                return m_ok = false;
            m_written += n;
        } while (m_z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        return true;
    }

    QIODevice &m_device;
    z_stream m_z {};
    std::array<Bytef, 1 << 16> m_out {};
    qint64 m_written = 0;
    bool m_ok = false;
};

// A colour as PDF operands: red, green and blue from 0 to 1.
void pdfColour(TextOut &out, QRgb c)
{
    out.number(qRed(c) / 255.0) << ' ';
    out.number(qGreen(c) / 255.0) << ' ';
    out.number(qBlue(c) / 255.0);
}

class PdfWriter : public ProgressVisitor
{
public:
    PdfWriter(TextOut &page, QRgb background, const Progress &progress)
        : ProgressVisitor(progress)
        , m_page(page)
        , m_background(background)
    {
    }
    void line(const RecordedLine &line) override
    {
        pdfColour(m_page, line.colour);
        m_page << " RG ";
        m_page.number(line.width) << " w 2 J ";
        m_page.fixed3(line.from.x()) << ' ';
        m_page.fixed3(line.from.y()) << " m ";
        m_page.fixed3(line.to.x()) << ' ';
        m_page.fixed3(line.to.y()) << " l S\n";
    }
    void dots(int colour, double pen, std::span<const QPointF> centres) override
    {
        paintDots(m_background, colour, pen, [&](QRgb rgb, double inset) {
            const double side = pen - 2 * inset;
            pdfColour(m_page, rgb);
            m_page << " rg\n";
            for (const QPointF &c : centres) {
                m_page.fixed3(c.x() - pen / 2 + inset) << ' ';
                m_page.fixed3(c.y() - pen / 2 + inset) << ' ';
                m_page.number(side) << ' ';
                m_page.number(side) << " re\n";
            }
            m_page << "f\n";
            m_page.flushIfFull();
        });
    }

private:
    TextOut &m_page;
    QRgb m_background;
};

} // namespace

// A one-page PDF written by hand: Qt's PDF engine holds a page's contents in memory and
// compresses them at its slowest level, seconds and a hundred megabytes for ten long runs.
// The page's contents are drawn in logical pixels, y downwards, as on screen; without a page
// given, the page is the window's size (a logical pixel is 1/96 inch).
QString writePdf(const Picture &picture, const QString &path, const Progress &progress,
                 const std::optional<PdfPage> &page)
{
    if (picture.size.isEmpty())
        return QStringLiteral("il disegno è vuoto");
    const int width = picture.size.width();
    const int height = picture.size.height();
    constexpr double toPoints = kPointsPerInch / kLogicalDpi;
    const QSizeF fullSize = page ? page->size : QSizeF(width * toPoints, height * toPoints);
    const QRectF area = page ? page->area : QRectF(QPointF(0, 0), fullSize);
    // Logical pixels to points: fitted into the area, aspect kept, centred, y turned upwards.
    const double scale = std::min(area.width() / width, area.height() / height);
    const double left = area.x() + (area.width() - width * scale) / 2;
    const double top = area.y() + (area.height() - height * scale) / 2;
    const std::size_t total = picture.record ? dotCount(*picture.record) : 0;
    return writeWhole(path, total, progress, [&](QSaveFile &file, const Progress &watched) {
        std::vector<qint64> offsets;
        TextOut out(file);
        const auto startObject = [&] {
            if (!out.flush())
                return false;
            offsets.push_back(file.pos());
            out.integer(static_cast<long long>(offsets.size())) << " 0 obj\n";
            return true;
        };
        out << "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
        startObject();
        out << "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
        startObject();
        out << "<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n";
        startObject();
        out << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
        out.number(fullSize.width()) << ' ';
        out.number(fullSize.height()) << "] /Contents 4 0 R /Resources << >> >>\nendobj\n";
        startObject();
        out << "<< /Length 5 0 R /Filter /FlateDecode >>\nstream\n";
        if (!out.flush())
            return false;

        Deflater deflater(file);
        TextOut contents([&deflater](std::string_view bytes) { return deflater.write(bytes); });
        contents.number(scale) << " 0 0 ";
        contents.number(-scale) << ' ';
        contents.number(left) << ' ';
        contents.number(fullSize.height() - top) << " cm\n";
        pdfColour(contents, picture.background);
        contents << " rg 0 0 ";
        contents.integer(width) << ' ';
        contents.integer(height) << " re f\n0 0 ";
        contents.integer(width) << ' ';
        contents.integer(height) << " re W n\n";
        PdfWriter pdf(contents, picture.background, watched);
        if (!walkRecord(entriesOf(picture), areaOf(picture), pdf))
            return false;
        if (!contents.flush() || !deflater.finish())
            return false;
        out << "\nendstream\nendobj\n";
        startObject();
        out.integer(deflater.written()) << "\nendobj\n";
        if (!out.flush())
            return false;
        const qint64 xref = file.pos();
        out << "xref\n0 ";
        out.integer(static_cast<long long>(offsets.size()) + 1) << "\n0000000000 65535 f \n";
        for (const qint64 offset : offsets) {
            std::array<char, 24> entry {};
            std::snprintf(entry.data(), entry.size(), "%010lld 00000 n \n",
                          static_cast<long long>(offset));
            out << std::string_view(entry.data(), 20);
        }
        out << "trailer\n<< /Size ";
        out.integer(static_cast<long long>(offsets.size()) + 1) << " /Root 1 0 R >>\nstartxref\n";
        out.integer(xref) << "\n%%EOF\n";
        return out.flush();
    });
}

bool printPicture(QPrinter &printer, const Picture &picture, const Progress &progress)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    if (!paintFitted(painter, picture, QRectF(0, 0, printer.width(), printer.height()), progress)) {
        printer.abort();
        painter.end();
        return false;
    }
    return painter.end();
}

QString csvHeader()
{
    return QStringLiteral("Esecuzione;Intervallo;ALFA;A2;X11;Y11;Colore");
}

QString csvLegendHeader()
{
    return QStringLiteral("Esecuzione;Intervallo;epsilon;BETA;t;INX;INY;Funzione;For;To;Fine");
}

QString csvNumber(double value)
{
    std::array<char, 40> b {};
    const char *end = italianNumber(value, b);
    return QString::fromLatin1(b.data(), end - b.data());
}

namespace {

// Writes the table's rows for the runs of `record` into `out`, at most `rows`; false when
// `progress` stopped it.
bool csvRows(const DrawingRecord &record, TextOut &out, std::size_t rows, const Progress &progress)
{
    std::size_t done = 0;
    bool goOn = true;
    for (const curve::RunRecord *run : curveRuns(record)) {
        run->replay([&](const model::ChainPoint &p) {
            out.integer(run->number()) << ';';
            out.integer(p.range) << ';';
            out.italian17(p.alfa) << ';';
            out.integer(p.a2) << ';';
            out.italian17(p.x) << ';';
            out.italian17(p.y) << ';';
            out.integer(p.paletteIndex) << "\r\n";
            out.flushIfFull();
            ++done;
            if ((done & (kDotsBetweenProgress - 1)) == 0 && progress && !progress(done))
                goOn = false;
            return goOn && done < rows;
        });
        if (!goOn || done >= rows)
            break;
    }
    return goOn;
}

// The legend of the table: a row for each range each run walked.
void csvLegend(const DrawingRecord &record, TextOut &out)
{
    out << "\r\n" << csvLegendHeader().toStdString() << "\r\n";
    for (const curve::RunRecord *run : curveRuns(record)) {
        for (int range = 1; range <= model::kRangeCount; ++range) {
            const std::optional<model::RangePlan> plan = run->range(range);
            if (!plan)
                continue;
            const model::PointParameters &p = plan->params;
            // BETA back in degrees: the field's number as typed.
            const QString beta = typedNumber(betaDegrees(p));
            out.integer(run->number()) << ';';
            out.integer(range) << ';';
            out.italian17(p.ep1) << ';' << beta.toStdString() << ';';
            out.italian17(p.ve) << ';';
            out.italian17(p.inx) << ';';
            out.italian17(p.iny) << ';' << (plan->cosine ? "coseno" : "seno") << ';';
            out.italian17(plan->from) << ';';
            out.italian17(plan->to) << ';' << endWords(run->end()) << "\r\n";
        }
    }
}

} // namespace

std::size_t pointCount(const DrawingRecord &record)
{
    std::size_t n = 0;
    for (const curve::RunRecord *run : curveRuns(record))
        n += run->dots();
    return n;
}

std::size_t dotCount(const DrawingRecord &record)
{
    return pointCount(record);
}

std::size_t csvSizeEstimate(const DrawingRecord &record)
{
    const std::size_t rows = pointCount(record);
    std::size_t sampleBytes = 0;
    TextOut sample([&sampleBytes](std::string_view bytes) {
        sampleBytes += bytes.size();
        return true;
    });
    csvRows(record, sample, std::min(rows, kSampleRows), {});
    sample.flush();
    const std::size_t header = static_cast<std::size_t>(csvHeader().size()) + 2;
    if (rows == 0)
        return header;
    const double perRow
        = static_cast<double>(sampleBytes) / static_cast<double>(std::min(rows, kSampleRows));
    return header + static_cast<std::size_t>(perRow * static_cast<double>(rows));
}

QString writeCsv(const DrawingRecord &record, const QString &path, const Progress &progress)
{
    const std::size_t rows = pointCount(record);
    return writeWhole(path, rows, progress, [&](QSaveFile &file, const Progress &watched) {
        TextOut out(file);
        out << csvHeader().toStdString() << "\r\n";
        if (!csvRows(record, out, rows, watched))
            return false;
        csvLegend(record, out);
        return out.flush();
    });
}

} // namespace quorvel::picture
