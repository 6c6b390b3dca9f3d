// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Program.h"
#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "curve/RunRecord.h"
#include "picture/PictureActions.h"
#include "picture/PictureFiles.h"
#include "shell/FormRegistry.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

#include <array>
#include <cmath>
#include <memory>

#include <csignal>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::calibration;
using namespace quorvel::model;
using test::SurfaceOp;

namespace {

using Fields = QList<std::pair<int, QString>>;

// A run over three ranges, the second in the other direction.
const Fields kThreeRanges = {
    {1, QStringLiteral("1")},     {2, QStringLiteral("1,5")}, {10, QStringLiteral("0,5")},
    {11, QStringLiteral("55")},   {12, QStringLiteral("2")},  {3, QStringLiteral("0")},
    {4, QStringLiteral("180")},   {5, QStringLiteral("90")},  {6, QStringLiteral("-90")},
    {7, QStringLiteral("-45,5")}, {8, QStringLiteral("300")},
};

// A dot or a line as a picture file places it, in logical pixels.
struct Placed
{
    double x, y; // dot: top-left of its square; line: first end
    double x2 = 0, y2 = 0; // line: second end
    double size; // dot: side; line: width
    QRgb colour;
};

QRgb paletteRgb(int index)
{
    return raster::toRgb(raster::QBColor(index));
}

// The dots and lines of an SVG file the program wrote.
bool readSvg(const QString &path, std::vector<Placed> &dots, std::vector<Placed> &lines)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&f);
    static const QRegularExpression square(
        QStringLiteral(R"(M(-?[\d.]+) (-?[\d.]+)h([\d.]+)v\3h-\3z)"));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const auto num = [&](const char *name) { return a.value(QLatin1String(name)).toDouble(); };
        if (xml.name() == u"line") {
            lines.push_back({num("x1"), num("y1"), num("x2"), num("y2"), num("stroke-width"),
                             QColor(a.value(QLatin1String("stroke")).toString()).rgb()});
        } else if (xml.name() == u"path") {
            const QRgb colour = QColor(a.value(QLatin1String("fill")).toString()).rgb();
            auto it = square.globalMatch(a.value(QLatin1String("d")).toString());
            while (it.hasNext()) {
                const QRegularExpressionMatch m = it.next();
                dots.push_back({m.captured(1).toDouble(), m.captured(2).toDouble(), 0, 0,
                                m.captured(3).toDouble(), colour});
            }
        }
    }
    return !xml.hasError();
}

// The page contents of a PDF file the program wrote, its streams inflated.
QByteArray pdfContents(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pdf = f.readAll();
    QByteArray all;
    qsizetype at = 0;
    while ((at = pdf.indexOf("stream\n", at)) >= 0) {
        const qsizetype begin = at + 7;
        const qsizetype end = pdf.indexOf("endstream", begin);
        if (end < 0)
            break;
        const QByteArray dict = pdf.mid(pdf.lastIndexOf("<<", at), at - pdf.lastIndexOf("<<", at));
        QByteArray data = pdf.mid(begin, end - begin);
        if (dict.contains("/FlateDecode")) {
            // qUncompress wants the expected size first; it grows its buffer as needed.
            data.prepend(QByteArray("\x00\x10\x00\x00", 4));
            data = qUncompress(data);
        }
        all += data;
        all += '\n';
        at = end;
    }
    return all;
}

// The dots (squares of side `pen`) and stroked lines of a PDF file's page contents, with their
// fill and stroke colours, in the units the program painted in.
void readPdf(const QByteArray &contents, double pen, std::vector<Placed> &dots,
             std::vector<Placed> &lines)
{
    std::vector<double> n;
    QRgb fill = 0;
    QRgb stroke = 0;
    double width = 1;
    QPointF from;
    QPointF to;
    const auto rgb = [&] {
        const auto c = [&](std::size_t back) {
            return static_cast<int>(std::lround(n[n.size() - back] * 255));
        };
        return n.size() >= 3 ? qRgb(c(3), c(2), c(1)) : 0;
    };
    for (const QByteArray &token : contents.simplified().split(' ')) {
        bool isNumber = false;
        const double v = token.toDouble(&isNumber);
        if (isNumber) {
            n.push_back(v);
            continue;
        }
        if (token == "scn" || token == "rg")
            fill = rgb();
        else if (token == "SCN" || token == "RG")
            stroke = rgb();
        else if (token == "w" && !n.empty())
            width = n.back();
        else if (token == "m" && n.size() >= 2)
            from = QPointF(n[n.size() - 2], n.back());
        else if (token == "l" && n.size() >= 2)
            to = QPointF(n[n.size() - 2], n.back());
        else if (token == "S")
            lines.push_back({from.x(), from.y(), to.x(), to.y(), width, stroke});
        else if (token == "re" && n.size() >= 4 && n[n.size() - 2] == pen && n.back() == pen)
            dots.push_back({n[n.size() - 4], n[n.size() - 3], 0, 0, pen, fill});
        n.clear();
    }
}

