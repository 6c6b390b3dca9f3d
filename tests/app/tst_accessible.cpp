// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Program.h"
#include "calibration/CalibrationAccessibility.h"
#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "model/RunSummary.h"
#include "shell/AccessibleParts.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::calibration;
using namespace quorvel::model;

Q_DECLARE_METATYPE(quorvel::model::RunSummary::End)

// What a screen reader hears: every control a user can reach has a name.
class TestAccessible : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void namedControls_data();
    void namedControls();
    void everyFocusableControlIsNamed_data();
    void everyFocusableControlIsNamed();
    void windowsNamedForTheirPurpose_data();
    void windowsNamedForTheirPurpose();
    void documentReadByLineAndWord_data();
    void documentReadByLineAndWord();
    void documentFormulasInWords();
    void documentCaretFollowsKeys_data();
    void documentCaretFollowsKeys();
    void scrollBarBoundsHoldTheStartingFactor();
    void figureVerdict_data();
    void figureVerdict();
    void scrollBarValueIsTheFactor_data();
    void scrollBarValueIsTheFactor();
    void figureSizeInPixels_data();
    void figureSizeInPixels();
    void figureToldInPixels();
    void fieldLabelledByCaption_data();
    void fieldLabelledByCaption();
    void drawingToldAfterRun();
    void runEndTold_data();
    void runEndTold();
    void messageBoxIsModalAlert();

private:
    // The document area's Text interface, when it is exposed as a document.
    QAccessibleTextInterface *documentText();

    FormRegistry m_registry;
};

void TestAccessible::initTestCase()
{
    test::filterPlatformNoise();
    registerForms(m_registry);
    for (const char *name : {"Form1", "Form2", "Form4"}) {
        m_registry.show(QLatin1String(name));
        QVERIFY(QTest::qWaitForWindowActive(m_registry.form(QLatin1String(name)).window()));
    }
}

void TestAccessible::namedControls_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("name");
    QTest::newRow("document") << "Form1"
                              << "OLE1" << QAccessible::Document << "Documento";
    QTest::newRow("AVANTI") << "Form1"
                            << "Command1" << QAccessible::Button << "AVANTI";
    QTest::newRow("scroll bar") << "Form2"
                                << "HScroll1" << QAccessible::ScrollBar
                                << "Fattore di forma dello schermo";
    QTest::newRow("factor") << "Form2"
                            << "Text1" << QAccessible::EditableText << "Fattore di forma";
    QTest::newRow("OK") << "Form2"
                        << "Command1" << QAccessible::Button << "OK - continua";
    QTest::newRow("epsilon") << "Form4"
                             << "Text10" << QAccessible::EditableText << "Valore di Epsilon < 1";
    QTest::newRow("To1") << "Form4"
                         << "Text4" << QAccessible::EditableText << "To1";
    QTest::newRow("ESEGUI") << "Form4"
                            << "Command5" << QAccessible::Button << "ESEGUI";
    QTest::newRow("In Seno") << "Form4"
                             << "Option1" << QAccessible::RadioButton << "In Seno";
}

void TestAccessible::namedControls()
{
    QFETCH(QString, form);
    QFETCH(QString, control);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, name);
    QWidget *w = m_registry.form(form).window()->findChild<QWidget *>(control);
    QVERIFY2(w, qPrintable(control));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    QVERIFY(iface);
    QCOMPARE(iface->role(), role);
    QCOMPARE(iface->text(QAccessible::Name), name);
}

