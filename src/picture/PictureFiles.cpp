#include "PictureFiles.h"

#include "curve/RunRecord.h"
#include "raster/Palette.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::picture {

using namespace raster;

namespace {

// Text is gathered in a buffer and handed to the file in pieces of about this many bytes.
constexpr std::size_t kChunk = 1 << 20;
// Dots of one colour handed to the painter at a time.
constexpr std::size_t kRectBatch = 4096;
constexpr double kPointsPerInch = 72.0;
constexpr double kLogicalDpi = 96.0;

// Why a file could not be written, in words a user understands.
QString reasonFor(const QFileDevice &file)
{
    switch (file.error()) {
    case QFileDevice::ResourceError:
        return QStringLiteral("spazio su disco esaurito");
    case QFileDevice::WriteError:
        return QStringLiteral("errore di scrittura sul disco (%1)").arg(file.errorString());
    default:
        return QStringLiteral("impossibile creare il file (%1)").arg(file.errorString());
    }
}

// The reasons that can be told before trying: a folder that does not exist, an existing file
// that may not be changed.
QString reasonBefore(const QString &path)
{
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

// Writes the whole file through `body` or nothing; the reason when not written.
QString writeWhole(const QString &path, const std::function<bool(QSaveFile &)> &body)
{
    if (QString before = reasonBefore(path); !before.isEmpty())
        return before;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.error() == QFileDevice::ResourceError
            ? reasonFor(file)
            : QStringLiteral("impossibile creare il file (%1)").arg(file.errorString());
    if (!body(file) || file.error() != QFileDevice::NoError) {
        QString reason = file.error() != QFileDevice::NoError
            ? reasonFor(file)
            : QStringLiteral("errore di scrittura sul disco");
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return reasonFor(file);
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
    // 17 significant digits, decimal comma.
    TextOut &italian17(double v)
    {
        std::array<char, 40> b {};
        const auto r
            = std::to_chars(b.data(), b.data() + b.size(), v, std::chars_format::general, 17);
        std::replace(b.data(), r.ptr, '.', ',');
        m_buffer.append(b.data(), r.ptr);
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

// Whether a dot's square of side `pen` centred on (x, y) reaches into the picture: the others
// are clipped away on the surface too.
bool reaches(double x, double y, double pen, const QSize &size)
{
    return x > -pen && x < size.width() + pen && y > -pen && y < size.height() + pen;
}

// Hands the dots of a batch over, in logical pixels, grouped while their colour stays the same.
template<typename Flush>
class DotGatherer : public DotVisitor
{
public:
    DotGatherer(const DotMapping &mapping, const QSize &size, Flush &flush)
        : m_mapping(mapping)
        , m_size(size)
        , m_flush(flush)
    {
    }
    bool dot(const RecordedDot &d) override
    {
        const double x = d.x * m_mapping.kx;
        const double y = d.y * m_mapping.ky;
        if (!reaches(x, y, m_mapping.pen, m_size))
            return true;
        if (d.paletteIndex != m_colour || m_centres.size() >= kRectBatch) {
            finish();
            m_colour = d.paletteIndex;
        }
        m_centres.emplace_back(x, y);
        return true;
    }
    void finish()
    {
        if (!m_centres.empty())
            m_flush(m_colour, m_centres);
        m_centres.clear();
    }

private:
    const DotMapping &m_mapping;
    QSize m_size;
    Flush &m_flush;
    int m_colour = -1;
    std::vector<QPointF> m_centres;
};

template<typename Flush>
void gatherDots(const RecordedDots &dots, const QSize &size, Flush &&flush)
{
    DotGatherer<std::remove_reference_t<Flush>> gatherer(dots.mapping, size, flush);
    dots.source->replayDots(gatherer);
    gatherer.finish();
}

QRgb paletteRgb(int index)
{
    return toRgb(QBColor(index));
}

} // namespace

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

QString writePng(const QImage &pixels, const QString &path)
{
    if (pixels.isNull())
        return QStringLiteral("il disegno è vuoto");
    return writeWhole(path, [&](QSaveFile &file) {
        QImageWriter writer(&file, "png");
        return writer.write(pixels);
    });
}

QString writeSvg(const Picture &picture, const QString &path)
{
    return writeWhole(path, [&](QSaveFile &file) {
        TextOut out(file);
        const QSize size = picture.size;
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
        out.integer(size.width()) << "\" height=\"";
        out.integer(size.height()) << "\" viewBox=\"0 0 ";
        out.integer(size.width()) << ' ';
        out.integer(size.height()) << "\">\n<title>QUORVEL</title>\n<rect width=\"";
        out.integer(size.width()) << "\" height=\"";
        out.integer(size.height()) << "\" fill=\"" << svgColour(picture.background) << "\"/>\n";
        if (picture.record) {
            for (const DrawingRecord::Entry &entry : picture.record->entries()) {
                if (const auto *line = std::get_if<RecordedLine>(&entry)) {
                    out << "<line x1=\"";
                    out.fixed3(line->from.x()) << "\" y1=\"";
                    out.fixed3(line->from.y()) << "\" x2=\"";
                    out.fixed3(line->to.x()) << "\" y2=\"";
                    out.fixed3(line->to.y())
                        << "\" stroke=\"" << svgColour(line->colour) << "\" stroke-width=\"";
                    out.number(line->width) << "\" stroke-linecap=\"square\"/>\n";
                    continue;
                }
                const auto &dots = std::get<RecordedDots>(entry);
                const double pen = dots.mapping.pen;
                std::array<char, 32> penText {};
                const auto penEnd = std::to_chars(penText.data(), penText.data() + 32, pen).ptr;
                const std::string_view side(penText.data(),
                                            static_cast<std::size_t>(penEnd - penText.data()));
                // One path per colour: each dot a square "M left top h side v side h -side z".
                gatherDots(dots, size, [&](int colour, const std::vector<QPointF> &centres) {
                    out << "<path fill=\"" << svgColour(paletteRgb(colour)) << "\" d=\"";
                    for (const QPointF &c : centres) {
                        out << 'M';
                        out.fixed3(c.x() - pen / 2) << ' ';
                        out.fixed3(c.y() - pen / 2)
                            << 'h' << side << 'v' << side << "h-" << side << "z\n";
                    }
                    out << "\"/>\n";
                });
            }
        }
        out << "</svg>\n";
        return out.flush();
    });
}

void paintPicture(QPainter &painter, const Picture &picture)
{
    const QRectF page(QPointF(0, 0), QSizeF(picture.size));
    painter.save();
    painter.fillRect(page, QColor::fromRgb(picture.background));
    painter.setClipRect(page, Qt::IntersectClip);
    if (picture.record) {
        std::vector<QRectF> rects;
        rects.reserve(kRectBatch);
        for (const DrawingRecord::Entry &entry : picture.record->entries()) {
            if (const auto *line = std::get_if<RecordedLine>(&entry)) {
                painter.setBrush(Qt::NoBrush);
                painter.setPen(
                    QPen(QColor::fromRgb(line->colour), line->width, Qt::SolidLine, Qt::SquareCap));
                painter.drawLine(line->from, line->to);
                continue;
            }
            const auto &dots = std::get<RecordedDots>(entry);
            const double pen = dots.mapping.pen;
            painter.setPen(Qt::NoPen);
            gatherDots(dots, picture.size, [&](int colour, const std::vector<QPointF> &centres) {
                rects.clear();
                for (const QPointF &c : centres)
                    rects.emplace_back(c.x() - pen / 2, c.y() - pen / 2, pen, pen);
                painter.setBrush(QColor::fromRgb(paletteRgb(colour)));
                painter.drawRects(rects.data(), static_cast<int>(rects.size()));
            });
        }
    }
    painter.restore();
}

namespace {
// Places the picture fitted into `area`, aspect kept, centred, and paints it.
void paintFitted(QPainter &painter, const Picture &picture, const QRectF &area)
{
    if (picture.size.isEmpty())
        return;
    const double scale
        = std::min(area.width() / picture.size.width(), area.height() / picture.size.height());
    painter.translate(area.x() + (area.width() - picture.size.width() * scale) / 2,
                      area.y() + (area.height() - picture.size.height() * scale) / 2);
    painter.scale(scale, scale);
    paintPicture(painter, picture);
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

} // namespace

// A one-page PDF written by hand: Qt's PDF engine holds a page's contents in memory and
// compresses them at its slowest level, seconds and a hundred megabytes for ten long runs.
// The page is the window's size (a logical pixel is 1/96 inch) and its contents are drawn in
// logical pixels, y downwards, as on screen.
QString writePdf(const Picture &picture, const QString &path)
{
    if (picture.size.isEmpty())
        return QStringLiteral("il disegno è vuoto");
    return writeWhole(path, [&](QSaveFile &file) {
        const int width = picture.size.width();
        const int height = picture.size.height();
        constexpr double toPoints = kPointsPerInch / kLogicalDpi;
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
        out.number(width * toPoints) << ' ';
        out.number(height * toPoints) << "] /Contents 4 0 R /Resources << >> >>\nendobj\n";
        startObject();
        out << "<< /Length 5 0 R /Filter /FlateDecode >>\nstream\n";
        if (!out.flush())
            return false;

        Deflater deflater(file);
        TextOut page([&deflater](std::string_view bytes) { return deflater.write(bytes); });
        page.number(toPoints) << " 0 0 ";
        page.number(-toPoints) << " 0 ";
        page.number(height * toPoints) << " cm\n";
        pdfColour(page, picture.background);
        page << " rg 0 0 ";
        page.integer(width) << ' ';
        page.integer(height) << " re f\n0 0 ";
        page.integer(width) << ' ';
        page.integer(height) << " re W n\n";
        if (picture.record) {
            for (const DrawingRecord::Entry &entry : picture.record->entries()) {
                if (const auto *line = std::get_if<RecordedLine>(&entry)) {
                    pdfColour(page, line->colour);
                    page << " RG ";
                    page.number(line->width) << " w 2 J ";
                    page.fixed3(line->from.x()) << ' ';
                    page.fixed3(line->from.y()) << " m ";
                    page.fixed3(line->to.x()) << ' ';
                    page.fixed3(line->to.y()) << " l S\n";
                    continue;
                }
                const auto &dots = std::get<RecordedDots>(entry);
                const double pen = dots.mapping.pen;
                gatherDots(dots, picture.size,
                           [&](int colour, const std::vector<QPointF> &centres) {
                               pdfColour(page, paletteRgb(colour));
                               page << " rg\n";
                               for (const QPointF &c : centres) {
                                   page.fixed3(c.x() - pen / 2) << ' ';
                                   page.fixed3(c.y() - pen / 2) << ' ';
                                   page.number(pen) << ' ';
                                   page.number(pen) << " re\n";
                               }
                               page << "f\n";
                               page.flushIfFull();
                           });
            }
        }
        if (!page.flush() || !deflater.finish())
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

bool printPicture(QPrinter &printer, const Picture &picture)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    paintFitted(painter, picture, QRectF(0, 0, printer.width(), printer.height()));
    return painter.end();
}

QString csvHeader()
{
    return QStringLiteral("Esecuzione;Intervallo;ALFA;A2;X11;Y11;Colore");
}

QString csvNumber(double value)
{
    std::array<char, 40> b {};
    const auto r
        = std::to_chars(b.data(), b.data() + b.size(), value, std::chars_format::general, 17);
    std::replace(b.data(), r.ptr, '.', ',');
    return QString::fromLatin1(b.data(), r.ptr - b.data());
}

QString writeCsv(const DrawingRecord &record, const QString &path)
{
    return writeWhole(path, [&](QSaveFile &file) {
        TextOut out(file);
        out << csvHeader().toStdString() << "\r\n";
        for (const DrawingRecord::Entry &entry : record.entries()) {
            const auto *dots = std::get_if<RecordedDots>(&entry);
            const auto *run = dots ? dynamic_cast<const RunRecord *>(dots->source.get()) : nullptr;
            if (!run)
                continue;
            run->replay([&](const curve::ChainPoint &p) {
                out.integer(run->number()) << ';';
                out.integer(p.range) << ';';
                out.italian17(p.alfa) << ';';
                out.integer(p.a2) << ';';
                out.italian17(p.x) << ';';
                out.italian17(p.y) << ';';
                out.integer(p.paletteIndex) << "\r\n";
                out.flushIfFull();
                return true;
            });
        }
        return out.flush();
    });
}

} // namespace quorvel::picture
