// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/NumericText.h"

#include <QTest>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>

using namespace quorvel;
using namespace quorvel::model;

class TestNumericText : public QObject
{
    Q_OBJECT
private slots:
    void conversion_data();
    void conversion();
    void refusedTexts_data();
    void refusedTexts();
    void conversionIgnoresLocale();
    void negativeZero();
    void tenMegabytesInLinearTime();
    void decimalText_data();
    void decimalText();
    void groupedDecimalText_data();
    void groupedDecimalText();
    void decimalTextRoundTrips_data();
    void decimalTextRoundTrips();
    void roundToInt16_data();
    void roundToInt16();
};

void TestNumericText::conversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("one") << "1" << 1.0;
    QTest::newRow("fifty-five") << "55" << 55.0;
    QTest::newRow("180") << "180" << 180.0;
    QTest::newRow("epsilon") << "0,86" << 0.86;
    QTest::newRow("zero") << "0" << 0.0;
    QTest::newRow("zero with comma") << "0,0" << 0.0;
    QTest::newRow("minus two and a half") << "-2,5" << -2.5;
    QTest::newRow("leading zeros") << "007" << 7.0;
    QTest::newRow("half") << "0,5" << 0.5;
    QTest::newRow("largest double")
        << "179769313486231570814527423731704356798070567525844996598917476803157260780028538760589"
           "558632766878171540458953514382464234321326889464182768467546703537516986049910576551282"
           "076245490090389328944075868508455133942304583236903222948165808559332123348274797826204"
           "144723168738177180919299881250404026184124858368"
        << std::numeric_limits<double>::max();
    QTest::newRow("too small is zero") << ("0," + QString(400, u'0') + "1") << 0.0;
    QTest::newRow("10 MB of zeros is zero") << QString(qsizetype {10} * 1024 * 1024, u'0') << 0.0;
    QTest::newRow("smallest subnormal")
        << ("0," + QString(323, u'0') + "5") << std::numeric_limits<double>::denorm_min();
    QTest::newRow("many digits rounds correctly")
        << "0,1000000000000000055511151231257827021181583404541015625" << 0.1;
}

void TestNumericText::conversion()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QVERIFY(isNumeric(text));
    const std::optional<double> v = toNumber(text);
    QVERIFY(v.has_value());
    QCOMPARE(*v, value);
}

void TestNumericText::refusedTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("letters") << "abc";
    QTest::newRow("trailing letter") << "1a";
    QTest::newRow("x") << "x";
    QTest::newRow("decimal point") << "0.86";
    QTest::newRow("comma without fraction") << "1,";
    QTest::newRow("comma without integer") << ",5";
    QTest::newRow("two commas") << "1,2,3";
    QTest::newRow("double minus") << "--1";
    QTest::newRow("plus") << "+5";
    QTest::newRow("minus alone") << "-";
    QTest::newRow("blank around") << " 5";
    QTest::newRow("exponent") << "1e5";
    QTest::newRow("exponent overflow") << "1e999";
    QTest::newRow("arabic-indic digits") << QString::fromUtf16(u"\u0661\u0662");
    QTest::newRow("fullwidth digit") << QString::fromUtf16(u"\uFF15");
    QTest::newRow("beyond largest double") << ("1" + QString(309, u'0'));
    QTest::newRow("far beyond largest double") << ("1" + QString(400, u'0'));
    QTest::newRow("point in a fraction") << "1.5";
    QTest::newRow("just beyond largest double")
        << "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649"
           "017977587207096330286416692887910946555547851940402630657488671505820681908902000708383"
           "676273854845817711531764475730270069855571366959622842914819860834936475292719074168444"
           "365510704342711559699508093042880177904174497792";
    QTest::newRow("nul inside") << (QStringLiteral("1") + QChar(0) + QStringLiteral("2"));
    QTest::newRow("minus sign U+2212") << QString::fromUtf16(u"\u22125");
}

void TestNumericText::refusedTexts()
{
    QFETCH(QString, text);
    QVERIFY(!isNumeric(text));
    QVERIFY(!toNumber(text).has_value());
}

void TestNumericText::conversionIgnoresLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::optional<double> comma = toNumber(u"0,86");
    const bool pointRefused = !isNumeric(u"0.86");
    const QString text = quorvel::model::decimalText(0.51);
    QLocale::setDefault(previous);
    QCOMPARE(comma.value_or(-1), 0.86);
    QVERIFY(pointRefused);
    QCOMPARE(text, QStringLiteral("0,51"));
}

void TestNumericText::negativeZero()
{
    const std::optional<double> v = toNumber(u"-0");
    QVERIFY(v.has_value());
    QCOMPARE(*v, 0.0);
    QCOMPARE(quorvel::model::decimalText(*v), QStringLiteral("0"));
}