void TestAccessible::everyFocusableControlIsNamed_data()
{
    QTest::addColumn<QString>("form");
    for (const char *name : {"Form1", "Form2", "Form4"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestAccessible::everyFocusableControlIsNamed()
{
    QFETCH(QString, form);
    int checked = 0;
    for (QWidget *w : m_registry.form(form).window()->findChildren<QWidget *>()) {
        if (w->focusPolicy() == Qt::NoFocus && !qobject_cast<QLineEdit *>(w))
            continue;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        QVERIFY(iface);
        QVERIFY2(!iface->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(w->objectName()));
        ++checked;
    }
    QVERIFY(checked >= 2);
}

void TestAccessible::windowsNamedForTheirPurpose_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("name");
    QTest::newRow("introduction") << "Form1"
                                  << "QUORVEL: introduzione";
    QTest::newRow("calibration") << "Form2"
                                 << "QUORVEL: calibrazione dello schermo";
    QTest::newRow("curve") << "Form4"
                           << "QUORVEL: curva per punti";
}

void TestAccessible::windowsNamedForTheirPurpose()
{
    QFETCH(QString, form);
    QFETCH(QString, name);
    QWidget *w = m_registry.form(form).window();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    QCOMPARE(iface->role(), QAccessible::Window);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(w->windowTitle(), form);
}

QAccessibleTextInterface *TestAccessible::documentText()
{
    QWidget *view = m_registry.form(QStringLiteral("Form1"))
                        .window()
                        ->findChild<QWidget *>(QStringLiteral("OLE1"));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view);
    return iface && iface->role() == QAccessible::Document ? iface->textInterface() : nullptr;
}

void TestAccessible::documentReadByLineAndWord_data()
{
    QTest::addColumn<int>("offset"); // -1: the offset just after the previous row's unit
    QTest::addColumn<QAccessible::TextBoundaryType>("boundary");
    QTest::addColumn<QString>("direction"); // at, after, before
    QTest::addColumn<QString>("expected");
    QTest::newRow("first line") << 0 << QAccessible::LineBoundary << "at"
                                << "PROGRAMMA: MIRALDO\n";
    QTest::newRow("second line starts") << 0 << QAccessible::LineBoundary << "after"
                                        << "Questo Programma traccia una curva per punti "
                                           "prendendo in considerazione i parametri più "
                                           "importanti che servono a modificare la curva in "
                                           "modo controllato.\n";
    QTest::newRow("nothing before the first line") << 3 << QAccessible::LineBoundary << "before"
                                                   << "";
    QTest::newRow("first word") << 0 << QAccessible::WordBoundary << "at"
                                << "PROGRAMMA: ";
    QTest::newRow("inside the first word") << 4 << QAccessible::WordBoundary << "at"
                                           << "PROGRAMMA: ";
    QTest::newRow("second word") << 0 << QAccessible::WordBoundary << "after"
                                 << "MIRALDO\n";
    QTest::newRow("third word, next line") << 11 << QAccessible::WordBoundary << "after"
                                           << "Questo ";
    QTest::newRow("word before") << 11 << QAccessible::WordBoundary << "before"
                                 << "PROGRAMMA: ";
    QTest::newRow("sentence") << 25 << QAccessible::SentenceBoundary << "at"
                              << "Questo Programma traccia una curva per punti prendendo in "
                                 "considerazione i parametri più importanti che servono a "
                                 "modificare la curva in modo controllato.\n";
    QTest::newRow("character") << 1 << QAccessible::CharBoundary << "at"
                               << "R";
}

void TestAccessible::documentReadByLineAndWord()
{
    QFETCH(int, offset);
    QFETCH(QAccessible::TextBoundaryType, boundary);
    QFETCH(QString, direction);
    QFETCH(QString, expected);
    QAccessibleTextInterface *text = documentText();
    QVERIFY(text);
    int start = -1;
    int end = -1;
    const QString got = direction == QLatin1String("at")
        ? text->textAtOffset(offset, boundary, &start, &end)
        : direction == QLatin1String("after")
        ? text->textAfterOffset(offset, boundary, &start, &end)
        : text->textBeforeOffset(offset, boundary, &start, &end);
    QCOMPARE(got, expected);
    QCOMPARE(text->text(start, end), expected);
}

void TestAccessible::documentFormulasInWords()
{
    QAccessibleTextInterface *text = documentText();
    QVERIFY(text);
    const QString all = text->text(0, text->characterCount());
    // Every word of the page in order, walking word by word from the start.
    QStringList words;
    for (int offset = 0, start = 0, end = 0; offset < text->characterCount(); offset = end) {
        words << text->textAtOffset(offset, QAccessible::WordBoundary, &start, &end).trimmed();
        QVERIFY(end > offset);
    }
    QCOMPARE(words.join(QLatin1Char(' ')), all.simplified());
    QVERIFY(all.contains(u"la formula usata: X uguale epsilon per INX per coseno di beta per seno "
                         u"di t alfa, più X di n meno 1;\nY uguale epsilon per INY per seno di "
                         u"beta per seno di t alfa, più Y di n meno 1\n"));
    QVERIFY(all.contains(u"\u2022 beta per seno di t alfa, l\u2019angolo che determina"));
    QVERIFY(all.contains(u"\u2022 X di n meno 1 è il punto precedente\n"));
    QVERIFY(all.endsWith(u"Per beta uguale 0 si ha un segmento-retta"));
    QVERIFY(all.contains(u"\u2022 epsilon e il segmento punto\n"));
    QVERIFY(all.contains(u"seno di alfa può essere sostituito con coseno di alfa"));
    for (QChar mark : QStringLiteral("{}_\\^[]"))
        QVERIFY2(!all.contains(mark), qPrintable(QString(mark)));
    QCOMPARE(all.count(QStringLiteral("\u2022 ")), 5);
}

void TestAccessible::documentCaretFollowsKeys_data()
{
    QTest::addColumn<int>("line"); // where the caret starts: the start of this line
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("lineReached"); // the caret at the start of this line
    QTest::addColumn<int>("wordsIn"); // and this many words further
    QTest::newRow("Down") << 0 << int(Qt::Key_Down) << Qt::KeyboardModifiers() << 1 << 0;
    QTest::newRow("Up") << 2 << int(Qt::Key_Up) << Qt::KeyboardModifiers() << 1 << 0;
    QTest::newRow("Up at the top") << 0 << int(Qt::Key_Up) << Qt::KeyboardModifiers() << 0 << 0;
    QTest::newRow("Ctrl+Right") << 1 << int(Qt::Key_Right)
                                << Qt::KeyboardModifiers(Qt::ControlModifier) << 1 << 1;
}

void TestAccessible::documentCaretFollowsKeys()
{
    QFETCH(int, line);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, lineReached);
    QFETCH(int, wordsIn);
    QAccessibleTextInterface *text = documentText();
    QVERIFY(text);
    const QString all = text->text(0, text->characterCount());
    const auto lineStart = [&all](int n) {
        int offset = 0;
        for (int i = 0; i < n; ++i)
            offset = static_cast<int>(all.indexOf(u'\n', offset)) + 1;
        return offset;
    };
    QWidget *view = m_registry.form(QStringLiteral("Form1"))
                        .window()
                        ->findChild<QWidget *>(QStringLiteral("OLE1"));
    text->setCursorPosition(lineStart(line));
    QTest::keyClick(view, static_cast<Qt::Key>(key), modifiers);
    int expected = lineStart(lineReached);
    for (int i = 0; i < wordsIn; ++i)
        expected = static_cast<int>(all.indexOf(u' ', expected)) + 1;
    QCOMPARE(text->cursorPosition(), expected);
}

