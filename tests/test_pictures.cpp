#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "board/layout.h"
#include "board/pictures.h"

namespace {

int red(std::uint32_t argb) {
  return static_cast<int>((argb >> 16) & 0xFFu);
}
int green(std::uint32_t argb) {
  return static_cast<int>((argb >> 8) & 0xFFu);
}
int blue(std::uint32_t argb) {
  return static_cast<int>(argb & 0xFFu);
}
int alpha(std::uint32_t argb) {
  return static_cast<int>(argb >> 24);
}
int brightness(std::uint32_t argb) {
  return red(argb) + green(argb) + blue(argb);
}
bool isGrey(std::uint32_t argb) {
  return red(argb) == green(argb) && green(argb) == blue(argb);
}
std::uint32_t opaque(forms::Rgb rgb) {
  return 0xFF000000u | rgb;
}

int scaled(int design, double scale) {
  return static_cast<int>(std::lround(design * scale));
}

int diskColumns(int disk) {
  return 257 - 32 * disk;
}

bool rowsAlike(const forms::Image& image) {
  for (int y = 1; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.pixel(x, y) != image.pixel(x, 0)) {
        return false;
      }
    }
  }
  return true;
}

bool allOpaque(const forms::Image& image) {
  return std::all_of(image.pixels.begin(), image.pixels.end(),
                     [](std::uint32_t p) { return alpha(p) == 0xFF; });
}

// Index of the icon disk hue (0 blue .. 6 magenta) that a shaded pixel shows, or -1.
int hueOf(std::uint32_t argb) {
  static constexpr double kHues[7][3] = {{0, 0, 1},   {0, 1, 1}, {0, 1, 0}, {1, 1, 0},
                                         {1, 0.5, 0}, {1, 0, 0}, {1, 0, 1}};
  const double top = std::max({red(argb), green(argb), blue(argb)});
  const double seen[3] = {red(argb) / top, green(argb) / top, blue(argb) / top};
  for (int hue = 0; top >= 40 && hue < 7; ++hue) {
    if (std::abs(seen[0] - kHues[hue][0]) < 0.2 && std::abs(seen[1] - kHues[hue][1]) < 0.2 &&
        std::abs(seen[2] - kHues[hue][2]) < 0.2) {
      return hue;
    }
  }
  return -1;
}

// Runs of pixels along row y, between x0 and x1, darker than `threshold`.
struct Run {
  int first;
  int last;
};
std::vector<Run> darkRuns(const forms::Image& image, int y, int x0, int x1, int threshold) {
  std::vector<Run> runs;
  for (int x = x0; x < x1; ++x) {
    if (red(image.pixel(x, y)) < threshold) {
      if (runs.empty() || runs.back().last != x - 1) {
        runs.push_back({x, x});
      } else {
        runs.back().last = x;
      }
    }
  }
  return runs;
}

int median(std::vector<int> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

}  // namespace

class TestPictures : public QObject {
  Q_OBJECT

 private slots:
  void diskProfileAtEveryScale_data();
  void diskProfileAtEveryScale();
  void postColumnsAtWholeScales_data();
  void postColumnsAtWholeScales();
  void postColumnsAtFractionalScales_data();
  void postColumnsAtFractionalScales();
  void baseMarble_data();
  void baseMarble();
  void baseNumeral_data();
  void baseNumeral();
  void icon_data();
  void icon();
};

void TestPictures::diskProfileAtEveryScale_data() {
  QTest::addColumn<int>("disk");
  QTest::addColumn<double>("scale");
  for (int disk = 0; disk < 7; ++disk) {
    for (double scale : {1.0, 1.25, 1.5, 2.0, 3.0}) {
      QTest::addRow("disk %d at %g", disk, scale) << disk << scale;
    }
  }
}

