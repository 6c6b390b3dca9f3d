// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "calibration/Form2.h"
#include "model/CircleModel.h"
#include "shell/FormRegistry.h"
#include "shell/RuntimeError.h"
#include "shell/Twips.h"
#include "support/TestSupport.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <optional>

using namespace quorvel;
using namespace quorvel::calibration;
using namespace quorvel::model;
using test::SurfaceOp;

class TestForm2 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void activationSetsScaleAndDraws();
    void circleHasExactPoints();
    void scrollPositionsGiveFactors_data();
    void scrollPositionsGiveFactors();
    void clearsOnlyWhenFactorFalls_data();
    void clearsOnlyWhenFactorFalls();
    void activationKeepsScrollBarAndDoesNotClear();
    void okRefusesFactorUpToThreshold_data();
    void okRefusesFactorUpToThreshold();
    void layoutAtTwipPositions_data();
    void layoutAtTwipPositions();
    void headingIsRed();
    void focusOrderAndKeys();
    void escapeDoesNothing();
    void reloadStartsFromDesignedValues();
    void esciEndsProgram();

private:
    Form2 &form() { return m_registry->formAs<Form2>(QStringLiteral("Form2")); }
    void showAndActivate();
    std::unique_ptr<FormRegistry> m_registry;
    test::RecordingObserver m_rec;
    std::optional<ScopedSurfaceObserver> m_watch; // m_rec on the calibration drawing
};

void TestForm2::initTestCase()
{
    test::filterPlatformNoise();
}

void TestForm2::init()
{
    m_registry = std::make_unique<FormRegistry>();
    m_registry->addFactory("Form2", [](FormRegistry &r) { return std::make_unique<Form2>(r); });
    // Stands in for the curve window.
    m_registry->addFactory("Form4", [](FormRegistry &r) {
        return std::make_unique<test::StubForm>(r, QStringLiteral("Form4"));
    });
    m_rec.ops.clear();
}

void TestForm2::cleanup()
{
    m_watch.reset();
    m_registry.reset();
}

void TestForm2::showAndActivate()
{
    form().show();
    m_watch.emplace(*form().surface(), &m_rec);
    QTRY_VERIFY(!form().Incr.isEmpty());
    // The first activation may have run before the observer was attached: start clean.
    m_rec.ops.clear();
}

void TestForm2::activationSetsScaleAndDraws()
{
    form().show();
    QVERIFY(QTest::qWaitForWindowActive(form().window()));
    QTRY_COMPARE(form().Text1()->text(), QStringLiteral("0,51"));
    m_watch.emplace(*form().surface(), &m_rec);
    form().Form_Activate();
    QCOMPARE(test::bitsOf(form().P1.toSingle()), 0x3C8EFA35u);
    QCOMPARE(form().P1.kind(), Variant::Kind::Single);
    QCOMPARE(form().Incr.kind(), Variant::Kind::Double);
    QCOMPARE(form().Incr.toDouble(), 0.51);
    QCOMPARE(form().surface()->raster().scaleWidth(), 146367.359375f);
    QCOMPARE(form().surface()->raster().scaleHeight(), 74647.3515625f);
    QCOMPARE(form().CX.kind(), Variant::Kind::Single);
    QCOMPARE(form().CX.toSingle(), 93183.6796875f);
    QCOMPARE(form().CY.toSingle(), 37323.67578125f);
    const auto lines = m_rec.lines();
    QCOMPARE(lines.size(), std::size_t(2));
    // Vertical axis 20000 units right of the middle, over the full height; then the horizontal.
    QCOMPARE(lines[0].a, 93183.6796875f);
    QCOMPARE(lines[0].b, 0.0f);
    QCOMPARE(lines[0].d, 74647.3515625f);
    QCOMPARE(lines[1].b, 37323.67578125f);
    QCOMPARE(lines[1].c, 146367.359375f);
    QCOMPARE(lines[0].colour, 0u);
    QCOMPARE(lines[0].width, 1);
    QCOMPARE(m_rec.count(SurfaceOp::Point), 7200);
    QCOMPARE(m_rec.count(SurfaceOp::Clear), 0);
    // The axes are black on screen.
    DrawingSurface *s = form().surface();
    const int axisX = int(std::floor(93183.6796875 * s->width() / 146367.359375));
    QCOMPARE(s->raster().pixelAt(axisX, s->height() - 1), qRgb(0, 0, 0));
}

void TestForm2::circleHasExactPoints()
{
    showAndActivate();
    form().Form_Activate();
    const auto points = m_rec.points();
    QCOMPARE(points.size(), std::size_t(7200));
    const double p1 = form().P1.toSingle();
    const double cx = 93183.6796875;
    const double cy = 37323.67578125;
    double a = 0;
    for (std::size_t i = 0; i < 3600; ++i, a += 0.1) {
        const float x = float(cx + std::cos(a * p1) * 36367.36328125);
        const float y = float(cy + std::sin(a * p1) * 36367.36328125);
        // Each pass plots the same point in red, one pixel wide.
        for (const std::size_t k : {i, i + 3600}) {
            QCOMPARE(test::bitsOf(points[k].a), test::bitsOf(x));
            QCOMPARE(test::bitsOf(points[k].b), test::bitsOf(y));
            QCOMPARE(points[k].colour, 4u);
            QCOMPARE(points[k].width, 1);
        }
    }
    // The last angle is 359.90000000001334; the next one ends the loop.
    QCOMPARE(a, 360.00000000001336);
    QCOMPARE(form().XR.toDouble(), std::cos((a - 0.1) * p1) * 36367.36328125);
    QCOMPARE(points.front().a, float(cx + 36367.36328125));
}

