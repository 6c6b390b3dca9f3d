#include "app/Program.h"
#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "shell/FormRegistry.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

using namespace quorvel;

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

private:
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
                              << "OLE1" << QAccessible::Client << "Documento";
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

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
