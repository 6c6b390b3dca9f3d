// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/FocusReturn.h"
#include "shell/Form.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

using namespace quorvel;

namespace {

// A form whose window opens maximised, with the window manager's maximised size held back: the
// window is shown at its created size, marked maximised, and becomes active before any resize.
class LateMaximizedForm : public test::StubForm
{
public:
    using StubForm::StubForm;
    QSize sizeAtActivation;
    void Form_Activate() override
    {
        test::StubForm::Form_Activate();
        sizeAtActivation = window()->size();
    }

protected:
    bool opensMaximized() const override { return true; }
    void showMaximizedWindow(QWidget *w) override
    {
        w->show();
        w->overrideWindowState(Qt::WindowMaximized);
    }
};

} // namespace

class TestFormRegistry : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formsAreCreatedOnFirstUse();
    void showRunsActivationOnce();
    void switchingFormsRunsActivation_data();
    void switchingFormsRunsActivation();
    void messageBoxClosingDoesNotActivate();
    void dialogGivesFocusBack_data();
    void dialogGivesFocusBack();
    void formShownAfterDialogActivates();
    void closedFormKeepsMembersAndReloads();
    void showingAgainWithoutCloseDoesNotReload();
    void heldActivationCatchesUp_data();
    void heldActivationCatchesUp();
    void activationWaitsForMaximizedSize_data();
    void activationWaitsForMaximizedSize();
    void unknownFormStopsTheProgram();
    void scopedSinkRestoresPrevious();

private:
    test::StubForm &a() { return m_registry->formAs<test::StubForm>(QStringLiteral("A")); }
    test::StubForm &b() { return m_registry->formAs<test::StubForm>(QStringLiteral("B")); }
    std::unique_ptr<FormRegistry> m_registry;
};

void TestFormRegistry::initTestCase()
{
    test::filterPlatformNoise();
}

void TestFormRegistry::init()
{
    m_registry = std::make_unique<FormRegistry>();
    for (const char *id : {"A", "B"}) {
        const QString name = QString::fromLatin1(id);
        m_registry->addFactory(
            name, [name](FormRegistry &r) { return std::make_unique<test::StubForm>(r, name); });
    }
}

void TestFormRegistry::cleanup()
{
    m_registry.reset();
}

void TestFormRegistry::formsAreCreatedOnFirstUse()
{
    QVERIFY(!m_registry->exists("A"));
    test::StubForm &form = a();
    QVERIFY(m_registry->exists("A"));
    QVERIFY(!m_registry->exists("B"));
    QVERIFY(!form.isLoaded());
    QCOMPARE(&a(), &form);
    QCOMPARE(form.activations, 0);
}

void TestFormRegistry::showRunsActivationOnce()
{
    m_registry->show("A");
    QVERIFY(a().isLoaded());
    QCOMPARE(a().window()->windowTitle(), QStringLiteral("A"));
    QTRY_COMPARE(a().activations, 1);
    // The window system may report the same activation again (a box closing, a return from
    // another application): nothing runs.
    QApplication::setActiveWindow(a().window());
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(a().window(), &activate);
    const test::QueueMark handled;
    QTRY_VERIFY(handled.reached());
    QCOMPARE(a().activations, 1);
}

void TestFormRegistry::switchingFormsRunsActivation_data()
{
    QTest::addColumn<QStringList>("sequence");
    QTest::addColumn<int>("activationsOfA");
    QTest::addColumn<int>("activationsOfB");
    QTest::newRow("A then B") << QStringList {"A", "B"} << 1 << 1;
    QTest::newRow("A, B, back to A") << QStringList {"A", "B", "A"} << 2 << 1;
    QTest::newRow("A shown twice") << QStringList {"A", "A"} << 1 << 0;
    QTest::newRow("ping-pong") << QStringList {"A", "B", "A", "B"} << 2 << 2;
}