void TestForm2::scrollPositionsGiveFactors_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("scaleHeight");
    QTest::newRow("1") << 1 << 0.53 << "0,53" << float(0.53 * 146367.359375);
    QTest::newRow("2") << 2 << 0.55 << "0,55" << float(0.55 * 146367.359375);
    QTest::newRow("3") << 3 << 0.5700000000000001 << "0,57"
                       << float(0.5700000000000001 * 146367.359375);
    QTest::newRow("29") << 29 << 29 * 0.02 + 0.51 << "1,09"
                        << float((29 * 0.02 + 0.51) * 146367.359375);
    QTest::newRow("30") << 30 << 30 * 0.02 + 0.51 << "1,11"
                        << float((30 * 0.02 + 0.51) * 146367.359375);
}

void TestForm2::scrollPositionsGiveFactors()
{
    QFETCH(int, position);
    QFETCH(double, factor);
    QFETCH(QString, text);
    QFETCH(float, scaleHeight);
    showAndActivate();
    if (position == 1) {
        form().HScroll1()->setValue(2);
        m_rec.ops.clear();
    }
    form().HScroll1()->setValue(position);
    QCOMPARE(form().Incr.toDouble(), factor);
    QCOMPARE(form().Text1()->text(), text);
    QCOMPARE(form().surface()->raster().scaleHeight(), scaleHeight);
    QCOMPARE(form().CX.toSingle(), 93183.6796875f);
    QCOMPARE(form().CY.toSingle(), scaleHeight / 2);
    QCOMPARE(m_rec.count(SurfaceOp::Point), 7200);
    QCOMPARE(m_rec.count(SurfaceOp::Line), 2);
}

void TestForm2::clearsOnlyWhenFactorFalls_data()
{
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QList<int>>("clearsAfterEach");
    QTest::newRow("first change never clears") << QList<int> {1} << QList<int> {0};
    QTest::newRow("up, up: a nest of figures") << QList<int> {5, 6} << QList<int> {0, 0};
    QTest::newRow("up then down clears once") << QList<int> {5, 4} << QList<int> {0, 1};
    QTest::newRow("down twice clears twice") << QList<int> {9, 5, 2} << QList<int> {0, 1, 2};
}

void TestForm2::clearsOnlyWhenFactorFalls()
{
    QFETCH(QList<int>, positions);
    QFETCH(QList<int>, clearsAfterEach);
    showAndActivate();
    for (int i = 0; i < positions.size(); ++i) {
        form().HScroll1()->setValue(positions[i]);
        QCOMPARE(m_rec.count(SurfaceOp::Clear), clearsAfterEach[i]);
    }
    // A clear comes before the new axes and circle, so those are what remains.
    if (clearsAfterEach.last() > 0) {
        std::size_t lastClear = 0;
        for (std::size_t k = 0; k < m_rec.ops.size(); ++k)
            if (m_rec.ops[k].kind == SurfaceOp::Clear)
                lastClear = k;
        QCOMPARE(m_rec.ops.size() - lastClear - 1, std::size_t(3 + 2 + 7200));
    }
}

void TestForm2::activationKeepsScrollBarAndDoesNotClear()
{
    showAndActivate();
    form().HScroll1()->setValue(7);
    m_rec.ops.clear();
    form().Form_Activate();
    QCOMPARE(form().HScroll1()->value(), 7);
    QCOMPARE(form().Incr.toDouble(), 0.51);
    QCOMPARE(form().Text1()->text(), QStringLiteral("0,51"));
    QCOMPARE(m_rec.count(SurfaceOp::Clear), 0);
    QCOMPARE(m_rec.count(SurfaceOp::Point), 7200);
}

void TestForm2::okRefusesFactorUpToThreshold_data()
{
    QTest::addColumn<int>("position"); // 0: no change since the activation
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0.51 after activation") << 0 << false;
    QTest::newRow("0.53 exactly") << 1 << false;
    QTest::newRow("0.55") << 2 << true;
    QTest::newRow("1.11") << 30 << true;
}

void TestForm2::okRefusesFactorUpToThreshold()
{
    QFETCH(int, position);
    QFETCH(bool, accepted);
    showAndActivate();
    if (position == 1)
        form().HScroll1()->setValue(3);
    if (position > 0)
        form().HScroll1()->setValue(position);
    const double before = form().Incr.toDouble();
    const int scroll = form().HScroll1()->value();
    m_rec.ops.clear();
    test::MessageRecorder recorder;
    form().Command1_Click();
    if (accepted) {
        QVERIFY(recorder.messages.isEmpty());
        QVERIFY(m_registry->exists("Form4"));
        QVERIFY(m_registry->form("Form4").isLoaded());
    } else {
        QCOMPARE(recorder.messages, QStringList {"Impostare la risoluzione SCHERMO"});
        QVERIFY(!m_registry->exists("Form4"));
        QCOMPARE(form().Incr.toDouble(), before);
        QCOMPARE(form().HScroll1()->value(), scroll);
        QVERIFY(m_rec.ops.empty());
    }
}