void TestPictures::diskProfileAtEveryScale() {
  QFETCH(int, disk);
  QFETCH(double, scale);
  const board::DiskDesign& design = board::kDisks[static_cast<std::size_t>(disk)];
  const forms::Image image = board::diskPicture(disk, scale);
  QCOMPARE(image.width, scaled(diskColumns(disk), scale));
  QCOMPARE(image.height, scaled(33, scale));
  QVERIFY(rowsAlike(image));
  QVERIFY(allOpaque(image));
  QCOMPARE(image.pixel(0, 0), opaque(design.leftEdge));
  QCOMPARE(image.pixel(image.width - 1, 0), opaque(design.rightEdge));

  // Brightness rises to a highlight at the design column and falls from there on.
  int peak = 0;
  for (int x = 1; x < image.width; ++x) {
    if (brightness(image.pixel(x, 0)) > brightness(image.pixel(peak, 0))) {
      peak = x;
    }
  }
  QCOMPARE(image.pixel(peak, 0), opaque(design.highlight));
  const int highlightAt =
      static_cast<int>(std::lround((design.highlightColumn + 0.5) * scale - 0.5));
  QCOMPARE(image.pixel(highlightAt, 0), opaque(design.highlight));
  QVERIFY(peak <= highlightAt && highlightAt - peak <= 3 * scale);
  for (int x = 1; x < image.width; ++x) {
    const int step = brightness(image.pixel(x, 0)) - brightness(image.pixel(x - 1, 0));
    QVERIFY2(x <= peak ? step >= 0 : step <= 0, qPrintable(QString("column %1").arg(x)));
  }

}

void TestPictures::postColumnsAtWholeScales_data() {
  QTest::addColumn<int>("scale");
  QTest::newRow("1") << 1;
  QTest::newRow("2") << 2;
  QTest::newRow("3") << 3;
}

void TestPictures::postColumnsAtWholeScales() {
  QFETCH(int, scale);
  const forms::Image image = board::postPicture(scale);
  QCOMPARE(image.width, 20 * scale);
  QCOMPARE(image.height, 243 * scale);
  QVERIFY(rowsAlike(image));
  for (int x = 0; x < image.width; ++x) {
    QCOMPARE(image.pixel(x, 0), opaque(board::kPostColumns[static_cast<std::size_t>(x / scale)]));
  }
}

void TestPictures::postColumnsAtFractionalScales_data() {
  QTest::addColumn<double>("scale");
  for (double scale : {1.25, 1.5, 1.75, 2.5}) {
    QTest::addRow("%g", scale) << scale;
  }
}

void TestPictures::postColumnsAtFractionalScales() {
  QFETCH(double, scale);
  const forms::Image image = board::postPicture(scale);
  QCOMPARE(image.width, scaled(20, scale));
  QCOMPARE(image.height, scaled(243, scale));
  QVERIFY(rowsAlike(image));

  // Unblended design colours, in order, each over one or two whole device columns. The last two
  // design columns share a colour, so they form one run.
  std::vector<std::uint32_t> expected;
  for (forms::Rgb column : board::kPostColumns) {
    if (expected.empty() || expected.back() != opaque(column)) {
      expected.push_back(opaque(column));
    }
  }
  std::vector<std::uint32_t> colours;
  std::vector<int> widths;
  for (int x = 0; x < image.width; ++x) {
    if (colours.empty() || colours.back() != image.pixel(x, 0)) {
      colours.push_back(image.pixel(x, 0));
      widths.push_back(0);
    }
    ++widths.back();
  }
  QCOMPARE(colours, expected);
  for (std::size_t i = 0; i + 1 < widths.size(); ++i) {
    QVERIFY(widths[i] == static_cast<int>(std::floor(scale)) ||
            widths[i] == static_cast<int>(std::ceil(scale)));
  }
}

void TestPictures::baseMarble_data() {
  QTest::addColumn<int>("peg");
  QTest::addColumn<double>("scale");
  for (int peg = 0; peg < 3; ++peg) {
    for (double scale : {1.0, 1.5, 2.0}) {
      QTest::addRow("peg %d at %g", peg, scale) << peg << scale;
    }
  }
}

void TestPictures::baseMarble() {
  QFETCH(int, peg);
  QFETCH(double, scale);
  const forms::Image image = board::basePicture(peg, scale);
  QCOMPARE(image.width, scaled(250, scale));
  QCOMPARE(image.height, scaled(89, scale));
  QVERIFY(allOpaque(image));
  QVERIFY(std::all_of(image.pixels.begin(), image.pixels.end(), isGrey));

  // Lighter at the left: compare the outer thirds, which the numeral does not reach.
  long left = 0;
  long right = 0;
  const int third = image.width / 3;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < third; ++x) {
      left += red(image.pixel(x, y));
      right += red(image.pixel(image.width - 1 - x, y));
    }
  }
  QVERIFY(left > right + 20L * third * image.height);

  // A texture, not a flat ramp: one column varies down its length.
  std::vector<int> column;
  for (int y = 0; y < image.height; ++y) {
    column.push_back(red(image.pixel(third / 2, y)));
  }
  const auto [low, high] = std::minmax_element(column.begin(), column.end());
  QVERIFY(*high - *low >= 6);
}

