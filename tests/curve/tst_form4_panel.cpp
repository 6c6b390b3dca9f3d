// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "curve/Form4.h"
#include "shell/FormRegistry.h"
#include "shell/RuntimeError.h"
#include "shell/Twips.h"
#include "support/TestSupport.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;

// The curve window's panel as the user meets it: controls, texts, places, fonts, focus.
class TestForm4Panel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void controlsAtDesignedPlaces_data();
    void controlsAtDesignedPlaces();
    void hoverTexts_data();
    void hoverTexts();
    void fontsAndColours();
    void focusOrder_data();
    void focusOrder();
    void enterPressesEsciAndEscapeDoesNothing();
    void optionClicksDrawNothing();
    void clickedOptionTakesTheFocus();
    void resizeMovesNoControl();
    void clearingLeavesControlsAlone();
    void accessibleNames_data();
    void accessibleNames();

private:
    Form4 &form() { return m_registry->formAs<Form4>(QStringLiteral("Form4")); }
    std::unique_ptr<FormRegistry> m_registry;
};

void TestForm4Panel::initTestCase()
{
    test::filterPlatformNoise();
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPointSize(8);
    QApplication::setFont(dialogFont);
}

void TestForm4Panel::init()
{
    m_registry = std::make_unique<FormRegistry>();
    m_registry->addFactory(QStringLiteral("Form4"), [](FormRegistry &r) {
        return std::make_unique<Form4>(r, [] { return Variant::real(0.51); });
    });
    form().show();
    QVERIFY(QTest::qWaitForWindowActive(form().window()));
}

void TestForm4Panel::cleanup()
{
    m_registry.reset();
}

void TestForm4Panel::controlsAtDesignedPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");

    auto row = [](const char *name, const char *container, QRect twips, const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(container) << twips
                            << text;
    };
    row("Frame4", "", {360, 120, 3255, 2175}, "Impostazione del segmento-punto");
    row("Frame3", "", {360, 2280, 3135, 2415}, "L' angolo ALFA varia da........");
    row("Frame1", "", {3720, 240, 2055, 1455}, "Incremento - decremento");
    row("Frame2", "", {3840, 1800, 1575, 1095}, "Incremento angolo");
    row("Command5", "", {3720, 3120, 1695, 375}, "ESEGUI");
    row("Command1", "", {3720, 3600, 1695, 495}, "Cancella ed esegui");
    row("Command3", "", {240, 5640, 1695, 615}, "ESCI");
    row("Label11", "Frame4", {120, 240, 2415, 375}, "Valore  di Epsilon < 1");
    row("Text10", "Frame4", {2520, 240, 615, 375}, "0,86");
    row("Label12", "Frame4", {120, 840, 2415, 495}, "Angolo BETA del primo  Epsilon con l'asse X");
    row("Text11", "Frame4", {2520, 840, 615, 375}, "55");
    row("Label10", "Frame4", {120, 1560, 1935, 375}, "Moltiplicatore (t) dell'  angolo ALFA");
    row("Text12", "Frame4", {2520, 1560, 615, 375}, "1");
    row("Label3", "Frame3", {120, 360, 615, 255}, "For1");
    row("Text3", "Frame3", {960, 360, 495, 285}, "0");
    row("Label4", "Frame3", {1800, 360, 495, 255}, "To1 ");
    row("Text4", "Frame3", {2520, 360, 495, 285}, "180");
    row("Label5", "Frame3", {120, 840, 495, 255}, "For2");
    row("Text5", "Frame3", {960, 840, 495, 285}, "0");
    row("Label6", "Frame3", {1560, 840, 735, 255}, "To2");
    row("Text6", "Frame3", {2520, 840, 495, 285}, "0");
    row("Label8", "Frame3", {120, 1320, 615, 255}, "For3");
    row("Text7", "Frame3", {960, 1320, 495, 285}, "0");
    row("Label9", "Frame3", {1560, 1320, 615, 255}, "To3");
    row("Text8", "Frame3", {2520, 1320, 495, 285}, "0");
    row("Label7", "Frame3", {120, 1800, 2895, 495},
        "      In sequenza e anche negativi.        For=0 con To=0 termina la sequenza");
    row("Label1", "Frame1", {120, 480, 1095, 255}, "sull' Asse  X");
    row("Text1", "Frame1", {1320, 360, 495, 405}, "1");
    row("Label2", "Frame1", {120, 960, 1095, 375}, "sull' Asse Y");
    row("Text2", "Frame1", {1320, 840, 495, 405}, "1");
    row("Option1", "Frame2", {120, 360, 1335, 255}, "In Seno");
    row("Option2", "Frame2", {120, 600, 1335, 255}, "In Coseno");
}