void TestForm2::layoutAtTwipPositions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::newRow("Label1") << "Label1" << QRect(360, 240, 9135, 495)
                            << "Per calibrare l' impostazione corretta della risoluzione dello "
                               "SCHERMO";
    QTest::newRow("HScroll1") << "HScroll1" << QRect(480, 1080, 5895, 255) << "";
    QTest::newRow("Command2") << "Command2" << QRect(360, 1560, 6255, 735)
                              << "KLICCARE  sulla barra di scorrimento fino a che la figura  "
                                 "risulti una CIRCONFERENZA";
    QTest::newRow("Text1") << "Text1" << QRect(360, 2880, 735, 375) << "Text1";
    QTest::newRow("Command1") << "Command1" << QRect(3120, 2880, 1575, 615) << "OK - continua";
    QTest::newRow("Command3") << "Command3" << QRect(360, 4080, 1695, 615) << "ESCI";
}

void TestForm2::layoutAtTwipPositions()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    test::MessageRecorder recorder;
    form().show();
    QWidget *window = form().window();
    auto *control = window->findChild<QWidget *>(name);
    QVERIFY(control);
    const int dpi = control->logicalDpiX();
    const QRect expected(twipsToPixels(twips.x(), dpi), twipsToPixels(twips.y(), dpi),
                         twipsToPixels(twips.width(), dpi), twipsToPixels(twips.height(), dpi));
    QCOMPARE(control->geometry(), expected);
    QCOMPARE(control->parentWidget(), window);
    if (auto *label = qobject_cast<QLabel *>(control))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->text(), text);
        QVERIFY(!button->isDefault());
    }
    // Resizing the window moves no control.
    window->setWindowState(Qt::WindowNoState);
    window->resize(300, 200);
    QCOMPARE(control->geometry(), expected);
    QCOMPARE(window->windowTitle(), QStringLiteral("Form2"));
}

void TestForm2::headingIsRed()
{
    form().show();
    auto *label = form().window()->findChild<QLabel *>("Label1");
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(label->font().pointSizeF(), 13.5);
    QVERIFY(label->wordWrap());
    QVERIFY(label->autoFillBackground());
}

void TestForm2::focusOrderAndKeys()
{
    form().show();
    QWidget *window = form().window();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QScrollBar *scroll = form().HScroll1();
    QCOMPARE(QApplication::focusWidget(), scroll);
    // The arrow keys move the thumb at once; each change runs the handler.
    QTest::keyClick(scroll, Qt::Key_Right);
    QCOMPARE(scroll->value(), 2);
    QCOMPARE(form().Text1()->text(), QStringLiteral("0,55"));
    QTest::keyClick(scroll, Qt::Key_Left);
    QTest::keyClick(scroll, Qt::Key_Left);
    QCOMPARE(scroll->value(), 1);
    QCOMPARE(form().Text1()->text(), QStringLiteral("0,53"));
    const QStringList order {"Text1", "Command1", "Command2", "Command3", "HScroll1"};
    for (const QString &name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command3"));
}

void TestForm2::escapeDoesNothing()
{
    form().show();
    QVERIFY(QTest::qWaitForWindowActive(form().window()));
    bool ended = false;
    test::MessageRecorder recorder;
    {
        const ScopedEndProgramHook endHook([&] { ended = true; });
        for (const char *name : {"HScroll1", "Command1", "Command3"}) {
            auto *w = form().window()->findChild<QWidget *>(name);
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Escape);
        }
    }
    QVERIFY(!ended);
    QVERIFY(recorder.messages.isEmpty());
    QVERIFY(form().window()->isVisible());
    // Enter presses the focused button (the factor is still 0.51, so it is refused).
    auto *ok = form().window()->findChild<QPushButton *>("Command1");
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Return);
    QCOMPARE(recorder.messages, QStringList {"Impostare la risoluzione SCHERMO"});
}

void TestForm2::reloadStartsFromDesignedValues()
{
    showAndActivate();
    form().HScroll1()->setValue(9);
    form().Text1()->setText(QStringLiteral("typed"));
    const double factor = form().Incr.toDouble();
    QPointer<QWidget> first = form().window();
    first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(form().HScroll1() == nullptr);
    QCOMPARE(form().Incr.toDouble(), factor);
    form().show();
    QCOMPARE(form().HScroll1()->value(), 1);
    QTRY_COMPARE(form().Text1()->text(), QStringLiteral("0,51"));
}

void TestForm2::esciEndsProgram()
{
    form().show();
    int ends = 0;
    {
        const ScopedEndProgramHook endHook([&] { ++ends; });
        form().window()->findChild<QPushButton *>("Command3")->click();
    }
    QCOMPARE(ends, 1);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