void TestPictures::baseNumeral_data() {
  QTest::addColumn<int>("peg");
  QTest::addColumn<double>("scale");
  for (int peg = 0; peg < 3; ++peg) {
    for (double scale : {1.0, 1.5, 2.0, 3.0}) {
      QTest::addRow("peg %d at %g", peg, scale) << peg << scale;
    }
  }
}

void TestPictures::baseNumeral() {
  QFETCH(int, peg);
  QFETCH(double, scale);
  const forms::Image image = board::basePicture(peg, scale);

  // The frame runs through design pixels 16 and 232 across, 16 and 72 down.
  const auto device = [scale](double design) { return static_cast<int>(design * scale); };
  const int middle = device(44);
  std::vector<int> row;
  for (int x = device(18); x < device(230); ++x) {
    row.push_back(red(image.pixel(x, middle)));
  }
  const int threshold = median(row) * 6 / 10;

  const std::vector<Run> stems = darkRuns(image, middle, device(18), device(230), threshold);
  QCOMPARE(static_cast<int>(stems.size()), peg + 1);
  for (const Run& stem : stems) {
    // The cut is shadowed on its left and lit on its right.
    QVERIFY(stem.last - stem.first + 1 >= device(3));
    int darkest = stem.first;
    for (int x = stem.first; x <= stem.last; ++x) {
      darkest = red(image.pixel(x, middle)) < red(image.pixel(darkest, middle)) ? x : darkest;
    }
    QVERIFY(2 * darkest < stem.first + stem.last);
  }

  // Every dark pixel of the picture belongs to the numeral, which sits in the middle of the
  // framed area, clear of the frame.
  int minX = image.width, maxX = -1, minY = image.height, maxY = -1;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (red(image.pixel(x, y)) < threshold) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
    }
  }
  QVERIFY(minX > device(24) && maxX < device(224));
  QVERIFY(minY > device(22) && maxY < device(66));
  QVERIFY(maxY - minY > device(25));
  QVERIFY(std::abs((minX + maxX + 1) / 2.0 - 124 * scale) <= 2 * scale);
  QVERIFY(std::abs((minY + maxY + 1) / 2.0 - 44 * scale) <= 2 * scale);
}

void TestPictures::icon_data() {
  QTest::addColumn<int>("pixels");
  for (int pixels : {16, 24, 32, 40, 48, 64, 128, 256, 512}) {
    QTest::addRow("%d", pixels) << pixels;
  }
}

void TestPictures::icon() {
  QFETCH(int, pixels);
  const forms::Image image = board::iconPicture(pixels);
  QCOMPARE(image.width, pixels);
  QCOMPARE(image.height, pixels);
  QVERIFY(allOpaque(image));

  // Up the middle: grey slab, then the seven hues from blue to magenta, then the dark pattern.
  const int middle = pixels / 2;
  std::vector<int> hues;
  int slabRows = 0;
  for (int y = pixels - 1; y >= 0; --y) {
    const std::uint32_t p = image.pixel(middle, y);
    if (isGrey(p)) {
      slabRows += (hues.empty() && red(p) > 0x60) ? 1 : 0;
      continue;
    }
    const int hue = hueOf(p);
    QVERIFY2(hue >= 0, qPrintable(QString("row %1: %2").arg(y).arg(p, 8, 16)));
    if (hues.empty() || hues.back() != hue) {
      hues.push_back(hue);
    }
  }
  QCOMPARE(hues, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  QVERIFY(slabRows > 0);

  // The corners show only dark grey and black, and both of them.
  const int reach = std::max(2, pixels / 4);
  bool black = false;
  bool darkGrey = false;
  for (int y = 0; y < reach; ++y) {
    for (int x = 0; x < reach; ++x) {
      for (std::uint32_t p : {image.pixel(x, y), image.pixel(pixels - 1 - x, y)}) {
        QVERIFY(isGrey(p) && red(p) < 0x60);
        black = black || red(p) == 0;
        darkGrey = darkGrey || red(p) > 0x20;
      }
    }
  }
  QVERIFY(black && darkGrey);
}

QTEST_APPLESS_MAIN(TestPictures)
#include "test_pictures.moc"