void TestForm4Panel::controlsAtDesignedPlaces()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(QString, text);

    QWidget *window = form().window();
    auto *w = window->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), container.isEmpty() ? QString() : container);
    if (container.isEmpty())
        QCOMPARE(w->parentWidget(), window);
    const int dpi = w->logicalDpiX();
    QCOMPARE(w->geometry(),
             QRect(twipsToPixels(twips.x(), dpi), twipsToPixels(twips.y(), dpi),
                   twipsToPixels(twips.width(), dpi), twipsToPixels(twips.height(), dpi)));
    QString actual;
    if (auto *box = qobject_cast<QGroupBox *>(w))
        actual = box->title();
    else if (auto *label = qobject_cast<QLabel *>(w))
        actual = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        actual = button->text();
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        actual = edit->text();
    QCOMPARE(actual, text);
    QVERIFY(w->isVisible());
}

void TestForm4Panel::hoverTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tip");
    QTest::newRow("ESEGUI") << "Command5"
                            << "Fare click più volte per cambiare il colore.";
    QTest::newRow("Label12") << "Label12"
                             << "Dando a BETA il valore 0 si ottiene il segmento per punti";
    QTest::newRow("Label10") << "Label10"
                             << "L'angolo ALFA varia da For a To e puo essere moltiplicato per "
                                "t  (es. BETA * Sin (t ALFA))";
    QTest::newRow("Frame3") << "Frame3"
                            << "L'angolo BETA è segmentato tramite il seno o coseno di ALFA che "
                               "lo incrementa dal valore For al valore To  (es.  BETA * Sin ALFA)";
    QTest::newRow("Frame1")
        << "Frame1"
        << "Incrementando uno degli ASSI si ottengono curve più convesse o strette.";
    QTest::newRow("Frame2") << "Frame2"
                            << "La figura può essere variata sostituendo   BETA * Sin(t ALFA)  "
                               "con  BETA * Cos(t ALFA)";
    QTest::newRow("no tip on Text10") << "Text10"
                                      << "";
}

void TestForm4Panel::hoverTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, tip);
    auto *w = form().window()->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->toolTip(), tip);
}

void TestForm4Panel::fontsAndColours()
{
    QWidget *window = form().window();
    const auto *label11 = window->findChild<QLabel *>(QStringLiteral("Label11"));
    QCOMPARE(label11->font().pointSize(), 12);
    for (const char *name : {"Label12", "Label1", "Text10", "Command5", "Option1", "Frame4"})
        QCOMPARE(window->findChild<QWidget *>(QLatin1String(name))->font().pointSize(), 8);

    // Frame1's caption in the highlighted-text colour; the labels inside in the usual one.
    const auto *frame1 = window->findChild<QGroupBox *>(QStringLiteral("Frame1"));
    QCOMPARE(frame1->palette().color(QPalette::WindowText),
             QApplication::palette().color(QPalette::HighlightedText));
    const auto *label1 = window->findChild<QLabel *>(QStringLiteral("Label1"));
    QCOMPARE(label1->palette().color(QPalette::WindowText),
             QApplication::palette().color(QPalette::WindowText));
    for (int n : {1, 2, 3, 10, 12})
        QCOMPARE(form().field(n)->palette().color(QPalette::Base), QColor(Qt::white));

    // The frames and buttons hide the drawing behind them.
    for (const char *name : {"Frame1", "Frame2", "Frame3", "Frame4"})
        QVERIFY(window->findChild<QWidget *>(QLatin1String(name))->autoFillBackground());
    QVERIFY(form().Option1()->isChecked());
    QVERIFY(!form().Option2()->isChecked());
}

void TestForm4Panel::focusOrder_data()
{
    QTest::addColumn<bool>("cosine");
    QTest::addColumn<QStringList>("order");
    const QStringList rest = {"Text1", "Text2",    "Text3",  "Text4",  "Text5",  "Text6",   "Text7",
                              "Text8", "Command5", "Text10", "Text11", "Text12", "Command1"};
    QTest::newRow("In Seno selected") << false << QStringList {"Command3", "Option1"} + rest;
    QTest::newRow("In Coseno selected") << true << QStringList {"Command3", "Option2"} + rest;
}