void TestAccessible::scrollBarBoundsHoldTheStartingFactor()
{
    auto &form2 = static_cast<Form2 &>(m_registry.form(QStringLiteral("Form2")));
    form2.Form_Activate(); // the factor 0,51, which no position of the bar gives
    auto *bar = form2.window()->findChild<QScrollBar *>(QStringLiteral("HScroll1"));
    QAccessibleValueInterface *value = QAccessible::queryAccessibleInterface(bar)->valueInterface();
    QVERIFY(value);
    const double current = value->currentValue().toDouble();
    QCOMPARE(current, 0.51);
    QVERIFY(value->minimumValue().toDouble() <= current);
    QVERIFY(current <= value->maximumValue().toDouble());
}

void TestAccessible::figureVerdict_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("round") << 636 << 636 << "una circonferenza";
    QTest::newRow("4 pixels in 636") << 636 << 632 << "quasi una circonferenza";
    QTest::newRow("wide") << 954 << 942 << "più larga che alta, il fattore va diminuito";
    QTest::newRow("tall") << 636 << 998 << "più alta che larga, il fattore va aumentato";
}

void TestAccessible::figureVerdict()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, verdict);
    QCOMPARE(calibration::figureVerdict({width, height}), verdict);
}

void TestAccessible::scrollBarValueIsTheFactor_data()
{
    QTest::addColumn<double>("set"); // through the value interface
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("0,55") << 0.55 << 2 << "0,55";
    QTest::newRow("between steps, nearest") << 0.605 << 5 << "0,61";
    QTest::newRow("below the range") << 0.0 << 1 << "0,53";
    QTest::newRow("above the range") << 31.0 << 30 << "1,11";
    QTest::newRow("not a number") << qQNaN() << 30 << "1,11";
}

