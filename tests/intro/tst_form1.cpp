// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Program.h"
#include "intro/DocumentView.h"
#include "intro/Form1.h"
#include "shell/FormRegistry.h"
#include "shell/Twips.h"
#include "support/TestSupport.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace quorvel;
using namespace quorvel::intro;
using intro::DocumentLayout;
using intro::DocumentView;

namespace {

QRect twipsRect(const QRect &twips, int dpiX, int dpiY)
{
    return {twipsToPixels(twips.x(), dpiX), twipsToPixels(twips.y(), dpiY),
            twipsToPixels(twips.width(), dpiX), twipsToPixels(twips.height(), dpiY)};
}

// Clearly darker than the white page; a thin stroke at 96 dpi is antialiased to a mid grey.
bool isInk(QRgb pixel)
{
    return qGray(pixel) < 200;
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowAtDesignedSize();
    void controlsAtTwipPositions_data();
    void controlsAtTwipPositions();
    void focusAndKeys_data();
    void focusAndKeys();
    void avantiAgainReusesCalibrationWindow();
    void wholeDocumentVisibleAtNormalSize();
    void paintsWhereTheLayoutSays_data();
    void paintsWhereTheLayoutSays();
    void focusShowsAsALineOnly();

private:
    Form1 &form1() { return m_registry->formAs<Form1>(QStringLiteral("Form1")); }
    test::StubForm &form2() { return m_registry->formAs<test::StubForm>(QStringLiteral("Form2")); }
    DocumentView *view() { return form1().window()->findChild<DocumentView *>("OLE1"); }
    void showForm1();
    std::unique_ptr<FormRegistry> m_registry;
};

void TestForm1::initTestCase()
{
    test::filterPlatformNoise();
    setUpApplication(*qApp);
}

void TestForm1::init()
{
    m_registry = std::make_unique<FormRegistry>();
    m_registry->addFactory("Form1", [](FormRegistry &r) { return std::make_unique<Form1>(r); });
    // Stands in for the calibration window.
    m_registry->addFactory("Form2", [](FormRegistry &r) {
        return std::make_unique<test::StubForm>(r, QStringLiteral("Form2"));
    });
}

void TestForm1::cleanup()
{
    m_registry.reset();
}

void TestForm1::showForm1()
{
    m_registry->show(QStringLiteral("Form1"));
    QVERIFY(QTest::qWaitForWindowActive(form1().window()));
}

void TestForm1::windowAtDesignedSize()
{
    showForm1();
    QWidget *window = form1().window();
    QCOMPARE(window->windowTitle(), QStringLiteral("Form1"));
    QVERIFY(!window->isMaximized());
    QVERIFY(!window->isMinimized());
    QCOMPARE(window->size(),
             QSize(twipsToPixels(11670, window->logicalDpiX()),
                   twipsToPixels(7305, window->logicalDpiY())));
    // Sizable: nothing fixes its size.
    QCOMPARE(window->minimumSize(), QSize(0, 0));
    QCOMPARE(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QVERIFY(!m_registry->exists(QStringLiteral("Form2")));
}

void TestForm1::controlsAtTwipPositions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("OLE1") << "OLE1" << QRect(570, 330, 10815, 5895);
    QTest::newRow("Command1") << "Command1" << QRect(4440, 6240, 2895, 855);
}

void TestForm1::controlsAtTwipPositions()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    showForm1();
    QWidget *window = form1().window();
    auto *control = window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), window);
    const QRect expected = twipsRect(twips, control->logicalDpiX(), control->logicalDpiY());
    QCOMPARE(control->geometry(), expected);
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->text(), QStringLiteral("AVANTI"));
        QVERIFY(!button->isDefault());
    } else {
        QVERIFY(qobject_cast<DocumentView *>(control));
        QVERIFY(control->findChildren<QScrollBar *>().isEmpty());
        QVERIFY(!qobject_cast<QAbstractScrollArea *>(control));
    }
    // Resizing the window moves nothing.
    window->resize(300, 200);
    QCOMPARE(control->geometry(), expected);
}

void TestForm1::focusAndKeys_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("opensCalibration");
    QTest::newRow("Enter on AVANTI") << 1 << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter on AVANTI") << 1 << int(Qt::Key_Enter) << true;
    QTest::newRow("Space on AVANTI") << 1 << int(Qt::Key_Space) << true;
    QTest::newRow("Esc on AVANTI") << 1 << int(Qt::Key_Escape) << false;
    QTest::newRow("Enter on the document") << 0 << int(Qt::Key_Return) << false;
    QTest::newRow("Esc on the document") << 0 << int(Qt::Key_Escape) << false;
    QTest::newRow("Tab twice, back to the document") << 2 << int(Qt::Key_Return) << false;
}

