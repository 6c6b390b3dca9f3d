// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Guide.h"
#include "app/Program.h"
#include "calibration/Form2.h"
#include "shell/Form.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "shell/RuntimeError.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

using namespace quorvel;
using namespace quorvel::calibration;
using namespace quorvel::model;

class TestSequence : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startShowsOnlyIntroduction();
    void avantiShowsCalibrationMaximised();
    void avantiAgainReactivatesSameWindow();
    void okRefusedKeepsEverything_data();
    void okRefusedKeepsEverything();
    void okShowsCurveWindow();
    void clickingBetweenWindowsActivates();
    void realMessageBoxDoesNotActivate();
    void closedCalibrationReloads();
    void curveWindowShownAgainIsNotReloaded();
    void processEnds_data();
    void processEnds();
    void programIconOnEveryWindow();
    void f1OpensGuideWithoutActivation();
    void f1OverMessageBoxOpensNothing();

private:
    Form &form(const char *name) { return m_registry->form(QString::fromLatin1(name)); }
    Form2 &form2() { return m_registry->formAs<Form2>(QStringLiteral("Form2")); }
    void click(const char *formName, const char *control);
    void activate(const char *formName);
    void reachCurveWindow();
    std::unique_ptr<FormRegistry> m_registry;
    std::unique_ptr<QSignalSpy> m_activations;
    std::unique_ptr<test::MessageRecorder> m_messages;
    QStringList activatedNames() const;
};

void TestSequence::initTestCase()
{
    test::filterPlatformNoise();
    setUpApplication(*qApp);
}

void TestSequence::init()
{
    m_registry = std::make_unique<FormRegistry>();
    registerForms(*m_registry);
    m_activations = std::make_unique<QSignalSpy>(m_registry.get(), &FormRegistry::formActivated);
    m_messages = std::make_unique<test::MessageRecorder>();
    m_registry->show(QStringLiteral("Form1"));
    QVERIFY(QTest::qWaitForWindowActive(form("Form1").window()));
}

void TestSequence::cleanup()
{
    m_messages.reset();
    m_activations.reset();
    m_registry.reset();
}

QStringList TestSequence::activatedNames() const
{
    // The forms whose activation handler ran (the introduction window has none).
    QStringList names;
    for (const QList<QVariant> &args : *m_activations) {
        const QString name = args.at(0).value<Form *>()->name();
        if (name != QLatin1String("Form1"))
            names << name;
    }
    return names;
}

void TestSequence::click(const char *formName, const char *control)
{
    auto *b = form(formName).window()->findChild<QPushButton *>(QString::fromLatin1(control));
    QVERIFY(b);
    b->click();
}

void TestSequence::activate(const char *formName)
{
    QWidget *w = form(formName).window();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
}

void TestSequence::reachCurveWindow()
{
    click("Form1", "Command1");
    QTRY_VERIFY(form2().surface() && QApplication::activeWindow() == form2().window());
    QTRY_COMPARE(activatedNames(), QStringList {"Form2"});
    form2().HScroll1()->setValue(2);
    click("Form2", "Command1");
    QTRY_COMPARE(QApplication::activeWindow(), form("Form4").window());
    QTRY_COMPARE(activatedNames(), (QStringList {"Form2", "Form4"}));
}

void TestSequence::startShowsOnlyIntroduction()
{
    QVERIFY(m_registry->exists("Form1"));
    QVERIFY(!m_registry->exists("Form2"));
    QVERIFY(!m_registry->exists("Form4"));
    QWidget *w = form("Form1").window();
    QCOMPARE(w->windowTitle(), QStringLiteral("Form1"));
    QVERIFY(!w->isMaximized());
    QCOMPARE(QApplication::activeWindow(), w);
    const test::QueueMark handled;
    QTRY_VERIFY(handled.reached());
    QVERIFY(activatedNames().isEmpty());
}

void TestSequence::avantiShowsCalibrationMaximised()
{
    click("Form1", "Command1");
    QVERIFY(m_registry->exists("Form2"));
    QWidget *w = form2().window();
    QVERIFY(w);
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QTRY_COMPARE(QApplication::activeWindow(), w);
    QTRY_COMPARE(activatedNames(), QStringList {"Form2"});
    QCOMPARE(form2().Incr.toDouble(), 0.51);
    QCOMPARE(form2().Text1()->text(), QStringLiteral("0,51"));
    QVERIFY(form("Form1").window()->isVisible());
    QVERIFY(!m_registry->exists("Form4"));
}