void TestAccessible::scrollBarValueIsTheFactor()
{
    QFETCH(double, set);
    QFETCH(int, position);
    QFETCH(QString, text);
    QWidget *window = m_registry.form(QStringLiteral("Form2")).window();
    auto *bar = window->findChild<QScrollBar *>(QStringLiteral("HScroll1"));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(bar);
    QVERIFY(iface && iface->valueInterface());
    iface->valueInterface()->setCurrentValue(set);
    QCOMPARE(bar->value(), position);
    QCOMPARE(iface->text(QAccessible::Value), text);
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), text);
    QCOMPARE(iface->valueInterface()->currentValue().toDouble(),
             QLocale(QLocale::Italian).toDouble(text));
}

void TestAccessible::figureSizeInPixels_data()
{
    QTest::addColumn<int>("width"); // client area, pixels
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("factor"); // scale height / scale width
    QTest::addColumn<int>("figureWidth");
    QTest::addColumn<int>("figureHeight");
    QTest::newRow("1280x1024 at 0,8: round") << 1280 << 1024 << 0.8 << 636 << 636;
    QTest::newRow("1280x1024 at 0,51: tall") << 1280 << 1024 << 0.51 << 636 << 998;
    QTest::newRow("1920x1080 at 0,57: wide") << 1920 << 1080 << 0.57 << 954 << 942;
    QTest::newRow("no scale yet") << 1280 << 1024 << 0.0 << 0 << 0;
}

void TestAccessible::figureSizeInPixels()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, factor);
    QFETCH(int, figureWidth);
    QFETCH(int, figureHeight);
    const double scaleWidth = 146367.359375;
    const calibration::FigureSize size
        = calibration::figureSize(width, height, scaleWidth, scaleWidth * factor);
    QCOMPARE(size.width, figureWidth);
    QCOMPARE(size.height, figureHeight);
}

void TestAccessible::figureToldInPixels()
{
    auto *surface = m_registry.form(QStringLiteral("Form2")).window();
    auto &form2 = static_cast<Form2 &>(m_registry.form(QStringLiteral("Form2")));
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(surface);
    QAccessibleInterface *figure = window->child(window->childCount() - 1);
    QVERIFY(figure);
    QCOMPARE(figure->role(), QAccessible::Graphic);
    QCOMPARE(figure->text(QAccessible::Name), QStringLiteral("Figura di prova"));
    const calibration::FigureSize size = calibration::figureSize(
        surface->width(), surface->height(), form2.surface()->raster().scaleWidth(),
        form2.surface()->raster().scaleHeight());
    QVERIFY(size.width > 0);
    QVERIFY2(
        figure->text(QAccessible::Description)
            .contains(
                QStringLiteral("larga %1 pixel e alta %2 pixel").arg(size.width).arg(size.height)),
        qPrintable(figure->text(QAccessible::Description)));
    QCOMPARE(figure->rect().size(), QSize(size.width, size.height));
}

void TestAccessible::fieldLabelledByCaption_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("description"); // the start of it
    QTest::newRow("epsilon, no hover text") << "Text10"
                                            << "Label11"
                                            << "";
    QTest::newRow("BETA, its caption's") << "Text11"
                                         << "Label12"
                                         << "Dando a BETA il valore 0";
    QTest::newRow("t, its caption's") << "Text12"
                                      << "Label10"
                                      << "L'angolo ALFA varia da For a To";
    QTest::newRow("For3, its frame's") << "Text7"
                                       << "Label8"
                                       << "L'angolo BETA è segmentato";
    QTest::newRow("INY, its frame's") << "Text2"
                                      << "Label2"
                                      << "Incrementando uno degli ASSI";
}

void TestAccessible::fieldLabelledByCaption()
{
    QFETCH(QString, field);
    QFETCH(QString, caption);
    QFETCH(QString, description);
    QWidget *window = m_registry.form(QStringLiteral("Form4")).window();
    QAccessibleInterface *iface
        = QAccessible::queryAccessibleInterface(window->findChild<QWidget *>(field));
    const auto labels = iface->relations(QAccessible::Label);
    QVERIFY(!labels.isEmpty());
    QCOMPARE(labels.first().first->object(), window->findChild<QLabel *>(caption));
    const QString got = iface->text(QAccessible::Description);
    QVERIFY2(description.isEmpty() ? got.isEmpty() : got.startsWith(description), qPrintable(got));
}