void TestFormRegistry::switchingFormsRunsActivation()
{
    QFETCH(QStringList, sequence);
    QFETCH(int, activationsOfA);
    QFETCH(int, activationsOfB);
    for (const QString &name : sequence) {
        m_registry->show(name);
        QTRY_COMPARE(QApplication::activeWindow(), m_registry->form(name).window());
        QTRY_COMPARE(m_registry->lastActiveForm(), &m_registry->form(name));
    }
    const test::QueueMark handled;
    QTRY_VERIFY(handled.reached());
    QCOMPARE(a().activations, activationsOfA);
    QCOMPARE(m_registry->exists("B") ? b().activations : 0, activationsOfB);
}

void TestFormRegistry::messageBoxClosingDoesNotActivate()
{
    m_registry->show("A");
    QTRY_COMPARE(a().activations, 1);
    test::BoxDriver driver;
    showMessage(QStringLiteral("Impostare la risoluzione SCHERMO"));
    QCOMPARE(driver.messages, QStringList {"Impostare la risoluzione SCHERMO"});
    a().window()->activateWindow();
    const test::QueueMark handled;
    QTRY_VERIFY(handled.reached());
    QCOMPARE(a().activations, 1);
}

void TestFormRegistry::dialogGivesFocusBack_data()
{
    QTest::addColumn<bool>("whileOpen"); // the window system activates A while the dialog is open
    QTest::newRow("another window active while the dialog is open") << true;
    QTest::newRow("another window active as the dialog closes") << false;
}

void TestFormRegistry::dialogGivesFocusBack()
{
    QFETCH(bool, whileOpen);
    m_registry->show("A");
    QTRY_COMPARE(a().activations, 1);
    m_registry->show("B");
    QTRY_COMPARE(b().activations, 1);
    QTRY_COMPARE(QApplication::activeWindow(), b().window());
    b().field->setFocus();
    {
        const FocusReturn dialog;
        QCOMPARE(dialog.opener(), b().window());
        if (whileOpen) {
            a().window()->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), a().window());
        }
    }
    if (!whileOpen)
        a().window()->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), b().window());
    QCOMPARE(QApplication::focusWidget(), b().field.data());
    const test::QueueMark handled;
    QTRY_VERIFY(handled.reached());
    QCOMPARE(QApplication::activeWindow(), b().window());
    QCOMPARE(a().activations, 1);
    QCOMPARE(b().activations, 1);
}

void TestFormRegistry::formShownAfterDialogActivates()
{
    m_registry->show("A");
    QTRY_COMPARE(a().activations, 1);
    m_registry->show("B");
    QTRY_COMPARE(b().activations, 1);
    QTRY_COMPARE(QApplication::activeWindow(), b().window());
    {
        const FocusReturn dialog;
    }
    // What the program shows next (a box refused, then the user's next click shows a window)
    // is no stray activation.
    m_registry->show("A");
    QTRY_COMPARE(a().activations, 2);
    QCOMPARE(QApplication::activeWindow(), a().window());
}

void TestFormRegistry::closedFormKeepsMembersAndReloads()
{
    m_registry->show("A");
    QTRY_COMPARE(a().activations, 1);
    a().member = 9;
    a().field->setText(QStringLiteral("typed"));
    QPointer<QWidget> first = a().window();
    first->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(!a().isLoaded());
    QCOMPARE(a().member, 9);
    m_registry->show("A");
    QVERIFY(a().isLoaded());
    QCOMPARE(a().field->text(), QStringLiteral("designed"));
    QTRY_COMPARE(a().activations, 2);
    QCOMPARE(a().member, 9);
}

void TestFormRegistry::showingAgainWithoutCloseDoesNotReload()
{
    m_registry->show("A");
    QTRY_COMPARE(a().activations, 1);
    a().field->setText(QStringLiteral("typed"));
    QWidget *window = a().window();
    m_registry->show("A");
    QCOMPARE(a().window(), window);
    QCOMPARE(a().field->text(), QStringLiteral("typed"));
}

void TestFormRegistry::heldActivationCatchesUp_data()
{
    QTest::addColumn<QStringList>("whileHeld"); // forms shown while activations are held
    QTest::addColumn<int>("activationsOfA"); // after the release
    QTest::addColumn<int>("activationsOfB");
    QTest::newRow("moved to B") << QStringList {"B"} << 1 << 1;
    QTest::newRow("to B and back to A") << QStringList {"B", "A"} << 1 << 0;
    QTest::newRow("nothing") << QStringList {} << 1 << 0;
}

