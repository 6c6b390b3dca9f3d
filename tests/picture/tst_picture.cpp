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

#include <unistd.h>

using namespace quorvel;
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
    QCOMPARE(dots.size(), points.size());
    const raster::DotMapping dotMap = s.raster().mapping(curve::kDotWidth);
    for (std::size_t i = 0; i < points.size(); ++i) {
        QCOMPARE(dots[i].size, dotMap.pen);
        QVERIFY(std::fabs(dots[i].x + dotMap.pen / 2 - points[i].a * dotMap.kx) <= 0.001);
        QVERIFY(std::fabs(dots[i].y + dotMap.pen / 2 - points[i].b * dotMap.ky) <= 0.001);
        QCOMPARE(dots[i].colour, paletteRgb(static_cast<int>(points[i].colour)));
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
    void svgHoldsEveryDotAndLine();
    void pdfAndPrintHoldEveryDotAndLine();
    void csvReadsBackAsTheChain();
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
    picture::setPathAsker({});
    picture::setPrintAsker({});
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
    readPdf(pdfContents(path), s.raster().mapping(curve::kDotWidth).pen, dots, lines);
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
    picture::setPrintAsker([&](QWidget *, QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    });
    picture::printPicture(s);
    dots.clear();
    lines.clear();
    readPdf(pdfContents(printed), s.raster().mapping(curve::kDotWidth).pen, dots, lines);
    comparePlaced(s, drawn.points(), drawn.lines(), dots, lines);
    QVERIFY(boxes.messages.isEmpty());
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
        curve::RangePlan r;
        r.params = {0.5, 1, 1.5, 55 * static_cast<double>(p1), 2, p1};
        r.from = from;
        r.to = to;
        r.step = curve::stepFor(from, to).toDouble();
        return r;
    };
    const std::array<curve::RangePlan, 3> ranges = {plan(0, 180), plan(90, -90), plan(-45.5, 300)};
    struct Row
    {
        int run;
        curve::ChainPoint p;
    };
    std::vector<Row> expected;
    curve::ColourCycle colour;
    for (int run = 1; run <= 2; ++run) {
        curve::DirectionTable directions;
        curve::CurveChain chain(directions, f.CX.toSingle(), f.CY.toSingle());
        chain.run(
            1, colour,
            [&](int range) { return std::optional(ranges[static_cast<std::size_t>(range - 1)]); },
            [&](const curve::ChainPoint &p) {
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
                                           f.surface()->raster().mapping(curve::kDotWidth));
    {
        curve::DirectionTable directions;
        curve::CurveChain chain(directions, f.CX.toSingle(), f.CY.toSingle());
        curve::ColourCycle c(colour.counter());
        int left = 25;
        chain.run(
            1, c, [&](int) { return std::optional(ranges[0]); },
            [&](const curve::ChainPoint &p) {
                expected.push_back({3, p});
                return --left > 0;
            });
    }

    picture::setPathAsker([&](QWidget *, const picture::SaveRequest &request) {
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
        const QList<QByteArray> fields = csv.readLine().trimmed().split(';');
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
    QVERIFY(boxes.messages.isEmpty());
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
    if (prepare == u"read-only file" || prepare == u"plain file") {
        QFile f(dir.filePath(typed.section(u'/', 0, 0)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(oldContent);
        f.close();
        if (prepare == u"read-only file")
            QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else if (prepare == u"folder") {
        QVERIFY(dir.mkdir(typed));
    } else if (prepare == u"closed folder") {
        // The system lets root write anywhere: only another user sees the refusal.
        if (::geteuid() == 0)
            QSKIP("root may write into any folder");
        QVERIFY(dir.mkdir(QStringLiteral("chiusa")));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("chiusa")),
                                      QFile::ReadOwner | QFile::ExeOwner));
    }
    const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    picture::setPathAsker([&](QWidget *, const picture::SaveRequest &) {
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
    const std::array<Case, 2> cases = {
        Case {&form4(), form4().surface(), form4().field(10),
              form4().surface()->findChild<QLabel *>(QStringLiteral("Label11")),
              common + QStringList {QStringLiteral("Esporta punti…")}},
        Case {&form2(), form2().surface(), form2().HScroll1(),
              form2().surface()->findChild<QLabel *>(QStringLiteral("Label1")), common},
    };
    QStringList asked;
    picture::setPathAsker([&](QWidget *, const picture::SaveRequest &request) {
        asked << request.title;
        return QString();
    });
    picture::setPrintAsker([&](QWidget *, QPrinter &) {
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
        if (c.menu.size() == 4)
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
