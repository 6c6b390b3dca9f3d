// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/About.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace quorvel;

class TestAbout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { test::filterPlatformNoise(); }
    void boxTellsVersionAndLicence();
};

// The box says the version this build was made with (not one written into the code), the
// licence and what the program does; it is a real modal box with its own title.
void TestAbout::boxTellsVersionAndLicence()
{
    QCOMPARE(about::version(), QStringLiteral(QUORVEL_PROJECT_VERSION));
    QString seenTitle;
    QTimer::singleShot(0, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            seenTitle = box->windowTitle();
    });
    test::BoxDriver driver;
    QWidget parent;
    about::show(&parent);
    QCOMPARE(seenTitle, QStringLiteral("Informazioni su QUORVEL"));
    QCOMPARE(driver.messages.size(), 1);
    const QString &text = driver.messages.constFirst();
    QVERIFY2(text.contains(QStringLiteral("QUORVEL " QUORVEL_PROJECT_VERSION)), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("GPL-3.0-or-later")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("curva piana per punti")), qPrintable(text));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
