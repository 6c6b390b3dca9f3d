#include "PictureFiles.h"

#include "curve/RunRecord.h"
#include "surface/Palette.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::picture {

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
    explicit TextOut(QIODevice &device)
        : m_device(device)
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
            const qint64 n = m_device.write(m_buffer.data(), static_cast<qint64>(m_buffer.size()));
            m_ok = m_ok && n == static_cast<qint64>(m_buffer.size());
            m_buffer.clear();
        }
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    QIODevice &m_device;
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

QString writePdf(const Picture &picture, const QString &path)
{
    if (picture.size.isEmpty())
        return QStringLiteral("il disegno è vuoto");
    return writeWhole(path, [&](QSaveFile &file) {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("QUORVEL"));
        writer.setTitle(QFileInfo(path).completeBaseName());
        writer.setResolution(static_cast<int>(kLogicalDpi));
        // A page of the window's size: a logical pixel is 1/96 inch.
        const QSizeF points(picture.size.width() * kPointsPerInch / kLogicalDpi,
                            picture.size.height() * kPointsPerInch / kLogicalDpi);
        writer.setPageLayout(
            QPageLayout(QPageSize(points, QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        paintFitted(painter, picture, QRectF(0, 0, writer.width(), writer.height()));
        return painter.end();
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