// Compares the placed dots and lines of a picture file with what the surface was asked to draw.
void comparePlaced(const DrawingSurface &s, const std::vector<SurfaceOp> &points,
                   const std::vector<SurfaceOp> &drawnLines, const std::vector<Placed> &dots,
                   const std::vector<Placed> &lines)
{
    QVERIFY(points.size() > 500 && drawnLines.size() >= 2);
    // The file holds drawn dots, in drawing order; one that shows nothing new is left out
    // (vectorPictureShowsTheDrawing checks that nothing visible is).
    QVERIFY(!dots.empty() && dots.size() <= points.size());
    const raster::DotMapping dotMap = s.raster().mapping(model::kDotWidth);
    const auto placedAt = [&](const Placed &d, const SurfaceOp &p) {
        return std::fabs(d.x + dotMap.pen / 2 - p.a * dotMap.kx) <= 0.001
            && std::fabs(d.y + dotMap.pen / 2 - p.b * dotMap.ky) <= 0.001
            && d.colour == paletteRgb(static_cast<int>(p.colour));
    };
    std::size_t next = 0;
    for (const Placed &d : dots) {
        QCOMPARE(d.size, dotMap.pen);
        while (next < points.size() && !placedAt(d, points[next]))
            ++next;
        QVERIFY(next < points.size());
        ++next;
    }
    QCOMPARE(lines.size(), drawnLines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const raster::DotMapping m = s.raster().mapping(drawnLines[i].width);
        QVERIFY(std::fabs(lines[i].x - drawnLines[i].a * m.kx) <= 0.001);
        QVERIFY(std::fabs(lines[i].y - drawnLines[i].b * m.ky) <= 0.001);
        QVERIFY(std::fabs(lines[i].x2 - drawnLines[i].c * m.kx) <= 0.001);
        QVERIFY(std::fabs(lines[i].y2 - drawnLines[i].d * m.ky) <= 0.001);
        QCOMPARE(lines[i].size, m.pen);
        QCOMPARE(lines[i].colour, raster::toRgb(drawnLines[i].colour));
    }
}

// A file system of 64 KiB mounted over a folder while alive (only where the test may mount:
// as root).
class SmallDisk
{
public:
    SmallDisk() = default;
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    ~SmallDisk()
    {
        if (!m_at.isEmpty())
            ::umount2(QFile::encodeName(m_at).constData(), MNT_DETACH);
    }
    bool mount(const QString &at, unsigned long flags)
    {
        if (::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", flags, "size=64k") != 0)
            return false;
        m_at = at;
        return true;
    }

private:
    QString m_at;
};

} // namespace

// Saving, copying and printing the picture and exporting the points, from the record each
// drawing surface keeps, through the menu and shortcuts the program gives its drawing windows.
class TestPicture : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void recordReplaysTheDrawnDots_data();
    void recordReplaysTheDrawnDots();
    void pngIsTheRetainedDrawing();
    void onWhiteKeepsBrightWhiteVisible();
    void svgHoldsEveryDotAndLine();
    void vectorPictureShowsTheDrawing_data();
    void vectorPictureShowsTheDrawing();
    void pdfAndPrintHoldEveryDotAndLine();
    void csvReadsBackAsTheChain();
    void exportPointsTellsBeforeWriting();
    void stoppedWritingLeavesTheOldFile_data();
    void stoppedWritingLeavesTheOldFile();
    void savingPaths_data();
    void savingPaths();
    void menuAndShortcuts();
    void realSaveDialog();

private:
    Form4 &form4() { return m_registry->formAs<Form4>(QStringLiteral("Form4")); }
    Form2 &form2() { return m_registry->formAs<Form2>(QStringLiteral("Form2")); }
    void showForm4();
    void setFields(const Fields &fields);
    std::unique_ptr<FormRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPicture::initTestCase()
{
    test::filterPlatformNoise();
}

void TestPicture::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_registry = std::make_unique<FormRegistry>();
    registerForms(*m_registry);
}

void TestPicture::cleanup()
{
    setPathAsker({});
    setPrintAsker({});
    setQuestionAsker({});
    m_registry.reset();
    m_dir.reset();
}

void TestPicture::showForm4()
{
    form2().Incr = Variant::real(0.55);
    form4().show();
    QVERIFY(QTest::qWaitForWindowActive(form4().window()));
}

void TestPicture::setFields(const Fields &fields)
{
    for (const auto &[number, text] : fields)
        form4().field(number)->setText(text);
}

// Replaying the record gives the very dots that were set, in order, bit for bit; Cls empties it.
void TestPicture::recordReplaysTheDrawnDots_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("cosine");
    QTest::newRow("curve, sine, three ranges") << "Form4" << false;
    QTest::newRow("curve, cosine") << "Form4" << true;
    QTest::newRow("calibration, two circles") << "Form2" << false;
}

