// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Program.h"
#include "curve/Form4.h"
#include "model/NumericText.h"
#include "shell/FormRegistry.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTranslator>

#include <memory>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;

// Qt's own texts speak Italian whatever the machine's locale: main() below starts the test in
// the C locale with an English language preference, as a machine set up in English would.
class TestItalian : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fieldContextMenu_data();
    void fieldContextMenu();
    void catalogueInstalledOnce();
    void numericTextsKeepTheirOwnComma();

private:
    FormRegistry m_registry;
};

void TestItalian::initTestCase()
{
    test::filterPlatformNoise();
    QCOMPARE(QLocale::system().language(), QLocale::C);
    setUpApplication(*qApp);
    registerForms(m_registry);
    // The calibration window sets the screen factor the curve window's scale is made from.
    for (const char *name : {"Form2", "Form4"}) {
        m_registry.show(QLatin1String(name));
        QVERIFY(QTest::qWaitForWindowActive(m_registry.form(QLatin1String(name)).window()));
    }
}

void TestItalian::fieldContextMenu_data()
{
    // The menu a right click opens on a field of the curve window, entry by entry.
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("italian");
    QTest::newRow("undo") << "&Undo"
                          << "Ann&ulla";
    QTest::newRow("copy") << "&Copy"
                          << "&Copia";
    QTest::newRow("select all") << "Select All"
                                << "Seleziona tutto";
}

void TestItalian::fieldContextMenu()
{
    QFETCH(QString, english);
    QFETCH(QString, italian);
    auto *field = m_registry.form(QStringLiteral("Form4"))
                      .window()
                      ->findChild<QLineEdit *>(QStringLiteral("Text10"));
    QVERIFY(field);
    const std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text().section(QLatin1Char('\t'), 0, 0);
    }
    QVERIFY2(texts.contains(italian), qPrintable(texts.join(QLatin1String(" | "))));
    QVERIFY(!texts.contains(english));
}

void TestItalian::catalogueInstalledOnce()
{
    // A second set-up (a window reloaded, a test fixture) does not stack catalogues.
    QVERIFY(installItalianTranslations(*qApp));
    QVERIFY(installItalianTranslations(*qApp));
    QCOMPARE(qApp->findChildren<QTranslator *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
}

void TestItalian::numericTextsKeepTheirOwnComma()
{
    // The Italian locale is the default for Qt's formats; the program's numbers do not depend
    // on it either way.
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
    QCOMPARE(decimalText(0.86), QStringLiteral("0,86"));
    QCOMPARE(decimalText(1.5e-5), QStringLiteral("1,5E-05"));
}

int main(int argc, char *argv[])
{
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    qputenv("LANGUAGE", "en");
    QApplication app(argc, argv);
    TestItalian test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_italian.moc"