void TestAccessible::drawingToldAfterRun()
{
    auto &form4 = static_cast<Form4 &>(m_registry.form(QStringLiteral("Form4")));
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(form4.window());
    QAccessibleInterface *drawing = window->child(window->childCount() - 1);
    QVERIFY(drawing);
    QCOMPARE(drawing->role(), QAccessible::Graphic);
    QCOMPARE(drawing->parent(), window);
    QCOMPARE(window->indexOfChild(drawing), window->childCount() - 1);

    // That the change is announced shows only on the accessibility bus (tests/a11y): offscreen
    // Qt has no accessibility to send events to.
    test::MessageRecorder recorder;
    form4.Command5_Click();
    QVERIFY2(drawing->text(QAccessible::Description)
                 .startsWith(QLatin1String("Disegnati 181 punti: 181 in ")),
             qPrintable(drawing->text(QAccessible::Description)));
    QVERIFY(
        drawing->text(QAccessible::Description).contains(QLatin1String("Esecuzione completata")));
    QVERIFY(recorder.messages.isEmpty());
}

void TestAccessible::runEndTold_data()
{
    QTest::addColumn<int>("field"); // changed from its designed value
    QTest::addColumn<QString>("text");
    QTest::addColumn<model::RunSummary::End>("end");
    QTest::addColumn<int>("ranges");
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("said"); // part of the description
    using End = model::RunSummary::End;
    QTest::newRow("one range") << 1 << "1" << End::RangesDone << 1 << 181
                               << "Esecuzione completata: 1 intervallo";
    QTest::newRow("two ranges") << 6 << "90" << End::RangesDone << 2 << 181 + 91
                                << "Esecuzione completata: 2 intervalli";
    QTest::newRow("first range 0 to 0") << 4 << "0" << End::RangesDone << 0 << 0
                                        << "Nessun punto disegnato. Esecuzione completata: 0";
    QTest::newRow("out of field") << 10 << "5000" << End::OutOfField << 0 << 0
                                  << "Esecuzione interrotta: fuori campo X11 =5015.";
    QTest::newRow("range refused")
        << 3 << "abc" << End::Refused << 0 << 0 << "non accettato: For o To non numero.";
}

void TestAccessible::runEndTold()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(model::RunSummary::End, end);
    QFETCH(int, ranges);
    QFETCH(int, points);
    QFETCH(QString, said);
    auto &form4 = static_cast<Form4 &>(m_registry.form(QStringLiteral("Form4")));
    const QStringList designed
        = {{}, "1", "1", "0", "180", "0", "0", "0", "0", {}, "0,86", "55", "1"};
    for (int n = 1; n <= 12; ++n) {
        if (form4.field(n))
            form4.field(n)->setText(n == field ? text : designed.at(n));
    }
    test::MessageRecorder recorder;
    form4.Command5_Click();
    QCOMPARE(form4.lastRun().end, end);
    QCOMPARE(form4.lastRun().rangesDone, ranges);
    QCOMPARE(form4.lastRun().points(), points);
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(form4.window());
    const QString description
        = window->child(window->childCount() - 1)->text(QAccessible::Description);
    QVERIFY2(description.contains(said), qPrintable(description));
    // Said at once, not only kept for a screen reader that asks.
    QCOMPARE(lastAnnouncement(form4.window()), description);
}

void TestAccessible::messageBoxIsModalAlert()
{
    // Looks at the real box while it is open, then presses its OK.
    QAccessible::Role role = QAccessible::NoRole;
    bool modal = false;
    QString name;
    QString description;
    QStringList children;
    QTimer looker;
    looker.setInterval(10);
    connect(&looker, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        looker.stop();
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(box);
        role = iface->role();
        modal = iface->state().modal;
        name = iface->text(QAccessible::Name);
        description = iface->text(QAccessible::Description);
        for (int i = 0; i < iface->childCount(); ++i) {
            QAccessibleInterface *child = iface->child(i);
            QCOMPARE(iface->indexOfChild(child), i);
            children << child->text(QAccessible::Name);
        }
        box->button(QMessageBox::Ok)->click();
    });
    looker.start();
    showMessage(QStringLiteral("Non è un numero"), QStringLiteral("Riguarda il campo BETA"));
    QCOMPARE(role, QAccessible::AlertMessage);
    QVERIFY(modal);
    QCOMPARE(name, QStringLiteral("QUORVEL"));
    // The text is read once, from its label; the description names the field.
    QCOMPARE(description, QStringLiteral("Riguarda il campo BETA"));
    // The text and the named group of buttons; no hidden, empty icon.
    QCOMPARE(children,
             QStringList({QStringLiteral("Non è un numero"), QStringLiteral("Pulsanti")}));
}

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