void TestPicture::recordReplaysTheDrawnDots()
{
    QFETCH(QString, window);
    QFETCH(bool, cosine);
    test::MessageRecorder boxes;
    test::RecordingObserver drawn;
    DrawingSurface *surface = nullptr;
    if (window == u"Form4") {
        showForm4();
        surface = form4().surface();
        setFields(kThreeRanges);
        (cosine ? form4().Option2() : form4().Option1())->setChecked(true);
        surface->setObserver(&drawn);
        form4().Command5_Click();
        form4().Command5_Click();
        // A choice changed after the runs does not change what they drew.
        (cosine ? form4().Option1() : form4().Option2())->setChecked(true);
    } else {
        form2().show();
        QVERIFY(QTest::qWaitForWindowActive(form2().window()));
        surface = form2().surface();
        surface->raster().Cls();
        surface->setObserver(&drawn);
        form2().HScroll1()->setValue(3);
    }
    surface->setObserver(nullptr);
    const std::vector<SurfaceOp> points = drawn.points();
    QVERIFY(points.size() > 500);

    struct Collect : raster::DotVisitor
    {
        std::vector<raster::RecordedDot> dots;
        bool dot(const raster::RecordedDot &d) override
        {
            dots.push_back(d);
            return true;
        }
    } replayed;
    for (const raster::DrawingRecord::Entry &e : surface->raster().record().entries()) {
        if (const auto *batch = std::get_if<raster::RecordedDots>(&e))
            batch->source->replayDots(replayed);
    }
    QCOMPARE(replayed.dots.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        QCOMPARE(test::bitsOf(static_cast<float>(replayed.dots[i].x)), test::bitsOf(points[i].a));
        QCOMPARE(test::bitsOf(static_cast<float>(replayed.dots[i].y)), test::bitsOf(points[i].b));
        QCOMPARE(replayed.dots[i].paletteIndex, static_cast<int>(points[i].colour));
    }
    surface->raster().Cls();
    QVERIFY(surface->raster().record().entries().empty());
}

void TestPicture::pngIsTheRetainedDrawing()
{
    test::MessageRecorder boxes;
    showForm4();
    setFields(kThreeRanges);
    form4().Command5_Click();
    const QString path = m_dir->filePath(QStringLiteral("curva.png"));
    QCOMPARE(picture::writePng(form4().surface()->raster().drawing(), path), QString());
    const QImage read(path);
    const QImage drawing = form4().surface()->raster().drawing();
    QCOMPARE(read.size(), drawing.size());
    QCOMPARE(read.convertToFormat(QImage::Format_RGB32), drawing);
    // Controls are not part of it: the drawing under the first frame is background.
    QCOMPARE(
        read.pixel(
            form4().surface()->findChild<QWidget *>(QStringLiteral("Frame4"))->geometry().center()),
        form4().surface()->raster().backgroundRgb());
}

// A vector picture painted at the drawing's resolution has the drawing's very pixels, and grows
// with what shows, not with the points computed.
void TestPicture::vectorPictureShowsTheDrawing_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<int>("runs");
    QTest::addColumn<qint64>("mostBytes"); // of the SVG and of the PDF file
    QTest::newRow("three ranges, runs over one another") << kThreeRanges << 3 << qint64 {2000000};
    // Two million points on a few pixels.
    const Fields fewPixels = {
        {1, QStringLiteral("0,001")},     {2, QStringLiteral("0,001")},
        {10, QStringLiteral("0,000001")}, {11, QStringLiteral("55")},
        {12, QStringLiteral("0,000001")}, {3, QStringLiteral("0")},
        {4, QStringLiteral("2000000")},   {5, QStringLiteral("0")},
        {6, QStringLiteral("0")},
    };
    QTest::newRow("long run on a few pixels") << fewPixels << 1 << qint64 {4096};
}

void TestPicture::vectorPictureShowsTheDrawing()
{
    QFETCH(Fields, fields);
    QFETCH(int, runs);
    QFETCH(qint64, mostBytes);
    test::MessageRecorder boxes;
    showForm4();
    setFields(fields);
    form4().Command1_Click(); // clears, draws the axes and runs
    for (int run = 1; run < runs; ++run)
        form4().Command5_Click();
    QCOMPARE(boxes.messages, QStringList());
    const DrawingSurface &s = *form4().surface();
    const picture::Picture picture {{}, &s.raster().record(), s.size(), s.raster().backgroundRgb()};
    const QImage drawing = s.raster().drawing();
    QImage painted(drawing.size(), QImage::Format_RGB32);
    {
        QPainter painter(&painted);
        QVERIFY(picture::paintPicture(painter, picture));
    }
    QCOMPARE(painted, drawing);
    const QString svg = m_dir->filePath(QStringLiteral("curva.svg"));
    const QString pdf = m_dir->filePath(QStringLiteral("curva.pdf"));
    QCOMPARE(picture::writeSvg(picture, svg), QString());
    QCOMPARE(picture::writePdf(picture, pdf), QString());
    QVERIFY2(QFileInfo(svg).size() <= mostBytes,
             qPrintable(QString::number(QFileInfo(svg).size())));
    QVERIFY2(QFileInfo(pdf).size() <= mostBytes,
             qPrintable(QString::number(QFileInfo(pdf).size())));
}

// On white, the window's background turns white and a bright white dot gets a grey rim; other
// colours stay as they are.
void TestPicture::onWhiteKeepsBrightWhiteVisible()
{
    const QRgb face = qRgb(239, 239, 239);
    QImage drawing(7, 5, QImage::Format_RGB32);
    drawing.fill(face);
    for (int y = 1; y < 4; ++y) {
        for (int x = 1; x < 4; ++x)
            drawing.setPixel(x, y, paletteRgb(15));
    }
    drawing.setPixel(5, 2, paletteRgb(7));
    const QImage white = picture::onWhite(drawing, face);
    QCOMPARE(white.pixel(0, 0), picture::kWhite);
    QCOMPARE(white.pixel(1, 1), picture::kRim);
    QCOMPARE(white.pixel(3, 2), picture::kRim);
    QCOMPARE(white.pixel(2, 2), paletteRgb(15));
    QCOMPARE(white.pixel(5, 2), paletteRgb(7));
}

