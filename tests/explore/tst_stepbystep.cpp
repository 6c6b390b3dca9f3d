// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Passo passo" in the explore window: the player's panel, its keys, what the canvas shows.

#include "support/TestSupport.h"

#include "curve/Form4.h"
#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"
#include "explore/ExploreWindow.h"
#include "model/NumericText.h"
#include "model/Variant.h"
#include "player/ConstructionPlayer.h"
#include "player/PlayerPanel.h"
#include "shell/AccessibleParts.h"
#include "shell/FormRegistry.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLineF>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>

#include <memory>
#include <optional>

using namespace quorvel;
using namespace quorvel::explore;
using quorvel::player::DotFacts;

class TestStepByStep : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { test::filterPlatformNoise(); }
    void dotTexts_data();
    void dotTexts();
    void speedScale_data();
    void speedScale();
    void keysDriveThePlayer();
    void aMoveTakesOverFromAJump();
    void ctrlROpensTheWindowPlaying();
};

namespace {

DotFacts someFacts()
{
    DotFacts f;
    f.number = 1234567;
    f.range = 2;
    f.alfa = -17;
    f.a2 = -5;
    f.cosine = true;
    f.direction = -12.5;
    f.x = -0.25;
    f.y = 1234.5;
    f.previous = QPointF(0, 0);
    return f;
}

// The canvas as the player's drawing at its view with the window's ticks, nothing over it.
QImage expectedCanvas(ExploreWindow &window, player::ConstructionPlayer &player)
{
    const QSize size = window.canvas()->size();
    QImage image(size, QImage::Format_RGB32);
    image.fill(window.canvas()->palette().color(QPalette::Window));
    QPainter p(&image);
    p.setFont(window.canvas()->font());
    player.drawing().paint(p, QRect(QPoint(0, 0), size));
    paintScale(p, window.scene(), window.view(), size, false);
    return image;
}

// Pixels that differ between two pictures of one size, outside a disc around `spared` that
// holds the ring and the arrow.
int differences(const QImage &a, const QImage &b, std::optional<QPointF> spared)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return -1;
    int count = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            if (spared && QLineF(*spared, QPointF(col, row)).length() < 32)
                continue;
            count += x.pixel(col, row) != y.pixel(col, row);
        }
    }
    return count;
}

} // namespace

void TestStepByStep::dotTexts_data()
{
    QTest::addColumn<quint64>("position");
    QTest::addColumn<bool>("lengthKnown");
    QTest::addColumn<bool>("withFacts");
    QTest::addColumn<double>("direction");
    QTest::addColumn<QString>("expected");
    QTest::newRow("axes alone") << quint64(0) << true << false << 0.0
                                << QStringLiteral(
                                       "Punto 0 di 196.608\nSolo gli assi, nessun punto ancora");
    QTest::newRow("a dot, length not yet known")
        << quint64(1234567) << false << true << -12.5
        << QStringLiteral("Punto 1.234.567\nIntervallo 2\nALFA = -17\nt x ALFA = -5\n"
                          "Direzione BETA x cos(t x ALFA) = -12,5 gradi\nX11 = -0,25\n"
                          "Y11 = 1234,5");
    QTest::newRow("a direction near 0, without an exponent")
        << quint64(1234567) << true << true << -4.80825286295837e-06
        << QStringLiteral("Punto 1.234.567 di 196.608\nIntervallo 2\nALFA = -17\n"
                          "t x ALFA = -5\nDirezione BETA x cos(t x ALFA) = -0,000005 gradi\n"
                          "X11 = -0,25\nY11 = 1234,5");
}

void TestStepByStep::dotTexts()
{
    QFETCH(quint64, position);
    QFETCH(bool, lengthKnown);
    QFETCH(bool, withFacts);
    QFETCH(double, direction);
    QFETCH(QString, expected);
    const std::optional<std::uint64_t> length
        = lengthKnown ? std::optional<std::uint64_t>(196608) : std::nullopt;
    std::optional<DotFacts> facts;
    if (withFacts) {
        facts = someFacts();
        facts->direction = direction;
    }
    QCOMPARE(player::dotText(position, length, facts, std::nullopt), expected);
    // The run's end, once shown, is its last line.
    QCOMPARE(player::dotText(position, length, facts, QStringLiteral("fine")),
             expected + QStringLiteral("\nfine"));
}

