#include <QtTest>

#include <cmath>
#include <limits>

#include "forms/conversions.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kLargest = std::numeric_limits<float>::max();

}  // namespace

class ConversionsTest : public QObject {
  Q_OBJECT

 private slots:
  void valReadsTheLeadingNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");
    // clang-format off
    const std::pair<const char*, double> cases[] = {
        {"", 0}, {"abc", 0}, {"Disks (1-7)", 0}, {"Disks (1-7)4", 0}, {"4Disks", 4}, {"3", 3},
        {" 3", 3}, {"3abc", 3}, {"2.5", 2.5}, {".5", 0.5}, {"7.", 7}, {".", 0}, {"1.2.3", 1.2},
        {"-3", -3}, {"+4", 4}, {"-", 0}, {"--5", 0}, {"1 2 3", 123}, {"\t1\n2", 12}, {"- 3", -3},
        {"1\r2", 1}, {"1e3", 1000}, {"2E2", 200}, {"5e-1", 0.5}, {"5e+1", 50}, {"1 e 2", 100},
        {"1e", 1}, {"1e+x", 1}, {"2ex", 2}, {"0.0", 0}, {"99999", 99999}, {"1e-999", 0},
        {"3\xc3\xa9", 3}, {"1e308", 1e308}, {"0.0001e312", 1e308}, {"1e999", kInfinity},
        {"-1e999", -kInfinity}, {"0.001e312", kInfinity}, {"1e99999999999999999999999", kInfinity},
        {"0e999999999999999999", 0}};
    // clang-format on
    for (const auto& [text, value] : cases) {
      QTest::addRow("'%s'", QByteArray(text).toPercentEncoding(" ").constData())
          << QByteArray(text) << value;
    }
    QTest::newRow("nul stops") << QByteArray("4\0005", 3) << 4.0;
    QTest::newRow("400 nines") << QByteArray(400, '9') << kInfinity;
  }
  void valReadsTheLeadingNumber() {
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QCOMPARE(forms::Val(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))),
             expected);
  }

  void strRendersWithASignPlace_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    const std::pair<double, const char*> cases[] = {{0, " 0"},         {-0.0, " 0"}, {6, " 6"},
                                                    {32767, " 32767"}, {-3, "-3"},   {2.5, " 2.5"}};
    for (const auto& [value, text] : cases) {
      QTest::newRow(text) << value << text;
    }
  }
  void strRendersWithASignPlace() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(forms::Str(value)), expected);
  }

  // Half to even; out of range (after rounding) or not a number gives nothing.
  void cintRoundsHalfToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");  // -99999: no result
    // clang-format off
    const std::pair<double, int> cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {0.6, 1},
        {7.4, 7}, {7.5, 8}, {2.4999999, 2}, {2.5000001, 3}, {32767, 32767}, {32767.4, 32767},
        {-32768, -32768}, {-32768.5, -32768}, {32767.5, -99999}, {32768, -99999},
        {-32768.6, -99999}, {-32769, -99999}, {1e300, -99999}, {kInfinity, -99999},
        {-kInfinity, -99999}, {kNaN, -99999}};
    // clang-format on
    for (const auto& [value, result] : cases) {
      QTest::addRow("%.7g", value) << value << result;
    }
  }
  void cintRoundsHalfToEven() {
    QFETCH(double, value);
    QFETCH(int, expected);
    const auto result = forms::CInt(value);
    QCOMPARE(result ? int{*result} : -99999, expected);
  }

  void csngBoundsToTheFiniteRange() {
    const std::pair<double, float> cases[] = {{0.05, 0.05f},         {-1, -1.0f},
                                              {1e39, kLargest},      {-1e39, -kLargest},
                                              {kInfinity, kLargest}, {-kInfinity, -kLargest},
                                              {kLargest, kLargest},  {1e-50, 0.0f}};
    for (const auto& [value, result] : cases) {
      QCOMPARE(forms::CSng(value), result);
    }
  }

  void textSlicesStayInBounds() {
    QCOMPARE(forms::Right(" 0 1 2", 1), std::string("2"));
    QCOMPARE(forms::Left(" 0 1 2", forms::Len(" 0 1 2") - 2), std::string(" 0 1"));
    QCOMPARE(forms::Left(" 0", 0), std::string());
    QCOMPARE(forms::Left("ab", -3), std::string());
    QCOMPARE(forms::Left("ab", 10), std::string("ab"));
    QCOMPARE(forms::Right("ab", 10), std::string("ab"));
    QCOMPARE(forms::Right("", 1), std::string());
    QCOMPARE(forms::Len(""), 0L);
  }
};

QTEST_APPLESS_MAIN(ConversionsTest)
#include "test_conversions.moc"