// Every dot at its user coordinates times the scale, a square of its pen, in its palette
// colour; every line at its ends, width and colour.
void TestPicture::svgHoldsEveryDotAndLine()
{
    test::MessageRecorder boxes;
    showForm4();
    setFields(kThreeRanges);
    DrawingSurface &s = *form4().surface();
    test::RecordingObserver drawn;
    s.setObserver(&drawn);
    form4().Command1_Click(); // clears, draws the axes and runs
    form4().Command5_Click();
    s.setObserver(nullptr);
    const QString path = m_dir->filePath(QStringLiteral("curva.svg"));
    QCOMPARE(
        picture::writeSvg({{}, &s.raster().record(), s.size(), s.raster().backgroundRgb()}, path),
        QString());
    std::vector<Placed> dots;
    std::vector<Placed> lines;
    QVERIFY(readSvg(path, dots, lines));
    comparePlaced(s, drawn.points(), drawn.lines(), dots, lines);
}

// The PDF file and the printed page (to a PDF file) hold the same dots and lines as vectors.
void TestPicture::pdfAndPrintHoldEveryDotAndLine()
{
    test::MessageRecorder boxes;
    showForm4();
    setFields(kThreeRanges);
    DrawingSurface &s = *form4().surface();
    test::RecordingObserver drawn;
    s.setObserver(&drawn);
    form4().Command1_Click();
    s.setObserver(nullptr);
    const QString path = m_dir->filePath(QStringLiteral("curva.pdf"));
    QCOMPARE(
        picture::writePdf({{}, &s.raster().record(), s.size(), s.raster().backgroundRgb()}, path),
        QString());
    std::vector<Placed> dots;
    std::vector<Placed> lines;
    readPdf(pdfContents(path), s.raster().mapping(model::kDotWidth).pen, dots, lines);
    comparePlaced(s, drawn.points(), drawn.lines(), dots, lines);
    // A reader finds the objects through the table at the end: every offset in it is where
    // its object starts.
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    const qsizetype tail = bytes.lastIndexOf("startxref\n");
    QVERIFY(tail > 0 && bytes.startsWith("%PDF-1.4\n") && bytes.endsWith("%%EOF\n"));
    const qsizetype xref = bytes.mid(tail + 10).split('\n').constFirst().toLongLong();
    QVERIFY(bytes.mid(xref).startsWith("xref\n0 6\n0000000000 65535 f \n"));
    for (int object = 1; object <= 5; ++object) {
        const qsizetype offset = bytes.mid(xref + 9 + qsizetype {20} * object, 10).toLongLong();
        QVERIFY(bytes.mid(offset).startsWith(QByteArray::number(object) + " 0 obj\n"));
    }

    const QString printed = m_dir->filePath(QStringLiteral("stampa.pdf"));
    setPrintAsker([&](QWidget *, QPrinter &printer) {
        // Named for what it holds, across the paper when the drawing is wider than tall.
        [&] {
            QCOMPARE(printer.docName(), QStringLiteral("QUORVEL - curva"));
            QCOMPARE(printer.pageLayout().orientation(),
                     s.width() > s.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
        }();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    });
    picture::printPicture(s);
    dots.clear();
    lines.clear();
    readPdf(pdfContents(printed), s.raster().mapping(model::kDotWidth).pen, dots, lines);
    comparePlaced(s, drawn.points(), drawn.lines(), dots, lines);
    QVERIFY(boxes.messages.isEmpty());

    // Printing to a file that cannot be written is told in a box, as saving is.
    const QString nowhere = m_dir->filePath(QStringLiteral("manca/stampa.pdf"));
    setPrintAsker([&](QWidget *, QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(nowhere);
        return true;
    });
    picture::printPicture(s);
    QCOMPARE(boxes.messages.size(), 1);
    QVERIFY2(boxes.messages[0].contains(QStringLiteral("non esiste")),
             qPrintable(boxes.messages[0]));
}

// The table holds one row per dot of every run since the window was cleared, numbers that read
// back as the chain's very doubles; a run stopped early (Esc) ends where it stopped.
void TestPicture::csvReadsBackAsTheChain()
{
    test::MessageRecorder boxes;
    showForm4();
    setFields(kThreeRanges);
    Form4 &f = form4();
    f.Command5_Click();
    f.Command5_Click();
    QVERIFY(boxes.messages.isEmpty());

    // The same runs straight from the chain, with the fields' values.
    const float p1 = f.P1.toSingle();
    const auto plan = [&](double from, double to) {
        model::RangePlan r;
        r.params = {0.5, 1, 1.5, 55 * static_cast<double>(p1), 2, p1};
        r.from = from;
        r.to = to;
        r.step = model::stepFor(from, to).toDouble();
        return r;
    };
    const std::array<model::RangePlan, 3> ranges = {plan(0, 180), plan(90, -90), plan(-45.5, 300)};
    struct Row
    {
        int run;
        model::ChainPoint p;
    };
    std::vector<Row> expected;
    model::ColourCycle colour;
    for (int run = 1; run <= 2; ++run) {
        model::DirectionTable directions;
        model::CurveChain chain(directions, f.CX.toSingle(), f.CY.toSingle());
        chain.run(
            1, colour,
            [&](int range) { return std::optional(ranges[static_cast<std::size_t>(range - 1)]); },
            [&](const model::ChainPoint &p) {
                expected.push_back({run, p});
                return true;
            });
    }
    // A third run stopped by Esc after 25 dots.
    auto stopped
        = std::make_shared<RunRecord>(3, f.CX.toSingle(), f.CY.toSingle(), colour.counter(), 1);
    stopped->keep(1, ranges[0]);
    stopped->setDots(25);
    f.surface()->raster().record().addDots(stopped,
                                           f.surface()->raster().mapping(model::kDotWidth));
    {
        model::DirectionTable directions;
        model::CurveChain chain(directions, f.CX.toSingle(), f.CY.toSingle());
        model::ColourCycle c(colour.counter());
        int left = 25;
        chain.run(
            1, c, [&](int) { return std::optional(ranges[0]); },
            [&](const model::ChainPoint &p) {
                expected.push_back({3, p});
                return --left > 0;
            });
    }

    setPathAsker([&](QWidget *, const SaveRequest &request) {
        return m_dir->filePath(QStringLiteral("punti %1").arg(request.title));
    });
    QTest::keySequence(f.window(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    QFile csv(m_dir->filePath(QStringLiteral("punti Esporta punti.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly | QIODevice::Text));
    QCOMPARE(csv.readLine().trimmed(), picture::csvHeader().toUtf8());
    const auto number = [](const QByteArray &field) {
        bool ok = false;
        const double v = QByteArray(field).replace(',', '.').toDouble(&ok);
        return ok ? v : std::nan("");
    };
    std::size_t row = 0;
    while (!csv.atEnd()) {
        const QByteArray line = csv.readLine().trimmed();
        if (line.isEmpty())
            break; // the legend follows
        const QList<QByteArray> fields = line.split(';');
        QCOMPARE(fields.size(), 7);
        QVERIFY(row < expected.size());
        const Row &e = expected[row++];
        QCOMPARE(fields[0].toInt(), e.run);
        QCOMPARE(fields[1].toInt(), e.p.range);
        QCOMPARE(test::bitsOf(number(fields[2])), test::bitsOf(e.p.alfa));
        QCOMPARE(fields[3].toInt(), static_cast<int>(e.p.a2));
        QCOMPARE(test::bitsOf(number(fields[4])), test::bitsOf(e.p.x));
        QCOMPARE(test::bitsOf(number(fields[5])), test::bitsOf(e.p.y));
        QCOMPARE(fields[6].toInt(), e.p.paletteIndex);
        QVERIFY(!fields[4].contains('.'));
    }
    QCOMPARE(row, expected.size());
    // The legend: each range of each run with its parameters, the stopped run's one range.
    QCOMPARE(csv.readLine().trimmed(), picture::csvLegendHeader().toUtf8());
    QByteArrayList legend;
    while (!csv.atEnd())
        legend << csv.readLine().trimmed();
    QCOMPARE(legend.size(), 7);
    QCOMPARE(legend[1], QByteArray("1;2;0,5;55;2;1;1,5;seno;90;-90;intervalli completati"));
    QCOMPARE(legend[6], QByteArray("3;1;0,5;55;2;1;1,5;seno;0;180;intervalli completati"));
    QVERIFY(boxes.messages.isEmpty());
}

// With no points, the export says so; beyond a million rows it says how many and about how big
// the file will be, and writes nothing unless the answer is yes.
void TestPicture::exportPointsTellsBeforeWriting()
{
    test::MessageRecorder boxes;
    showForm4();
    QStringList asked;
    setPathAsker([&](QWidget *, const SaveRequest &request) {
        asked << request.title;
        return QString();
    });
    QStringList questions;
    setQuestionAsker([&](QWidget *, const QString &question) {
        questions << question;
        return false;
    });
    DrawingSurface &s = *form4().surface();
    s.raster().Cls();
    picture::exportPoints(s);
    QCOMPARE(boxes.messages.size(), 1);
    QVERIFY2(boxes.messages[0].contains(QStringLiteral("Non ci sono punti")),
             qPrintable(boxes.messages[0]));
    QVERIFY(asked.isEmpty());

    setFields({{1, QStringLiteral("0,001")},
               {2, QStringLiteral("0,001")},
               {10, QStringLiteral("0,000001")},
               {12, QStringLiteral("0,000001")},
               {3, QStringLiteral("0")},
               {4, QStringLiteral("1100000")},
               {5, QStringLiteral("0")},
               {6, QStringLiteral("0")}});
    form4().Command5_Click();
    picture::exportPoints(s);
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions[0].contains(QStringLiteral("1.100.001 righe"))
                 && questions[0].contains(QStringLiteral("MB")),
             qPrintable(questions[0]));
    QVERIFY(asked.isEmpty());
}

// A writing cancelled, killed or met by a full disk leaves no file at its target and the file
// already there as it was, whatever the format.
void TestPicture::stoppedWritingLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("how"); // "cancelled", "killed", "disk full"
    for (const char *how : {"cancelled", "killed", "disk full"}) {
        for (const char *name : {"curva.png", "curva.svg", "curva.pdf", "punti.csv"})
            QTest::addRow("%s, %s", name, how)
                << QString::fromLatin1(name) << QString::fromLatin1(how);
    }
}

void TestPicture::stoppedWritingLeavesTheOldFile()
{
    QFETCH(QString, name);
    QFETCH(QString, how);
    test::MessageRecorder boxes;
    showForm4();
    setFields(kThreeRanges);
    form4().Command1_Click();
    const DrawingSurface &s = *form4().surface();
    const picture::Picture picture {s.raster().drawing(), &s.raster().record(), s.size(),
                                    s.raster().backgroundRgb()};
    QDir dir(m_dir->path());
    SmallDisk disk;
    if (how == u"disk full") {
        QVERIFY(dir.mkdir(QStringLiteral("piccolo")));
        QVERIFY(dir.cd(QStringLiteral("piccolo")));
        if (!disk.mount(dir.path(), 0))
            QSKIP("a small file system cannot be mounted here");
    }
    const QString path = dir.filePath(name);
    const QByteArray old("vecchio");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(old), old.size());
    }
    if (how == u"disk full") {
        QFile filler(dir.filePath(QStringLiteral("riempitivo")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) { }
    }
    const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const auto write = [&](const picture::Progress &progress) {
        switch (picture::formatOf(path)) {
        case picture::Format::Png:
            return picture::writePng(picture.pixels, path, progress);
        case picture::Format::Svg:
            return picture::writeSvg(picture, path, progress);
        case picture::Format::Pdf:
            return picture::writePdf(picture, path, progress);
        default:
            return picture::writeCsv(s.raster().record(), path, progress);
        }
    };
    if (how == u"cancelled") {
        QCOMPARE(write([](std::size_t) { return false; }), QStringLiteral("annullato"));
    } else if (how == u"killed") {
        // A process of its own writes the file and is killed on its last step before the name.
        std::array<int, 2> ends {};
        QCOMPARE(::pipe(ends.data()), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            write([&](std::size_t) {
                (void)!::write(ends[1], "x", 1);
                for (;;)
                    ::pause();
                return true;
            });
            ::_exit(0);
        }
        ::close(ends[1]);
        char c = 0;
        QCOMPARE(::read(ends[0], &c, 1), ssize_t {1});
        ::close(ends[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
    } else {
        const QString reason = write({});
        QVERIFY2(reason.contains(QStringLiteral("disco pieno")), qPrintable(reason));
    }
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), old);
    QCOMPARE(boxes.messages, QStringList());
}

// What the user may type as a name: the file written whole in the format its extension names,
// or a box that names the file and the reason, and no file; no other file changed.
void TestPicture::savingPaths_data()
{
    QTest::addColumn<QString>("typed"); // relative to a fresh folder; empty: cancelled
    QTest::addColumn<QString>("prepare"); // "", "read-only file", "plain file", "folder"
    QTest::addColumn<QString>("written"); // the file that must appear, or empty
    QTest::addColumn<QString>("reason"); // part of the box's text, or empty: no box
    const QString longName = QString(300, u'x') + QStringLiteral(".png");
    QTest::newRow("blanks, accents, no extension") << "disegno così è"
                                                   << ""
                                                   << "disegno così è.png"
                                                   << "";
    QTest::newRow("svg") << "curva.svg"
                         << ""
                         << "curva.svg"
                         << "";
    QTest::newRow("pdf, capital extension") << "Curva.PDF"
                                            << ""
                                            << "Curva.PDF"
                                            << "";
    QTest::newRow("cancelled") << ""
                               << ""
                               << ""
                               << "";
    QTest::newRow("other extension") << "curva.jpg"
                                     << ""
                                     << ""
                                     << ".png, .svg o .pdf";
    QTest::newRow("folder that does not exist") << "manca/curva.png"
                                                << ""
                                                << ""
                                                << "non esiste";
    QTest::newRow("existing read-only file") << "sola.png"
                                             << "read-only file"
                                             << ""
                                             << "sola lettura";
    QTest::newRow("a file as folder") << "piano/curva.png"
                                      << "plain file"
                                      << ""
                                      << "non è una cartella";
    QTest::newRow("existing folder") << "cartella.png"
                                     << "folder"
                                     << ""
                                     << "cartella";
    QTest::newRow("name too long") << longName << ""
                                   << ""
                                   << "impossibile creare il file";
    QTest::newRow("FIFO") << "coda.png"
                          << "fifo"
                          << ""
                          << "non è un file normale";
    QTest::newRow("newline in the name") << "riga\nnuova.png"
                                         << ""
                                         << ""
                                         << "carattere di controllo";
    QTest::newRow("link to a file") << "collegamento.png"
                                    << "link"
                                    << ""
                                    << "";
    QTest::newRow("read-only disk") << "sola/curva.png"
                                    << "read-only disk"
                                    << ""
                                    << "impossibile creare il file (il disco è di sola lettura)";
    QTest::newRow("folder not writable") << "chiusa/curva.png"
                                         << "closed folder"
                                         << ""
                                         << "impossibile creare il file";
}

void TestPicture::savingPaths()
{
    QFETCH(QString, typed);
    QFETCH(QString, prepare);
    QFETCH(QString, written);
    QFETCH(QString, reason);
    test::MessageRecorder boxes;
    showForm4();
    setFields(kThreeRanges);
    form4().Command5_Click();
    DrawingSurface &s = *form4().surface();
    const QDir dir(m_dir->path());
    const QByteArray oldContent("vecchio");
    SmallDisk disk;
    if (prepare == u"read-only file" || prepare == u"plain file") {
        QFile f(dir.filePath(typed.section(u'/', 0, 0)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(oldContent);
        f.close();
        if (prepare == u"read-only file")
            QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else if (prepare == u"folder") {
        QVERIFY(dir.mkdir(typed));
    } else if (prepare == u"read-only disk") {
        QVERIFY(dir.mkdir(QStringLiteral("sola")));
        if (!disk.mount(dir.filePath(QStringLiteral("sola")), MS_RDONLY))
            QSKIP("a read-only file system cannot be mounted here");
    } else if (prepare == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(typed)).constData(), 0644), 0);
    } else if (prepare == u"link") {
        // The link is followed: the file it points to is written, the link stays.
        QFile f(dir.filePath(QStringLiteral("vero.png")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(oldContent);
        f.close();
        QVERIFY(QFile::link(QStringLiteral("vero.png"), dir.filePath(typed)));
    } else if (prepare == u"closed folder") {
        // The system lets root write anywhere: only another user sees the refusal.
        if (::geteuid() == 0)
            QSKIP("root may write into any folder");
        QVERIFY(dir.mkdir(QStringLiteral("chiusa")));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("chiusa")),
                                      QFile::ReadOwner | QFile::ExeOwner));
    }
    const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    setPathAsker([&](QWidget *, const SaveRequest &) {
        return typed.isEmpty() ? QString() : dir.filePath(typed);
    });
    picture::savePicture(s);

    QStringList after = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    if (!written.isEmpty()) {
        QVERIFY2(after.removeOne(written), qPrintable(after.join(u", ")));
        const QString path = dir.filePath(written);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray start = f.read(5);
        switch (picture::formatOf(path)) {
        case picture::Format::Png:
            QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), s.raster().drawing());
            break;
        case picture::Format::Svg:
            QCOMPARE(start, QByteArray("<?xml"));
            break;
        default:
            QCOMPARE(start, QByteArray("%PDF-"));
        }
    }
    QCOMPARE(after, before);
    if (prepare == u"link") {
        QVERIFY(QFileInfo(dir.filePath(typed)).isSymLink());
        QCOMPARE(
            QImage(dir.filePath(QStringLiteral("vero.png"))).convertToFormat(QImage::Format_RGB32),
            s.raster().drawing());
    }
    if (prepare == u"fifo")
        QVERIFY(!QFileInfo(dir.filePath(typed)).isFile() && QFileInfo::exists(dir.filePath(typed)));
    if (prepare == u"read-only file" || prepare == u"plain file") {
        QFile f(dir.filePath(typed.section(u'/', 0, 0)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), oldContent);
    }
    if (reason.isEmpty()) {
        QCOMPARE(boxes.messages, QStringList());
    } else {
        QCOMPARE(boxes.messages.size(), 1);
        QVERIFY2(boxes.messages[0].contains(QDir::toNativeSeparators(dir.filePath(typed)))
                     && boxes.messages[0].contains(reason),
                 qPrintable(boxes.messages[0]));
    }
}

