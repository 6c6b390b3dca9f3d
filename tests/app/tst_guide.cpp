// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Guide.h"

#include <QTest>

using namespace quorvel;

// Where the guide opens: beside the window it explains, else over it clear of its controls,
// always whole on the screen.
class TestGuide : public QObject
{
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
};

void TestGuide::placement_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("opener"); // its frame
    QTest::addColumn<QRect>("controls");
    QTest::addColumn<QRect>("guide"); // the guide's client area
    const QRect full(0, 0, 1920, 1080);
    // The introduction window at its normal size, its controls filling it.
    QTest::newRow("room on the right") << full << QRect(100, 100, 780, 512)
                                       << QRect(138, 142, 721, 450) << QRect(881, 120, 540, 700);
    QTest::newRow("room on the left only")
        << full << QRect(1200, 100, 780, 512) << QRect(1238, 142, 721, 450)
        << QRect(659, 120, 540, 700);
    // A maximised drawing window: its panel at the top left.
    QTest::newRow("maximised, below the panel")
        << full << full << QRect(16, 27, 370, 410) << QRect(1, 465, 540, 610);
    // The same at twice the scale: 960 x 540 logical pixels.
    QTest::newRow("scale 2, right of the panel")
        << QRect(0, 0, 960, 540) << QRect(0, 0, 960, 540) << QRect(8, 27, 377, 410)
        << QRect(419, 20, 540, 515);
    QTest::newRow("small screen, the larger free area")
        << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 600) << QRect(0, 0, 633, 313)
        << QRect(1, 341, 540, 254);
}

void TestGuide::placement()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, opener);
    QFETCH(QRect, controls);
    QFETCH(QRect, guide);
    const QMargins frame(1, 20, 1, 5);
    const QRect placed = Guide::placement(screen, opener, controls, QSize(540, 700), frame);
    QCOMPARE(placed, guide);
    QVERIFY(screen.contains(placed.marginsAdded(frame)));
    QVERIFY(!placed.marginsAdded(frame).intersects(controls));
}

QTEST_APPLESS_MAIN(TestGuide)
#include "tst_guide.moc"