void TestSequence::avantiAgainReactivatesSameWindow()
{
    click("Form1", "Command1");
    QTRY_COMPARE(activatedNames(), QStringList {"Form2"});
    QWidget *first = form2().window();
    form2().HScroll1()->setValue(4);
    QCOMPARE(form2().Text1()->text(), QStringLiteral("0,59"));
    activate("Form1");
    click("Form1", "Command1");
    QTRY_COMPARE(activatedNames(), (QStringList {"Form2", "Form2"}));
    QCOMPARE(form2().window(), first);
    QCOMPARE(form2().HScroll1()->value(), 4);
    QCOMPARE(form2().Incr.toDouble(), 0.51);
    QCOMPARE(form2().Text1()->text(), QStringLiteral("0,51"));
}

void TestSequence::okRefusedKeepsEverything_data()
{
    QTest::addColumn<int>("position"); // 0: not moved since the activation
    QTest::newRow("0.51") << 0;
    QTest::newRow("0.53") << 1;
}

void TestSequence::okRefusedKeepsEverything()
{
    QFETCH(int, position);
    click("Form1", "Command1");
    QTRY_COMPARE(activatedNames(), QStringList {"Form2"});
    if (position > 0) {
        form2().HScroll1()->setValue(position + 1);
        form2().HScroll1()->setValue(position);
    }
    const QImage before = form2().surface()->raster().drawing();
    click("Form2", "Command1");
    QCOMPARE(m_messages->messages, QStringList {"Impostare la risoluzione SCHERMO"});
    QVERIFY(!m_registry->exists("Form4"));
    QCOMPARE(form2().surface()->raster().drawing(), before);
    const test::QueueMark handled;
    QTRY_VERIFY(handled.reached());
    QCOMPARE(activatedNames(), QStringList {"Form2"});
}

void TestSequence::okShowsCurveWindow()
{
    reachCurveWindow();
    QWidget *w = form("Form4").window();
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QCOMPARE(w->windowTitle(), QStringLiteral("Form4"));
    QVERIFY(form("Form1").window()->isVisible());
    QVERIFY(form2().window()->isVisible());
    QVERIFY(m_messages->messages.isEmpty());
}

void TestSequence::clickingBetweenWindowsActivates()
{
    reachCurveWindow();
    activate("Form2");
    QTRY_COMPARE(activatedNames(), (QStringList {"Form2", "Form4", "Form2"}));
    QCOMPARE(form2().Incr.toDouble(), 0.51);
    activate("Form4");
    QTRY_COMPARE(activatedNames(), (QStringList {"Form2", "Form4", "Form2", "Form4"}));
    // The introduction window has no activation handler, yet clicking into it changes the
    // active form, so coming back to the curve window activates it again.
    activate("Form1");
    activate("Form4");
    QTRY_COMPARE(activatedNames(), (QStringList {"Form2", "Form4", "Form2", "Form4", "Form4"}));
}

void TestSequence::realMessageBoxDoesNotActivate()
{
    m_messages.reset(); // real boxes, answered by the driver
    test::BoxDriver driver;
    click("Form1", "Command1");
    QTRY_COMPARE(activatedNames(), QStringList {"Form2"});
    click("Form2", "Command1");
    QCOMPARE(driver.messages, QStringList {"Impostare la risoluzione SCHERMO"});
    form2().window()->activateWindow();
    const test::QueueMark handled;
    QTRY_VERIFY(handled.reached());
    QCOMPARE(activatedNames(), QStringList {"Form2"});
}

void TestSequence::closedCalibrationReloads()
{
    click("Form1", "Command1");
    QTRY_COMPARE(activatedNames(), QStringList {"Form2"});
    form2().HScroll1()->setValue(6);
    QPointer<QWidget> first = form2().window();
    first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(!form2().isLoaded());
    QCOMPARE(form2().Incr.toDouble(), 6 * 0.02 + 0.51);
    QVERIFY(form("Form1").window()->isVisible());
    activate("Form1");
    click("Form1", "Command1");
    QVERIFY(form2().isLoaded());
    QCOMPARE(form2().HScroll1()->value(), 1);
    QTRY_COMPARE(activatedNames(), (QStringList {"Form2", "Form2"}));
    QCOMPARE(form2().Text1()->text(), QStringLiteral("0,51"));
}