// Both drawing windows: the menu on the drawing (not over a control) and the shortcuts from
// whatever control has the focus; none of them runs an activation handler or changes the
// drawing.
void TestPicture::menuAndShortcuts()
{
    test::MessageRecorder boxes;
    showForm4();
    setFields(kThreeRanges);
    form4().Command5_Click();
    form2().show();
    QVERIFY(QTest::qWaitForWindowActive(form2().window()));
    struct Case
    {
        Form *form;
        DrawingSurface *surface;
        QWidget *focus;
        QWidget *control;
        QStringList menu;
    };
    const QStringList common = {QStringLiteral("Salva immagine…"), QStringLiteral("Copia immagine"),
                                QStringLiteral("Stampa…")};
    // The choice of a white background after a separator, then the About box after another.
    const QStringList last = {QString(), QStringLiteral("Immagine su sfondo bianco"), QString(),
                              QStringLiteral("Informazioni su QUORVEL")};
    // The curve window's lesson items, after a separator.
    const QStringList lesson = {QString(),
                                QStringLiteral("Salva impostazioni…"),
                                QStringLiteral("Apri…"),
                                QStringLiteral("File recenti"),
                                QStringLiteral("Esempi"),
                                QString(),
                                QStringLiteral("Annulla ultima esecuzione"),
                                QStringLiteral("Ripeti esecuzione annullata")};
    const std::array<Case, 2> cases = {
        Case {&form4(), form4().surface(), form4().field(10),
              form4().surface()->findChild<QLabel *>(QStringLiteral("Label11")),
              common
                  + QStringList {QStringLiteral("Esporta punti…"), QStringLiteral("Esplora…"),
                                 QStringLiteral("Esplora passo passo…")}
                  + lesson + last},
        Case {&form2(), form2().surface(), form2().HScroll1(),
              form2().surface()->findChild<QLabel *>(QStringLiteral("Label1")), common + last},
    };
    QStringList asked;
    setPathAsker([&](QWidget *, const SaveRequest &request) {
        asked << request.title;
        return QString();
    });
    setPrintAsker([&](QWidget *, QPrinter &) {
        asked << QStringLiteral("Stampa");
        return false;
    });
    QStringList menuSeen;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *a : menu->actions())
                menuSeen << a->text();
            menu->close();
        }
    });
    closer.start();
    for (const Case &c : cases) {
        QVERIFY(c.control);
        c.form->show();
        QVERIFY(QTest::qWaitForWindowActive(c.form->window()));
        QSignalSpy activations(m_registry.get(), &FormRegistry::formActivated);
        const QImage before = c.surface->raster().drawing();
        const std::size_t recorded = c.surface->raster().record().entries().size();
        c.focus->setFocus();
        QTRY_VERIFY(c.focus->hasFocus());
        asked.clear();
        QTest::keySequence(c.focus, QKeySequence(Qt::CTRL | Qt::Key_S));
        QTest::keySequence(c.focus, QKeySequence(Qt::CTRL | Qt::Key_P));
        QTest::keySequence(c.focus, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
        QApplication::clipboard()->clear();
        QTest::keySequence(c.focus, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
        QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), before);
        QStringList expected = {QStringLiteral("Salva immagine"), QStringLiteral("Stampa")};
        if (c.menu.contains(QStringLiteral("Esporta punti…")))
            expected << QStringLiteral("Esporta punti");
        QCOMPARE(asked, expected);

        // A right click on a control shows no picture menu; one on the drawing does.
        menuSeen.clear();
        const QPoint onControl = c.control->rect().center();
        QContextMenuEvent overControl(QContextMenuEvent::Mouse, onControl,
                                      c.control->mapToGlobal(onControl));
        QApplication::sendEvent(c.control, &overControl);
        QCOMPARE(menuSeen, QStringList());
        const QPoint onDrawing(c.surface->width() - 5, c.surface->height() - 5);
        QVERIFY(!c.surface->childAt(onDrawing));
        QContextMenuEvent overDrawing(QContextMenuEvent::Mouse, onDrawing,
                                      c.surface->mapToGlobal(onDrawing));
        QApplication::sendEvent(c.surface, &overDrawing);
        QCOMPARE(menuSeen, c.menu);
        // From the keyboard, on a control that is not a field; a field keeps its own menu.
        QWidget *const button
            = c.form == &form4() ? static_cast<QWidget *>(form4().Command5()) : c.focus;
        for (const QKeySequence &keys :
             {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
            for (QWidget *focus : {button, c.focus}) {
                menuSeen.clear();
                // Offscreen, nothing is active after a menu closes.
                c.form->window()->activateWindow();
                QTRY_VERIFY(c.form->window()->isActiveWindow());
                focus->setFocus();
                QTest::keySequence(focus, keys);
                QTRY_VERIFY(!menuSeen.isEmpty());
                QCOMPARE(menuSeen == c.menu, !qobject_cast<QLineEdit *>(focus));
            }
        }

        c.form->window()->activateWindow();
        QTRY_VERIFY(c.form->window()->isActiveWindow());
        QCOMPARE(activations.count(), 0);
        QCOMPARE(c.surface->raster().drawing(), before);
        QCOMPARE(c.surface->raster().record().entries().size(), recorded);
    }
    QCOMPARE(boxes.messages, QStringList());
}