void TestStepByStep::speedScale_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("slowest") << 0 << QStringLiteral("1 punto al secondo");
    QTest::newRow("one notch up") << 1 << QStringLiteral("1,02 punti al secondo");
    QTest::newRow("at the start") << 100 << QStringLiteral("10 punti al secondo");
    QTest::newRow("three digits kept") << 433 << QStringLiteral("21.400 punti al secondo");
    QTest::newRow("fastest") << player::kSpeedPositions
                             << QStringLiteral("100.000 punti al secondo");
}

void TestStepByStep::speedScale()
{
    QFETCH(int, position);
    QFETCH(QString, text);
    QCOMPARE(player::speedText(player::speedAt(position)), text);
    QCOMPARE(player::speedPosition(player::speedAt(position)), position);
}

// Right, Left, End, Home and the space bar move the construction; the canvas shows its drawing,
// which is the drawing of a player of its own taken to the same dot.
void TestStepByStep::keysDriveThePlayer()
{
    ExploreWindow window(nullptr);
    window.resize(1100, 700);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(window.finishedShown());
    window.stepButton()->click();
    QVERIFY(window.stepByStep());
    player::PlayerPanel *panel = window.stepPanel();
    QVERIFY(panel->isVisible());
    QVERIFY(panel->player());
    QCOMPARE(panel->player()->position(), std::uint64_t(0));
    QVERIFY(!panel->playing());
    // The speed slider is read in dots a second, not in positions.
    installFactory();
    QAccessibleInterface *speed = QAccessible::queryAccessibleInterface(panel->speedSlider());
    QVERIFY(speed && speed->valueInterface());
    QCOMPARE(speed->valueInterface()->currentValue().toDouble(), 10.0);

    window.canvas()->setFocus();
    const std::optional<Recipe> recipe = readTexts(window.texts()).recipe;
    QVERIFY(recipe);
    player::ConstructionPlayer own(*recipe, window.scene(),
                                   window.palette().color(QPalette::Window).rgb());
    own.setView(window.view(), window.canvas()->size(), window.canvas()->devicePixelRatioF());
    const auto sameAsOwn = [&](std::uint64_t n) {
        own.seek(n);
        while (!own.work(50)) { }
        QCOMPARE(panel->player()->position(), n);
        QVERIFY(panel->player()->drawing().drawing() == own.drawing().drawing());
        std::optional<QPointF> dot;
        if (const std::optional<DotFacts> f = own.facts(n))
            dot = own.canvasPoint(f->x, f->y);
        QCOMPARE(differences(window.canvas()->grab().toImage(), expectedCanvas(window, own), dot),
                 0);
    };

    for (int i = 0; i < 3; ++i)
        QTest::keyClick(window.canvas(), Qt::Key_Right);
    sameAsOwn(3);
    QVERIFY(QRegularExpression(QStringLiteral("^Punto 3( di [0-9.]+)?\nIntervallo 1\n"))
                .match(panel->dotLabel()->text())
                .hasMatch());
    QTest::keyClick(window.canvas(), Qt::Key_Left);
    sameAsOwn(2);
    // A screen reader is told the dot reached.
    QVERIFY(QRegularExpression(QStringLiteral("^Punto 2( di [0-9.]+)?; Intervallo 1; ALFA"))
                .match(lastAnnouncement(&window))
                .hasMatch());
    // A zoom shows the same dots at the new view.
    window.zoomAbout(QRectF(window.canvas()->rect()).center(), 1.25);
    QTRY_VERIFY(!panel->busy());
    own.setView(window.view(), window.canvas()->size(), window.canvas()->devicePixelRatioF());
    sameAsOwn(2);
    // The arrows act with the focus on a button too; in a field they move the caret.
    panel->playButton()->setFocus();
    QTest::keyClick(panel->playButton(), Qt::Key_Right);
    QCOMPARE(panel->player()->target(), std::uint64_t(3));
    window.field(Field::Beta)->setFocus();
    QTest::keyClick(window.field(Field::Beta), Qt::Key_Left);
    QCOMPARE(panel->player()->target(), std::uint64_t(3));
    // A radio button chooses with them.
    window.cosineButton()->setFocus();
    QTest::keyClick(window.cosineButton(), Qt::Key_Right);
    QCOMPARE(panel->player()->target(), std::uint64_t(3));

    window.canvas()->setFocus();
    QTest::keyClick(window.canvas(), Qt::Key_End);
    QTRY_VERIFY(!panel->busy());
    QVERIFY(panel->player()->length());
    const std::uint64_t length = *panel->player()->length();
    sameAsOwn(length);
    QVERIFY(panel->dotLabel()->text().startsWith(
        QStringLiteral("Punto %1 di ").arg(model::groupedDecimalText(double(length)))));
    QVERIFY(panel->dotLabel()->text().endsWith(*panel->player()->endText()));
    QTest::keyClick(window.canvas(), Qt::Key_Home);
    sameAsOwn(0);

    QTest::keyClick(window.canvas(), Qt::Key_Space);
    QVERIFY(panel->playing());
    QCOMPARE(panel->playButton()->text(), QStringLiteral("Ferma"));
    QTest::keyClick(window.canvas(), Qt::Key_Space);
    QVERIFY(!panel->playing());
    QCOMPARE(panel->playButton()->text(), QStringLiteral("Avvia"));

    // A parameter changed starts again from dot 0 of the new run, paused.
    QTest::keyClick(window.canvas(), Qt::Key_Right);
    window.setText(Field::Beta, QStringLiteral("45"));
    QCOMPARE(panel->player()->position(), std::uint64_t(0));
    QVERIFY(!panel->playing());
}

