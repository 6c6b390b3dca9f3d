// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/Variant.h"

#include <QTest>

#include <cstring>

using namespace quorvel;
using namespace quorvel::model;

Q_DECLARE_METATYPE(quorvel::model::Variant)

class TestVariant : public QObject
{
    Q_OBJECT
private slots:
    void equalsNumber_data();
    void equalsNumber();
    void equalsEmptyText_data();
    void equalsEmptyText();
    void arithmeticOperand_data();
    void arithmeticOperand();
    void toInt16_data();
    void toInt16();
    void singleStaysSingle();
    void toText_data();
    void toText();
    void plusInt16_data();
    void plusInt16();
};

void TestVariant::equalsNumber_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("equal");
    QTest::newRow("Empty vs 9") << Variant() << 9.0 << false;
    QTest::newRow("Empty vs 0") << Variant() << 0.0 << true;
    QTest::newRow("int16 9 vs 9") << Variant::int16(9) << 9.0 << true;
    QTest::newRow("double 9 vs 9") << Variant::real(9.0) << 9.0 << true;
    QTest::newRow("single 0.1 vs double 0.1") << Variant::single(0.1f) << 0.1 << false;
    QTest::newRow("int16 999 marker") << Variant::int16(999) << 999.0 << true;
    QTest::newRow("double -0 vs 0") << Variant::real(-0.0) << 0.0 << true;
    QTest::newRow("numeric text") << Variant::text("14") << 14.0 << true;
    QTest::newRow("other text") << Variant::text("abc") << 0.0 << false;
}

void TestVariant::equalsNumber()
{
    QFETCH(Variant, value);
    QFETCH(double, number);
    QFETCH(bool, equal);
    QCOMPARE(value.equalsNumber(number), equal);
}

void TestVariant::equalsEmptyText_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<bool>("equal");
    QTest::newRow("Empty") << Variant() << true;
    QTest::newRow("empty text") << Variant::text(QString()) << true;
    QTest::newRow("double 0") << Variant::real(0.0) << false;
    QTest::newRow("int16 0") << Variant::int16(0) << false;
    QTest::newRow("single 0") << Variant::single(0.0f) << false;
    QTest::newRow("blank text") << Variant::text(" ") << false;
    QTest::newRow("text") << Variant::text("0") << false;
    QTest::newRow("False") << Variant::truth(false) << false;
}

void TestVariant::equalsEmptyText()
{
    QFETCH(Variant, value);
    QFETCH(bool, equal);
    QCOMPARE(value.equalsEmptyText(), equal);
}

void TestVariant::arithmeticOperand_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<double>("number");
    QTest::newRow("Empty counts as 0") << Variant() << true << 0.0;
    QTest::newRow("numeric text converts") << Variant::text("0,86") << true << 0.86;
    QTest::newRow("letters do not") << Variant::text("abc") << false << 0.0;
    QTest::newRow("single widens exactly")
        << Variant::single(0.017453292f) << true << double(0.017453292f);
    QTest::newRow("True is -1") << Variant::truth(true) << true << -1.0;
}

void TestVariant::arithmeticOperand()
{
    QFETCH(Variant, value);
    QFETCH(bool, hasValue);
    QFETCH(double, number);
    const std::optional<double> v = value.numericValue();
    QCOMPARE(v.has_value(), hasValue);
    if (hasValue)
        QCOMPARE(*v, number);
}

void TestVariant::toInt16_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<int>("expected"); // 99999: no value
    QTest::newRow("2.5") << Variant::real(2.5) << 2;
    QTest::newRow("3.5") << Variant::real(3.5) << 4;
    QTest::newRow("-2.5") << Variant::real(-2.5) << -2;
    QTest::newRow("Empty") << Variant() << 0;
    QTest::newRow("single 2.5") << Variant::single(2.5f) << 2;
    QTest::newRow("overflow") << Variant::real(40000.0) << 99999;
    QTest::newRow("letters") << Variant::text("x") << 99999;
}

void TestVariant::toInt16()
{
    QFETCH(Variant, value);
    QFETCH(int, expected);
    const std::optional<std::int16_t> r = value.toInt16();
    QCOMPARE(r.has_value(), expected != 99999);
    if (r)
        QCOMPARE(int(*r), expected);
}

void TestVariant::singleStaysSingle()
{
    const Variant p1 = Variant::single(3.1415927f / 180.0f);
    QCOMPARE(p1.kind(), Variant::Kind::Single);
    float f = p1.toSingle();
    quint32 bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    QCOMPARE(bits, 0x3C8EFA35u);
    QCOMPARE(Variant::real(0.1).toSingle(), 0.1f);
}

void TestVariant::toText_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("int16 1") << Variant::int16(1) << "1";
    QTest::newRow("double 0.51") << Variant::real(0.51) << "0,51";
    QTest::newRow("Empty") << Variant() << "";
    QTest::newRow("text") << Variant::text("For1") << "For1";
    QTest::newRow("single 0.5") << Variant::single(0.5f) << "0,5";
}

void TestVariant::toText()
{
    QFETCH(Variant, value);
    QFETCH(QString, text);
    QCOMPARE(value.toText(), text);
}

void TestVariant::plusInt16_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<Variant>("expected");
    QTest::addColumn<bool>("fits");
    QTest::newRow("Empty + 1 is int16") << Variant() << Variant::int16(1) << true;
    QTest::newRow("int16 13 + 1") << Variant::int16(13) << Variant::int16(14) << true;
    QTest::newRow("double + 1 stays double") << Variant::real(2.0) << Variant::real(3.0) << true;
    QTest::newRow("int16 overflow") << Variant::int16(32767) << Variant() << false;
}

void TestVariant::plusInt16()
{
    QFETCH(Variant, value);
    QFETCH(Variant, expected);
    QFETCH(bool, fits);
    const std::optional<Variant> sum = value.plusInt16(1);
    QCOMPARE(sum.has_value(), fits);
    if (sum) {
        QCOMPARE(sum->kind(), expected.kind());
        QVERIFY(*sum == expected);
    }
}

QTEST_APPLESS_MAIN(TestVariant)
#include "tst_variant.moc"