// Qt's own save dialog, in Italian: a full path typed in its name field and Enter save there; a
// name that exists is asked about first, and "No" leaves the file as it was. Coming back from
// the dialog runs no activation handler.
void TestPicture::realSaveDialog()
{
    test::MessageRecorder boxes;
    QVERIFY(installItalianTranslations(*qApp));
    showForm4();
    setFields(kThreeRanges);
    form4().Command5_Click();
    QSignalSpy activations(m_registry.get(), &FormRegistry::formActivated);
    DrawingSurface &s = *form4().surface();
    const QString path = m_dir->filePath(QStringLiteral("la mia curva"));
    QStringList seen;
    bool answerNo = false;
    QTimer driver;
    driver.setInterval(10);
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (box->property("answered").toBool())
                return;
            box->setProperty("answered", true);
            seen << box->text();
            QAbstractButton *answer = box->button(answerNo ? QMessageBox::No : QMessageBox::Yes);
            QTimer::singleShot(0, answer, &QAbstractButton::click);
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (!dialog->isVisible())
                return;
            if (dialog->property("typed").toBool()) {
                // Still open after "No": the name is asked for again; give up.
                if (seen.size() >= 2)
                    dialog->reject();
                return;
            }
            dialog->setProperty("typed", true);
            seen << dialog->windowTitle();
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setFocus();
            name->setText(path);
            // Outside this timer's handler, so that the timer goes on during what follows.
            QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
        }
    });
    driver.start();
    form4().field(10)->setFocus();
    QTest::keySequence(form4().field(10), QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(seen, QStringList {QStringLiteral("Salva immagine")});
    QFile png(path + QStringLiteral(".png"));
    QVERIFY(png.exists());
    QCOMPARE(QImage(png.fileName()).convertToFormat(QImage::Format_RGB32), s.raster().drawing());
    QCOMPARE(picture::lastFolder(), m_dir->path());

    // Again, into the same file, answering No: nothing changes.
    QVERIFY(png.open(QIODevice::ReadOnly));
    const QByteArray saved = png.readAll();
    png.close();
    QVERIFY(png.setPermissions(png.permissions())); // exists
    form4().Command5_Click(); // a different drawing now
    answerNo = true;
    seen.clear();
    // Offscreen, nothing is active after a dialog closes (a window manager would activate the
    // window again): the window-wide shortcut needs its window active.
    form4().window()->activateWindow();
    QTRY_VERIFY(form4().window()->isActiveWindow());
    QTest::keySequence(form4().field(10), QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(seen.size(), 2);
    QVERIFY2(seen[1].contains(QStringLiteral("esiste già")), qPrintable(seen[1]));
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(png.readAll(), saved);

    form4().window()->activateWindow();
    QTRY_VERIFY(form4().window()->isActiveWindow());
    QCOMPARE(activations.count(), 0);
    QCOMPARE(boxes.messages, QStringList());
}

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
