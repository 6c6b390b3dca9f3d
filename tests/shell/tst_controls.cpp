// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/Controls.h"
#include "shell/MessageBox.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QToolTip>

using namespace quorvel;

// The program's own controls: frames, compact text fields, the message box's size.
class TestControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void frameHoverTextOnlyOverFrame_data();
    void frameHoverTextOnlyOverFrame();
    void frameCaptionSetIntoBorder();
    void compactFieldShowsWholeNumber_data();
    void compactFieldShowsWholeNumber();
    void compactFieldShowsItsBeginningWithoutFocus_data();
    void compactFieldShowsItsBeginningWithoutFocus();
    void scrollBarShowsFocus();
    void messageBoxWideEnoughForTitle();
    void messageBoxOkHasNoPictogram();
};

void TestControls::initTestCase()
{
    test::filterPlatformNoise();
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPointSize(8);
    QApplication::setFont(dialogFont);
}

void TestControls::cleanup()
{
    QToolTip::hideText();
}

void TestControls::frameHoverTextOnlyOverFrame_data()
{
    QTest::addColumn<QString>("over"); // where the mouse rests
    QTest::addColumn<QString>("shown"); // the hover text shown there
    QTest::newRow("the frame's own area") << "frame"
                                          << "del riquadro";
    QTest::newRow("a field inside") << "field"
                                    << "";
    QTest::newRow("a label inside") << "label"
                                    << "";
    QTest::newRow("a label inside with its own text") << "labelWithText"
                                                      << "della scritta";
}

void TestControls::frameHoverTextOnlyOverFrame()
{
    QFETCH(QString, over);
    QFETCH(QString, shown);
    QWidget window;
    window.resize(400, 300);
    auto *frame = new Frame(QStringLiteral("Riquadro"), &window);
    frame->setGeometry(10, 10, 300, 200);
    frame->setToolTip(QStringLiteral("del riquadro"));
    auto *field = new QLineEdit(frame);
    field->setGeometry(20, 30, 60, 20);
    auto *label = new QLabel(QStringLiteral("For1"), frame);
    label->setGeometry(20, 60, 60, 20);
    auto *labelWithText = new QLabel(QStringLiteral("To1"), frame);
    labelWithText->setGeometry(20, 90, 60, 20);
    labelWithText->setToolTip(QStringLiteral("della scritta"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QWidget *target = frame;
    if (over == "field")
        target = field;
    else if (over == "label")
        target = label;
    else if (over == "labelWithText")
        target = labelWithText;
    const QPoint pos = target == frame ? QPoint(200, 150) : QPoint(5, 5);
    // The frame's text may be showing already, from a moment before over the frame itself.
    QToolTip::showText(frame->mapToGlobal(QPoint(200, 150)), frame->toolTip(), frame);
    QHelpEvent help(QEvent::ToolTip, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &help);
    QTRY_COMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), shown);
}

void TestControls::frameCaptionSetIntoBorder()
{
    Frame frame(QStringLiteral("Impostazione del segmento-punto"));
    frame.resize(220, 140);
    // The caption drawn in the face colour: only the border line could show in its place.
    QPalette palette = frame.palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Window));
    frame.setPalette(palette);
    frame.setAutoFillBackground(true);
    const QImage image = frame.grab().toImage();
    const QRgb face = palette.color(QPalette::Window).rgb();
    const QRect caption = frame.captionRect();
    const int line = frame.borderTop();
    // The line runs through the caption's middle, the rows below the caption stay free.
    QVERIFY(line > caption.top() && line < caption.bottom());
    QVERIFY(image.pixel(caption.right() + 10, line) != face);
    QVERIFY(image.pixel(2, line) != face);
    for (int x = caption.left(); x <= caption.right(); ++x)
        QCOMPARE(image.pixel(x, line), face);
    for (int x = 3; x < frame.width() - 3; ++x)
        QCOMPARE(image.pixel(x, caption.bottom() + 2), face);
}