void TestSequence::curveWindowShownAgainIsNotReloaded()
{
    reachCurveWindow();
    QWidget *curve = form("Form4").window();
    activate("Form2");
    form2().HScroll1()->setValue(3);
    click("Form2", "Command1");
    QTRY_COMPARE(QApplication::activeWindow(), curve);
    QCOMPARE(form("Form4").window(), curve);
    QTRY_COMPARE(activatedNames().last(), QStringLiteral("Form4"));
}

void TestSequence::processEnds_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("mustNotPrint");
    QTest::newRow("ESCI on the calibration window") << "esci2"
                                                    << "handler after ESCI";
    QTest::newRow("ESCI on the curve window") << "esci4"
                                              << "still running";
    QTest::newRow("closing every window") << "close-all"
                                          << "still running";
    QTest::newRow("ESCI during a long run") << "esci4-run"
                                            << "still running";
    QTest::newRow("closing the curve window last, during a long run") << "close-all-run"
                                                                      << "still running";
}

void TestSequence::processEnds()
{
    QFETCH(QString, scenario);
    QFETCH(QString, mustNotPrint);
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(SEQUENCE_PROBE), {scenario});
    QVERIFY(probe.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QVERIFY2(probe.exitCode() == 0, qPrintable(out));
    QVERIFY2(out.contains("ended 0"), qPrintable(out));
    QVERIFY2(!out.contains("still running"), qPrintable(out));
    if (scenario.endsWith("-run")) {
        // Acted on during the run, and nothing ran after it.
        QVERIFY2(out.contains("during the run\nended 0"), qPrintable(out));
    }
    if (scenario == "close-all") {
        // Closing the introduction window first leaves the program running.
        QVERIFY2(out.contains("closed Form1\nclosed Form2\nclosed Form4\nended 0"),
                 qPrintable(out));
    } else {
        QVERIFY2(!out.contains(mustNotPrint), qPrintable(out));
    }
}

void TestSequence::programIconOnEveryWindow()
{
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    reachCurveWindow();
    for (const char *name : {"Form1", "Form2", "Form4"})
        QCOMPARE(form(name).window()->windowIcon().cacheKey(), icon.cacheKey());
}

void TestSequence::f1OpensGuideWithoutActivation()
{
    reachCurveWindow();
    QLineEdit *field = form("Form4").window()->findChild<QLineEdit *>(QStringLiteral("Text10"));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_F1);
    Guide *guide = qApp->findChild<Guide *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(guide);
    QVERIFY(guide->window() && guide->window()->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), guide->window());
    // The text has the focus, from its first line, with a caret that the keys move.
    const auto *text = qobject_cast<QTextEdit *>(QApplication::focusWidget());
    QVERIFY(text && text->window() == guide->window());
    QCOMPARE(text->textCursor().position(), 0);
    QVERIFY(text->isReadOnly());
    QVERIFY(text->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    // A screen reader reads from the caret: the first line; a word with the blank after it (a
    // word without it leaves Orca silent on the first Ctrl+Right).
    QAccessibleTextInterface *reading
        = QAccessible::queryAccessibleInterface(const_cast<QTextEdit *>(text))->textInterface();
    QVERIFY(reading);
    int start = -1;
    int end = -1;
    QCOMPARE(reading->textAtOffset(0, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("QUORVEL: guida\n"));
    QCOMPARE(reading->textAtOffset(0, QAccessible::WordBoundary, &start, &end),
             QStringLiteral("QUORVEL: "));
    // Back to the curve window: the same form as before the guide, so no handler runs.
    activate("Form4");
    QTest::qWait(20);
    QCOMPARE(activatedNames(), (QStringList {"Form2", "Form4"}));
    // Esc closes it and gives the curve window the focus back, on the field that had it.
    QPointer<QWidget> window = guide->window();
    window->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), window.data());
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!window->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), form("Form4").window());
    QCOMPARE(QApplication::focusWidget(), field);
    QCOMPARE(activatedNames(), (QStringList {"Form2", "Form4"}));
}

void TestSequence::f1OverMessageBoxOpensNothing()
{
    m_messages.reset(); // a real box
    reachCurveWindow();
    Guide *guide = qApp->findChild<Guide *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(guide);
    bool guideShown = true;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &poll, [&guideShown, guide] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            QTest::keyClick(box, Qt::Key_F1);
            guideShown = guide->window() != nullptr && guide->window()->isVisible();
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    showMessage(QStringLiteral("Non è un numero"));
    QVERIFY(!guideShown);
}

QTEST_MAIN(TestSequence)
#include "tst_sequence.moc"
