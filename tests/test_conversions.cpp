#include <QtTest>

#include <cmath>
#include <limits>

#include "forms/conversions.h"

using forms::CInt;
using forms::CSng;
using forms::Left;
using forms::Len;
using forms::Right;
using forms::Str;
using forms::Val;

class ConversionsTest : public QObject {
  Q_OBJECT

 private slots:
  void valReadsTheLeadingNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("no number") << QByteArray("abc") << 0.0;
    QTest::newRow("count prompt") << QByteArray("Disks (1-7)") << 0.0;
    QTest::newRow("delay prompt") << QByteArray("Delay (s)") << 0.0;
    QTest::newRow("prompt then digit") << QByteArray("Disks (1-7)4") << 0.0;
    QTest::newRow("digit then prompt") << QByteArray("4Disks (1-7)") << 4.0;
    QTest::newRow("integer") << QByteArray("3") << 3.0;
    QTest::newRow("leading blank") << QByteArray(" 3") << 3.0;
    QTest::newRow("trailing letters") << QByteArray("3abc") << 3.0;
    QTest::newRow("fraction") << QByteArray("2.5") << 2.5;
    QTest::newRow("no integer part") << QByteArray(".5") << 0.5;
    QTest::newRow("trailing point") << QByteArray("7.") << 7.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0;
    QTest::newRow("second point stops") << QByteArray("1.2.3") << 1.2;
    QTest::newRow("negative") << QByteArray("-3") << -3.0;
    QTest::newRow("plus") << QByteArray("+4") << 4.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("double sign") << QByteArray("--5") << 0.0;
    QTest::newRow("blanks inside digits") << QByteArray("1 2 3") << 123.0;
    QTest::newRow("tab and line feed inside") << QByteArray("\t1\n2") << 12.0;
    QTest::newRow("blank after sign") << QByteArray("- 3") << -3.0;
    QTest::newRow("carriage return stops") << QByteArray("1\r2") << 1.0;
    QTest::newRow("exponent") << QByteArray("1e3") << 1000.0;
    QTest::newRow("capital exponent") << QByteArray("2E2") << 200.0;
    QTest::newRow("negative exponent") << QByteArray("5e-1") << 0.5;
    QTest::newRow("exponent with plus") << QByteArray("5e+1") << 50.0;
    QTest::newRow("blank in exponent") << QByteArray("1 e 2") << 100.0;
    QTest::newRow("exponent without digits") << QByteArray("1e") << 1.0;
    QTest::newRow("exponent sign without digits") << QByteArray("1e+x") << 1.0;
    QTest::newRow("letter after e") << QByteArray("2ex") << 2.0;
    QTest::newRow("zero") << QByteArray("0.0") << 0.0;
    QTest::newRow("big count") << QByteArray("99999") << 99999.0;
    QTest::newRow("underflow") << QByteArray("1e-999") << 0.0;
    QTest::newRow("huge exponent, zero mantissa") << QByteArray("0e999999999999999999") << 0.0;
    QTest::newRow("non-ascii stops") << QByteArray("3\xc3\xa9") << 3.0;
    QTest::newRow("nul stops") << QByteArray(
                                      "4\0"
                                      "5",
                                      3)
                               << 4.0;
  }
  void valReadsTheLeadingNumber() {
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QCOMPARE(Val(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))),
             expected);
  }

  void valOverflowGivesAnInfinityOfItsSign() {
    QCOMPARE(Val("1e999"), std::numeric_limits<double>::infinity());
    QCOMPARE(Val("-1e999"), -std::numeric_limits<double>::infinity());
    QCOMPARE(Val("0.001e312"), std::numeric_limits<double>::infinity());
    QCOMPARE(Val("0.0001e312"), 1e308);
    QCOMPARE(Val("1e99999999999999999999999"), std::numeric_limits<double>::infinity());
    QCOMPARE(Val(std::string(400, '9')), std::numeric_limits<double>::infinity());
    // Just inside the range.
    QCOMPARE(Val("1e308"), 1e308);
  }

  void strRendersWithASignPlace_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("negative zero") << -0.0 << " 0";
    QTest::newRow("digit") << 3.0 << " 3";
    QTest::newRow("six") << 6.0 << " 6";
    QTest::newRow("large") << 32767.0 << " 32767";
    QTest::newRow("negative") << -3.0 << "-3";
    QTest::newRow("fraction") << 2.5 << " 2.5";
  }
  void strRendersWithASignPlace() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(Str(value)), expected);
  }

  void cintRoundsHalfToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-1.5") << -1.5 << -2;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("0.6") << 0.6 << 1;
    QTest::newRow("7.4") << 7.4 << 7;
    QTest::newRow("7.5") << 7.5 << 8;
    QTest::newRow("just under a half") << 2.4999999 << 2;
    QTest::newRow("just over a half") << 2.5000001 << 3;
    QTest::newRow("top of range") << 32767.0 << 32767;
    QTest::newRow("top, rounded down") << 32767.4 << 32767;
    QTest::newRow("bottom of range") << -32768.0 << -32768;
    QTest::newRow("bottom half goes to even inside") << -32768.5 << -32768;
    QTest::newRow("design position") << 1718.0 << 1718;
  }
  void cintRoundsHalfToEven() {
    QFETCH(double, value);
    QFETCH(int, expected);
    const auto result = CInt(value);
    QVERIFY(result.has_value());
    QCOMPARE(int{*result}, expected);
  }

  void cintReportsOverflow_data() {
    QTest::addColumn<double>("value");
    QTest::newRow("32767.5 rounds to 32768") << 32767.5;
    QTest::newRow("32768") << 32768.0;
    QTest::newRow("-32768.6") << -32768.6;
    QTest::newRow("-32769") << -32769.0;
    QTest::newRow("99999") << 99999.0;
    QTest::newRow("huge") << 1e300;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("-infinity") << -std::numeric_limits<double>::infinity();
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
  }
  void cintReportsOverflow() {
    QFETCH(double, value);
    QVERIFY(!CInt(value).has_value());
  }

  void csngBoundsToTheFiniteRange() {
    const float largest = std::numeric_limits<float>::max();
    QCOMPARE(CSng(0.05), 0.05f);
    QCOMPARE(CSng(-1.0), -1.0f);
    QCOMPARE(CSng(1e39), largest);
    QCOMPARE(CSng(-1e39), -largest);
    QCOMPARE(CSng(std::numeric_limits<double>::infinity()), largest);
    QCOMPARE(CSng(-std::numeric_limits<double>::infinity()), -largest);
    QCOMPARE(CSng(static_cast<double>(largest)), largest);
    QCOMPARE(CSng(1e-50), 0.0f);
  }

  void textSlicesStayInBounds() {
    QCOMPARE(QString::fromStdString(Right(" 0 1 2", 1)), QString("2"));
    QCOMPARE(QString::fromStdString(Left(" 0 1 2", Len(" 0 1 2") - 2)), QString(" 0 1"));
    QCOMPARE(QString::fromStdString(Left(" 0", 0)), QString(""));
    QCOMPARE(QString::fromStdString(Left("ab", -3)), QString(""));
    QCOMPARE(QString::fromStdString(Left("ab", 10)), QString("ab"));
    QCOMPARE(QString::fromStdString(Right("ab", 10)), QString("ab"));
    QCOMPARE(QString::fromStdString(Right("", 1)), QString(""));
    QCOMPARE(Len(""), 0L);
    QCOMPARE(Len(" 0 1 2 3 4 5 6"), 14L);
  }
};

QTEST_APPLESS_MAIN(ConversionsTest)
#include "test_conversions.moc"