void TestNumericText::tenMegabytesInLinearTime()
{
    // 10 MB of digits is beyond a double (refused) and after a comma it is an ordinary number;
    // either way the answer comes after one pass, not one per digit squared.
    const QString huge(10'000'000, u'7');
    const QString small = QStringLiteral("0,") + huge;
    const auto start = std::chrono::steady_clock::now();
    QVERIFY(!isNumeric(huge));
    const std::optional<double> v = toNumber(small);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    QVERIFY(v.has_value());
    QCOMPARE(*v, 7.0 / 9.0);
    // Generous bound: a quadratic scan would take hours.
    QVERIFY(elapsed < std::chrono::seconds(20));
}

void TestNumericText::decimalText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer one") << 1.0 << "1";
    QTest::newRow("factor") << 0.51 << "0,51";
    QTest::newRow("0.57 from the scroll bar") << 0.5700000000000001 << "0,57";
    QTest::newRow("0.53") << 1 * 0.02 + 0.51 << "0,53";
    QTest::newRow("1.11") << 30 * 0.02 + 0.51 << "1,11";
    QTest::newRow("1.09") << 29 * 0.02 + 0.51 << "1,09";
    QTest::newRow("negative") << -430.25 << "-430,25";
    QTest::newRow("negative below one") << -0.5 << "-0,5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("fifteen digits") << 0.959931081160903 << "0,959931081160903";
    QTest::newRow("rounded to fifteen") << 0.9599310885968813 << "0,959931088596881";
    QTest::newRow("one third") << 1.0 / 3.0 << "0,333333333333333";
    QTest::newRow("big positional") << 123456789012345.0 << "123456789012345";
    QTest::newRow("1e15 exponent") << 1e15 << "1E+15";
    QTest::newRow("rounds up to 1e15") << 999999999999999.9 << "1E+15";
    QTest::newRow("1.5e-5") << 1.5e-5 << "1,5E-05";
    QTest::newRow("1e-4 positional") << 1e-4 << "0,0001";
    QTest::newRow("just below 1e-4") << 9.9e-5 << "9,9E-05";
    QTest::newRow("big exponent") << 1.25e100 << "1,25E+100";
    QTest::newRow("tiny exponent") << -2e-300 << "-2E-300";
    QTest::newRow("max") << std::numeric_limits<double>::max() << "1,79769313486232E+308";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "infinito";
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-infinito";
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "indefinito";
}

void TestNumericText::decimalText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(quorvel::model::decimalText(value), text);
}

void TestNumericText::groupedDecimalText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("three digits") << 180.0 << "180";
    QTest::newRow("four digits") << 1000.0 << "1.000";
    QTest::newRow("nine digits") << 530902015.0 << "530.902.015";
    QTest::newRow("negative") << -32768.0 << "-32.768";
    QTest::newRow("negative, three digits") << -500.0 << "-500";
    QTest::newRow("with a fraction") << 1234.5 << "1.234,5";
    QTest::newRow("half") << 0.5 << "0,5";
    QTest::newRow("exponent form") << 1e15 << "1E+15";
}

void TestNumericText::groupedDecimalText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(quorvel::model::groupedDecimalText(value), text);
}

void TestNumericText::decimalTextRoundTrips_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("pi") << 3.141592653589793;
    QTest::newRow("tiny") << 4.9406564584124654e-324;
    QTest::newRow("huge") << 1.7976931348623157e308;
    QTest::newRow("negative fraction") << -0.000123456789012345678;
    QTest::newRow("integer") << 32767.0;
}

void TestNumericText::decimalTextRoundTrips()
{
    QFETCH(double, value);
    const QString text = quorvel::model::decimalText(value);
    QVERIFY(text.size() <= 22);
    // Read back in extended precision: the 15-digit text of the largest double lies beyond it.
    QString c = text;
    c.replace(u',', u'.');
    const long double back = std::strtold(c.toLatin1().constData(), nullptr);
    const long double v = value;
    QVERIFY2(std::fabs(back - v) <= std::fabs(v) * 5e-15L, qPrintable(text));
}

void TestNumericText::roundToInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected"); // 99999: does not fit
    QTest::newRow("2.5 to even") << 2.5 << 2;
    QTest::newRow("3.5 to even") << 3.5 << 4;
    QTest::newRow("-2.5 to even") << -2.5 << -2;
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("just above half") << 2.5000000000000004 << 3;
    QTest::newRow("largest") << 32767.0 << 32767;
    QTest::newRow("largest plus 0.49") << 32767.49 << 32767;
    QTest::newRow("32767.5 overflows") << 32767.5 << 99999;
    QTest::newRow("smallest") << -32768.0 << -32768;
    QTest::newRow("-32768.5 to even") << -32768.5 << -32768;
    QTest::newRow("-32769 overflows") << -32769.0 << 99999;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 99999;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 99999;
}

void TestNumericText::roundToInt16()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    const std::optional<std::int16_t> r = quorvel::model::roundToInt16(value);
    if (expected == 99999) {
        QVERIFY(!r.has_value());
    } else {
        QVERIFY(r.has_value());
        QCOMPARE(int(*r), expected);
    }
}

QTEST_APPLESS_MAIN(TestNumericText)
#include "tst_numerictext.moc"