void TestControls::compactFieldShowsWholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("typed");
    for (const char *text : {"-32768", "32767", "-22222", "-1", "0", "10000"}) {
        QTest::addRow("%s set", text) << QString::fromLatin1(text) << false;
        QTest::addRow("%s typed", text) << QString::fromLatin1(text) << true;
    }
}

void TestControls::compactFieldShowsWholeNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, typed);
    QWidget window;
    // The range fields' designed rectangle: 495 x 285 twips, 33 x 19 pixels at 96 dpi.
    auto *field = new CompactTextBox(QString(), QStringLiteral("-32768"), &window);
    field->setGeometry(0, 0, 33, 19);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    field->setFocus();
    if (typed)
        QTest::keyClicks(field, text);
    else
        field->setText(text);
    QCOMPARE(field->text(), text);
    // With the cursor after the last character, the first one is still at the left edge: the
    // text has not scrolled.
    field->end(false);
    QCOMPARE(field->cursorPositionAt(QPoint(3, 9)), 0);
    field->home(false);
    QCOMPARE(field->cursorPositionAt(QPoint(field->width() - 2, 9)), text.size());
}

void TestControls::compactFieldShowsItsBeginningWithoutFocus_data()
{
    QTest::addColumn<bool>("typed"); // typed in the field, or set while another control had it
    QTest::newRow("typed, then the focus leaves") << true;
    QTest::newRow("set by the program") << false;
}

void TestControls::compactFieldShowsItsBeginningWithoutFocus()
{
    QFETCH(bool, typed);
    QWidget window;
    auto *field = new CompactTextBox(QStringLiteral("0"), QStringLiteral("-32768"), &window);
    auto *other = new QLineEdit(&window);
    field->setGeometry(0, 0, 33, 19);
    other->setGeometry(0, 30, 100, 20);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QString text = QStringLiteral("0,000000000001");
    if (typed) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        // While typing, the end shows (the field scrolls its text when it paints).
        field->repaint();
        QVERIFY(field->cursorPositionAt(QPoint(3, 9)) > 0);
        other->setFocus();
        QTRY_VERIFY(!field->hasFocus());
    } else {
        other->setFocus();
        field->setText(text);
    }
    QCOMPARE(field->text(), text);
    field->repaint();
    QCOMPARE(field->cursorPositionAt(QPoint(3, 9)), 0);
}

void TestControls::scrollBarShowsFocus()
{
    QWidget window;
    auto *bar = new FocusScrollBar(Qt::Horizontal, &window);
    auto *other = new QLineEdit(&window);
    bar->setGeometry(10, 10, 200, 17);
    other->setGeometry(10, 40, 100, 20);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    const QImage without = bar->grab().toImage();
    QTest::keyClick(other, Qt::Key_Backtab);
    QTRY_VERIFY(bar->hasFocus());
    QVERIFY(bar->grab().toImage() != without);
}

void TestControls::messageBoxOkHasNoPictogram()
{
    bool iconSeen = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&iconSeen] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            iconSeen = !box->button(QMessageBox::Ok)->icon().isNull();
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    showMessage(QStringLiteral("Non è un numero"));
    QVERIFY(!iconSeen);
}

void TestControls::messageBoxWideEnoughForTitle()
{
    int width = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&width] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            width = box->width();
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    showMessage(QStringLiteral("Non è ammesso 0 "));
    // The title in a bold title-bar font beside four buttons of at least 16 pixels.
    QFont bold = QApplication::font();
    bold.setBold(true);
    bold.setPointSizeF(10);
    QVERIFY2(width >= QFontMetrics(bold).horizontalAdvance(QStringLiteral("QUORVEL")) + 4 * 16,
             qPrintable(QString::number(width)));
    QVERIFY(width >= messageBoxMinimumWidth(QApplication::font()));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