// A step or Esc during a jump to either end stops the jump where the drawing has got to, even
// once the run's length is known.
void TestStepByStep::aMoveTakesOverFromAJump()
{
    ExploreWindow window(nullptr);
    window.resize(900, 600);
    window.show();
    window.setText(Field::Epsilon, QStringLiteral("0,000001"));
    window.setText(Field::T, QStringLiteral("0,000001"));
    window.setText(Field::To1, QStringLiteral("20000000"));
    window.setStepByStep(true);
    player::PlayerPanel *panel = window.stepPanel();
    QVERIFY(panel->player());
    panel->toEnd();
    QTRY_VERIFY(!panel->busy());
    const std::uint64_t length = panel->player()->position();
    QCOMPARE(panel->player()->length(), std::optional<std::uint64_t>(length));
    panel->toStart();
    QTRY_VERIFY(!panel->busy());
    panel->toEnd();
    QVERIFY(panel->busy());
    panel->stepBack();
    QTRY_VERIFY(!panel->busy());
    QVERIFY(panel->player()->position() + 1 < length);
    panel->toEnd();
    QVERIFY(panel->busy());
    QTest::keyClick(&window, Qt::Key_Escape);
    QTRY_VERIFY(!panel->busy());
    QVERIFY(panel->player()->position() < length);
}

// Ctrl+R in the curve window opens the explore window with its texts, in "Passo passo",
// playing; closing the window stops it.
void TestStepByStep::ctrlROpensTheWindowPlaying()
{
    FormRegistry registry;
    registry.addFactory(QStringLiteral("Form4"), [](FormRegistry &r) {
        return std::make_unique<curve::Form4>(r, [] { return model::Variant::real(1.0); });
    });
    auto &curve = registry.formAs<curve::Form4>(QStringLiteral("Form4"));
    curve.show();
    QTRY_VERIFY(curve.PrimVol.equalsNumber(model::kActivatedMarker));
    addExploreAction(curve, *curve.surface());
    curve.field(11)->setText(QStringLiteral("-7,25"));
    QTest::keySequence(curve.field(10), QKeySequence(Qt::CTRL | Qt::Key_R));
    QPointer<ExploreWindow> window;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *e = qobject_cast<ExploreWindow *>(w); e && e->isVisible())
            window = e;
    }
    QVERIFY(window);
    QCOMPARE(window->field(Field::Beta)->text(), QStringLiteral("-7,25"));
    QVERIFY(window->stepByStep());
    // The tip under the cursor names no dot of the whole run, most of which is not built yet.
    QTRY_VERIFY(window->shownRun());
    QVERIFY(window->readoutScene().runs.empty());
    player::PlayerPanel *panel = window->stepPanel();
    QTRY_VERIFY(panel->playing());
    QTRY_VERIFY(panel->player()->position() > 0);
    window->close();
    QVERIFY(!panel->busy());
    QTRY_VERIFY(!window);
}

QTEST_MAIN(TestStepByStep)
#include "tst_stepbystep.moc"