void TestForm1::focusAndKeys()
{
    QFETCH(int, tabs);
    QFETCH(int, key);
    QFETCH(bool, opensCalibration);
    showForm1();
    QWidget *window = form1().window();
    auto *button = window->findChild<QPushButton *>("Command1");
    QTRY_COMPARE(QApplication::focusWidget(), view());
    for (int i = 0; i < tabs; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), tabs % 2 ? static_cast<QWidget *>(button) : view());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(m_registry->exists(QStringLiteral("Form2")), opensCalibration);
    if (opensCalibration) {
        QVERIFY(form2().isLoaded());
        QVERIFY(form2().window()->isVisible());
        QCOMPARE(form2().windowsBuilt, 1);
    }
    // Whatever the key, the introduction window stays open.
    QVERIFY(form1().isLoaded());
    QVERIFY(window->isVisible());
}

void TestForm1::avantiAgainReusesCalibrationWindow()
{
    showForm1();
    auto *button = form1().window()->findChild<QPushButton *>("Command1");
    button->click();
    QVERIFY(QTest::qWaitForWindowActive(form2().window()));
    Form *first = &m_registry->form(QStringLiteral("Form2"));
    QWidget *firstWindow = form2().window();

    form1().window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form1().window()));
    button->click();
    QVERIFY(QTest::qWaitForWindowActive(form2().window()));
    QCOMPARE(&m_registry->form(QStringLiteral("Form2")), first);
    QCOMPARE(form2().window(), firstWindow);
    QCOMPARE(form2().windowsBuilt, 1);
}

void TestForm1::wholeDocumentVisibleAtNormalSize()
{
    showForm1();
    DocumentView *area = view();
    // The area lies inside the window at its normal size.
    QVERIFY(form1().window()->rect().contains(area->geometry()));
    const QTransform toWidget = area->pageToWidget();
    QCOMPARE(toWidget.m11(), area->logicalDpiX() / intro::kTwipsPerInch);
    const QRectF visible(area->rect());
    int lines = 0;
    for (const DocumentLayout::Block &block : area->documentLayout().blocks()) {
        for (const DocumentLayout::Line &line : block.lines) {
            QVERIFY2(visible.contains(toWidget.mapRect(line.box)), qPrintable(block.readingText));
            ++lines;
        }
    }
    QCOMPARE(lines, 16);
    QVERIFY(area->documentLayout().readingText().endsWith(
        QStringLiteral("Per β=0 si ha un segmento-retta")));
}

void TestForm1::paintsWhereTheLayoutSays_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("scale 1") << 1.0;
    QTest::newRow("scale 2") << 2.0;
}

void TestForm1::paintsWhereTheLayoutSays()
{
    QFETCH(qreal, ratio);
    showForm1();
    DocumentView *area = view();
    // Off the focus line and the frame, so only the page shows.
    area->clearFocus();
    QImage image(area->size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    area->render(&image);

    const QTransform toDevice = area->pageToWidget() * QTransform::fromScale(ratio, ratio);
    std::vector<QRect> marks;
    QStringList names;
    for (const DocumentLayout::Block &block : area->documentLayout().blocks()) {
        for (const intro::PlacedText &piece : block.texts) {
            if (!piece.text.trimmed().isEmpty()) {
                marks.push_back(toDevice.mapRect(piece.ink).toAlignedRect());
                names << piece.text;
            }
        }
        for (const DocumentLayout::PlacedFormula &formula : block.formulas) {
            if (!formula.brace().isEmpty()) {
                marks.push_back(toDevice.mapRect(formula.braceBox()).toAlignedRect());
                names << QStringLiteral("brace");
            }
        }
    }
    // Every mark of the layout is inked...
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const QRect &mark = marks[i];
        int ink = 0;
        for (int y = mark.top(); y <= mark.bottom(); ++y)
            for (int x = mark.left(); x <= mark.right(); ++x)
                ink += isInk(image.pixel(x, y)) ? 1 : 0;
        QVERIFY2(ink > 0, qPrintable(names.at(int(i))));
    }
    // ...and nothing is inked elsewhere on the page, inside the frame.
    const int frame = int(std::ceil(2 * ratio));
    for (int y = frame; y < image.height() - frame; ++y) {
        for (int x = frame; x < image.width() - frame; ++x) {
            if (!isInk(image.pixel(x, y)))
                continue;
            const QPoint p(x, y);
            const bool expected = std::any_of(marks.begin(), marks.end(), [&](const QRect &r) {
                return r.adjusted(-1, -1, 1, 1).contains(p);
            });
            QVERIFY2(expected, qPrintable(QStringLiteral("stray ink at %1,%2").arg(x).arg(y)));
        }
    }
}

void TestForm1::focusShowsAsALineOnly()
{
    showForm1();
    DocumentView *area = view();
    // Away and back by keyboard: styles draw their focus frames after a key has moved the focus.
    QTest::keyClick(area, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTRY_VERIFY(area->hasFocus());
    const QImage focused = area->grab().toImage();
    area->clearFocus();
    const QImage plain = area->grab().toImage();
    // The focus changes only a line near the edge; the page inside stays as it is.
    const QRect inside = QRect(QPoint(0, 0), plain.size()).adjusted(5, 5, -5, -5);
    int changed = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            if (focused.pixel(x, y) == plain.pixel(x, y))
                continue;
            QVERIFY2(!inside.contains(x, y), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            ++changed;
        }
    }
    QVERIFY(changed > 0);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
