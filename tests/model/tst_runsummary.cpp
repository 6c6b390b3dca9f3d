// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/CurveChain.h"
#include "model/RunSummary.h"

#include <QTest>

#include <tuple>
#include <vector>

using namespace quorvel::model;

// A point as a run adds it: palette index, x and y relative to the axes' crossing (y upwards).
using Dot = std::tuple<int, double, double>;
Q_DECLARE_METATYPE(std::vector<Dot>)
Q_DECLARE_METATYPE(RunSummary::End)

// What a screen reader says after a run: counts by colour, the way the run ended, where the
// points lie.
class TestRunSummary : public QObject
{
    Q_OBJECT
private slots:
    void describeRun_data();
    void describeRun();
};

void TestRunSummary::describeRun_data()
{
    QTest::addColumn<std::vector<Dot>>("dots");
    QTest::addColumn<RunSummary::End>("end");
    QTest::addColumn<int>("ranges");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    using End = RunSummary::End;

    QTest::newRow("nothing drawn, field refused")
        << std::vector<Dot> {} << End::Refused << 0 << "For o To non numero"
        << "Nessun punto disegnato. Esecuzione interrotta da un campo non accettato: For o To "
           "non numero.";
    QTest::newRow("one range in green, upper right")
        << std::vector<Dot> {{2, 15.5, 30}, {2, 20.4, 40.6}} << End::RangesDone << 1 << ""
        << "Disegnati 2 punti: 2 in verde scuro. Esecuzione completata: 1 intervallo di ALFA "
           "tracciato. Rispetto all'incrocio degli assi i punti stanno in alto a destra; in "
           "orizzontale da 16 a 20, in verticale da 30 a 41.";
    QTest::newRow("two colours across quadrants, out of field")
        << std::vector<Dot> {{3, -10, 5}, {4, 10, -5}, {4, 12, -7}} << End::OutOfField << 1
        << "fuori campo Y11 =1234,5"
        << "Disegnati 3 punti: 1 in ciano scuro, 2 in rosso scuro. Esecuzione interrotta: fuori "
           "campo Y11 =1234,5. Rispetto all'incrocio degli assi i punti stanno 1 in alto a "
           "sinistra, 2 in basso a destra; in orizzontale da -10 a 12, in verticale da -7 a 5.";
    QTest::newRow("one white point, Esc")
        << std::vector<Dot> {{15, -0.4, -3}} << End::Stopped << 0 << ""
        << "Disegnato 1 punto: 1 in bianco. Esecuzione interrotta con il tasto Esc. Rispetto "
           "all'incrocio degli assi i punti stanno in basso a sinistra; in orizzontale da 0 a 0, "
           "in verticale da -3 a -3.";
    QTest::newRow("three ranges, yellow and light grey")
        << std::vector<Dot> {{14, 1, 1}, {7, 2, 2}} << End::RangesDone << 3 << ""
        << "Disegnati 2 punti: 1 in grigio chiaro, 1 in giallo. Esecuzione completata: 3 "
           "intervalli di ALFA tracciati. Rispetto all'incrocio degli assi i punti stanno in alto "
           "a destra; in orizzontale da 1 a 2, in verticale da 1 a 2.";
}

void TestRunSummary::describeRun()
{
    QFETCH(std::vector<Dot>, dots);
    QFETCH(RunSummary::End, end);
    QFETCH(int, ranges);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    RunSummary run;
    for (const auto &[colour, x, y] : dots) {
        const ChainPoint dot {1, 0, 0, x, y, colour};
        run.addChain(&dot, 1);
    }
    run.end = end;
    run.rangesDone = ranges;
    run.message = message;
    QCOMPARE(quorvel::model::describeRun(run), expected);
}

QTEST_APPLESS_MAIN(TestRunSummary)
#include "tst_runsummary.moc"