void TestForm4Panel::focusOrder()
{
    QFETCH(bool, cosine);
    QFETCH(QStringList, order);
    if (cosine)
        form().Option2()->click();
    QWidget *window = form().window();
    form().Command3()->setFocus();
    QStringList seen;
    for (qsizetype i = 0; i < order.size(); ++i) {
        seen << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(seen, order);
    // Round again to the first stop; Shift+Tab goes back.
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command1"));
    Q_UNUSED(window);
}

void TestForm4Panel::enterPressesEsciAndEscapeDoesNothing()
{
    int ended = 0;
    const ScopedEndProgramHook endHook([&ended] { ++ended; });
    // A fresh window holds the focus on "ESCI".
    QCOMPARE(QApplication::focusWidget(), form().Command3());
    QTest::keyClick(form().window(), Qt::Key_Escape);
    QCOMPARE(ended, 0);
    // Enter in a field presses no button: there is no default button.
    int clicks = 0;
    for (QPushButton *b : {form().Command1(), form().Command3(), form().Command5()})
        connect(b, &QPushButton::clicked, this, [&clicks] { ++clicks; });
    form().field(10)->setFocus();
    QTest::keyClick(form().field(10), Qt::Key_Return);
    QTest::keyClick(form().field(10), Qt::Key_Escape);
    QCOMPARE(clicks, 0);
    form().Command3()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(ended, 1);
    QCOMPARE(clicks, 1);
}

void TestForm4Panel::optionClicksDrawNothing()
{
    test::RecordingObserver rec;
    const ScopedSurfaceObserver watch(*form().surface(), &rec);
    const Variant before = form().Miocolor;
    QTest::mouseClick(form().Option2(), Qt::LeftButton);
    QVERIFY(form().Option2()->isChecked());
    QVERIFY(!form().Option1()->isChecked());
    QTest::mouseClick(form().Option1(), Qt::LeftButton);
    QVERIFY(form().Option1()->isChecked());
    QVERIFY(rec.ops.empty());
    QCOMPARE(form().Miocolor, before);
}

void TestForm4Panel::clickedOptionTakesTheFocus()
{
    // After ESEGUI a click on an option: Space then acts on the option, not on ESEGUI again.
    form().Command5()->setFocus();
    QTest::mouseClick(form().Option2(), Qt::LeftButton);
    QCOMPARE(form().window()->focusWidget(), form().Option2());
    QTest::mouseClick(form().Option1(), Qt::LeftButton);
    QCOMPARE(form().window()->focusWidget(), form().Option1());
}

void TestForm4Panel::resizeMovesNoControl()
{
    QWidget *window = form().window();
    const QList<QWidget *> controls = window->findChildren<QWidget *>();
    QList<QRect> before;
    for (const QWidget *c : controls)
        before << c->geometry();
    window->showNormal();
    window->resize(400, 300);
    QCoreApplication::processEvents();
    window->resize(1200, 900);
    QCoreApplication::processEvents();
    for (qsizetype i = 0; i < controls.size(); ++i)
        QCOMPARE(controls[i]->geometry(), before[i]);
}

void TestForm4Panel::clearingLeavesControlsAlone()
{
    // A thick black line right across the panel stays hidden behind it.
    DrawingSurface &s = *form().surface();
    s.raster().setDrawWidth(20);
    s.raster().Line(0, 0, s.raster().scaleWidth(), s.raster().scaleHeight() / 2, 0);
    const QImage before = form().window()->grab().toImage();
    const QRect frame4 = form().window()->findChild<QWidget *>("Frame4")->geometry();
    for (int x = frame4.left() + 4; x < frame4.right() - 4; x += 7)
        for (int y = frame4.top() + 20; y < frame4.bottom() - 4; y += 7)
            QVERIFY(before.pixelColor(QPoint(x, y) * before.devicePixelRatio())
                    != QColor(Qt::black));
    s.raster().Cls();
    form().Command1_Click();
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12})
        QVERIFY(form().field(n)->isVisible());
    QCOMPARE(form().field(10)->text(), QStringLiteral("0,86"));
}

void TestForm4Panel::accessibleNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("accessible");
    QTest::newRow("Text10") << "Text10"
                            << "Valore di Epsilon < 1";
    QTest::newRow("Text11") << "Text11"
                            << "Angolo BETA del primo Epsilon con l'asse X";
    QTest::newRow("Text12") << "Text12"
                            << "Moltiplicatore (t) dell' angolo ALFA";
    QTest::newRow("Text1") << "Text1"
                           << "sull' Asse X";
    QTest::newRow("Text2") << "Text2"
                           << "sull' Asse Y";
    QTest::newRow("Text3") << "Text3"
                           << "For1";
    QTest::newRow("Text4") << "Text4"
                           << "To1";
    QTest::newRow("Text8") << "Text8"
                           << "To3";
    QTest::newRow("ESEGUI") << "Command5"
                            << "ESEGUI";
    QTest::newRow("Cancella") << "Command1"
                              << "Cancella ed esegui";
    QTest::newRow("In Coseno") << "Option2"
                               << "In Coseno";
}

void TestForm4Panel::accessibleNames()
{
    QFETCH(QString, name);
    QFETCH(QString, accessible);
    auto *w = form().window()->findChild<QWidget *>(name);
    QVERIFY(w);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), accessible);
}

QTEST_MAIN(TestForm4Panel)
#include "tst_form4_panel.moc"