void TestFormRegistry::heldActivationCatchesUp()
{
    QFETCH(QStringList, whileHeld);
    QFETCH(int, activationsOfA);
    QFETCH(int, activationsOfB);
    m_registry->show("A");
    QTRY_COMPARE(a().activations, 1);
    b();
    m_registry->holdActivation(true);
    for (const QString &name : whileHeld) {
        m_registry->show(name);
        QVERIFY(QTest::qWaitForWindowActive(m_registry->form(name).window()));
    }
    const test::QueueMark shown;
    QTRY_VERIFY(shown.reached());
    QCOMPARE(a().activations, 1);
    QCOMPARE(b().activations, 0);
    m_registry->holdActivation(false);
    // The catch-up runs once control is back in the event loop.
    QCOMPARE(b().activations, 0);
    QTRY_COMPARE(b().activations, activationsOfB);
    const test::QueueMark caughtUp;
    QTRY_VERIFY(caughtUp.reached());
    QCOMPARE(a().activations, activationsOfA);
    QCOMPARE(b().activations, activationsOfB);
}

void TestFormRegistry::activationWaitsForMaximizedSize_data()
{
    QTest::addColumn<bool>("sizeArrives");
    QTest::addColumn<QSize>("expected"); // the window's size when its handler runs
    QTest::newRow("maximised size after the activation") << true << QSize(640, 480);
    QTest::newRow("no maximised size at all: a bounded wait") << false << QSize(200, 100);
}

void TestFormRegistry::activationWaitsForMaximizedSize()
{
    QFETCH(bool, sizeArrives);
    QFETCH(QSize, expected);
    m_registry->addFactory("M", [](FormRegistry &r) {
        return std::make_unique<LateMaximizedForm>(r, QStringLiteral("M"));
    });
    m_registry->setMaximizedGeometryWait(sizeArrives ? 60000 : 50);
    auto &m = m_registry->formAs<LateMaximizedForm>("M");
    m_registry->show("M");
    QVERIFY(QTest::qWaitForWindowActive(m.window()));
    if (sizeArrives) {
        QCOMPARE(m.activations, 0);
        m.window()->resize(640, 480);
    }
    QTRY_COMPARE(m.activations, 1);
    QCOMPARE(m.sizeAtActivation, expected);
    // A later resize is no activation.
    m.window()->resize(700, 500);
    const test::QueueMark mark;
    QTRY_VERIFY(mark.reached());
    QCOMPARE(m.activations, 1);
}

void TestFormRegistry::unknownFormStopsTheProgram()
{
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(UNKNOWN_FORM_PROBE), QStringList());
    QVERIFY(probe.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(probe.readAllStandardError());
    QVERIFY2(!out.contains("form returned"), qPrintable(out));
    QVERIFY(probe.exitStatus() == QProcess::CrashExit || probe.exitCode() != 0);
    QVERIFY2(err.contains(QStringLiteral("no window named \"Form3\"")), qPrintable(err));
}

void TestFormRegistry::scopedSinkRestoresPrevious()
{
    QStringList outer;
    QStringList inner;
    {
        const ScopedMessageSink sinkOuter([&outer](const QString &text) { outer << text; });
        {
            const ScopedMessageSink sinkInner([&inner](const QString &text) { inner << text; });
            showMessage(QStringLiteral("a"));
        }
        showMessage(QStringLiteral("b"));
    }
    QCOMPARE(inner, QStringList {"a"});
    QCOMPARE(outer, QStringList {"b"});
    // The real box is back: it is open until the driver closes it.
    test::BoxDriver driver;
    showMessage(QStringLiteral("c"));
    QCOMPARE(driver.messages, QStringList {"c"});
    QCOMPARE(outer, QStringList {"b"});
}

QTEST_MAIN(TestFormRegistry)
#include "tst_formregistry.moc"
