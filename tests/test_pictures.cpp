#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <vector>

#include "board/baked_bases.h"
#include "board/layout.h"
#include "board/pictures.h"

namespace {

constexpr auto red = [](std::uint32_t argb) { return static_cast<int>((argb >> 16) & 0xFFu); };
constexpr auto green = [](std::uint32_t argb) { return static_cast<int>((argb >> 8) & 0xFFu); };
constexpr auto blue = [](std::uint32_t argb) { return static_cast<int>(argb & 0xFFu); };
constexpr auto brightness = [](std::uint32_t argb) { return red(argb) + green(argb) + blue(argb); };
constexpr auto opaque = [](forms::Rgb rgb) { return 0xFF000000u | rgb; };
constexpr auto scaled = [](int design, double scale) {
  return static_cast<int>(std::lround(design * scale));
};

// Every row is the same as the one above it.
bool rowsAlike(const forms::Image& image) {
  return std::equal(image.pixels.begin() + image.width, image.pixels.end(), image.pixels.begin());
}

// Every pixel opaque, and grey when asked.
bool allOpaque(const forms::Image& image, bool grey = false) {
  return std::all_of(image.pixels.begin(), image.pixels.end(), [grey](std::uint32_t p) {
    return p >> 24 == 0xFFu && (!grey || (red(p) == green(p) && green(p) == blue(p)));
  });
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

}  // namespace

class TestPictures : public QObject {
  Q_OBJECT

 private slots:
  void disk_data() {
    QTest::addColumn<int>("disk");
    QTest::addColumn<double>("scale");
    for (int disk = 0; disk < 7; ++disk) {
      for (double scale : {1.0, 1.25, 1.5, 2.0, 3.0}) {
        QTest::addRow("disk %d at %g", disk, scale) << disk << scale;
      }
    }
  }
  // Rows alike, the design's edge colours, and brightness rising to the highlight at the design
  // column, then falling.
  void disk() {
    QFETCH(int, disk);
    QFETCH(double, scale);
    const board::DiskDesign& design = board::kDisks[static_cast<std::size_t>(disk)];
    const forms::Image image = board::diskPicture(disk, scale);
    QCOMPARE(image.width, scaled(static_cast<int>(design.rect.width) / 15, scale));
    QCOMPARE(image.height, scaled(33, scale));
    QVERIFY(rowsAlike(image) && allOpaque(image));
    QCOMPARE(image.pixel(0, 0), opaque(design.leftEdge));
    QCOMPARE(image.pixel(image.width - 1, 0), opaque(design.rightEdge));
    const auto highlightAt =
        static_cast<int>(std::lround((design.highlightColumn + 0.5) * scale - 0.5));
    QCOMPARE(image.pixel(highlightAt, 0), opaque(design.highlight));
    for (int x = 1; x < image.width; ++x) {
      const int step = brightness(image.pixel(x, 0)) - brightness(image.pixel(x - 1, 0));
      QVERIFY2(x <= highlightAt ? step >= 0 : step <= 0, qPrintable(QString("column %1").arg(x)));
    }
  }

  void post_data() {
    QTest::addColumn<double>("scale");
    for (double scale : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
      QTest::addRow("%g", scale) << scale;
    }
  }
  // Rows alike; unblended design colours in order, each over the floor or the ceiling of the
  // scale in device columns, so exactly the scale at a whole one. The last two design columns
  // share a colour, so they form one run.
  void post() {
    QFETCH(double, scale);
    const forms::Image image = board::postPicture(scale);
    QCOMPARE(image.width, scaled(20, scale));
    QCOMPARE(image.height, scaled(243, scale));
    QVERIFY(rowsAlike(image) && allOpaque(image));
    std::vector<forms::Rgb> expected;
    std::unique_copy(board::kPostColumns.begin(), board::kPostColumns.end(),
                     std::back_inserter(expected));
    std::vector<forms::Rgb> colours;
    std::vector<int> widths;
    for (int x = 0; x < image.width; ++x) {
      if (colours.empty() || colours.back() != (image.pixel(x, 0) & 0xFFFFFFu)) {
        colours.push_back(image.pixel(x, 0) & 0xFFFFFFu);
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

  void base_data() {
    QTest::addColumn<int>("peg");
    QTest::addColumn<double>("scale");
    for (int peg = 0; peg < 3; ++peg) {
      for (double scale : {1.0, 1.5, 2.0, 3.0}) {
        QTest::addRow("peg %d at %g", peg, scale) << peg << scale;
      }
    }
  }
  // Greys only, lighter at the left, and a numeral of one to three stems whose every dark pixel
  // lies clear of the frame (design pixels 16 and 232 across, 16 and 72 down).
  void base() {
    QFETCH(int, peg);
    QFETCH(double, scale);
    const forms::Image image = board::basePicture(peg, scale);
    QCOMPARE(image.width, scaled(250, scale));
    QCOMPARE(image.height, scaled(89, scale));
    QVERIFY(allOpaque(image, true));

    // A dark stem crosses the middle row once for each unit of the numeral.
    const auto device = [scale](double design) { return static_cast<int>(design * scale); };
    std::vector<int> row;
    for (int x = device(18); x < device(230); ++x) {
      row.push_back(red(image.pixel(x, device(44))));
    }
    std::vector<int> sorted = row;
    std::sort(sorted.begin(), sorted.end());
    const int threshold = sorted[sorted.size() / 2] * 6 / 10;
    int stems = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
      stems += row[i] < threshold && (i == 0 || row[i - 1] >= threshold) ? 1 : 0;
    }
    QCOMPARE(stems, peg + 1);

    // Lighter at the left, comparing the outer thirds, which the numeral does not reach.
    const int third = image.width / 3;
    long leftOverRight = 0;
    QRect dark;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const int level = red(image.pixel(x, y));
        leftOverRight += x < third ? level : x >= image.width - third ? -level : 0;
        dark |= level < threshold ? QRect(x, y, 1, 1) : QRect();
      }
    }
    QVERIFY(leftOverRight > 20L * third * image.height);
    QVERIFY(dark.left() > device(24) && dark.right() < device(224));
    QVERIFY(dark.top() > device(22) && dark.bottom() < device(66));
  }

  // The bases kept from the build are taken at their size, and are the ones the code draws now,
  // pixel for pixel.
  void keptBasesAsDrawn() {
#ifndef CORVANE_BAKED_BASES
    QSKIP("this build draws every base as it needs it");
#endif
    board::MarbleSlab slab;
    for (int peg = 0; peg < 3; ++peg) {
      QVERIFY(!board::bakedBase(peg, 250, 89).empty());
      const forms::Image kept = board::basePicture(peg, 1.0);
      const forms::Image drawn = board::drawnBasePicture(peg, 1.0, slab);
      QCOMPARE(kept.width, drawn.width);
      QCOMPARE(kept.height, drawn.height);
      QVERIFY(kept.pixels == drawn.pixels);
    }
  }

  void icon_data() {
    QTest::addColumn<int>("pixels");
    for (int pixels : {16, 24, 32, 48, 64, 256}) {
      QTest::addRow("%d", pixels) << pixels;
    }
  }
  // Up the middle from the bottom: the seven hues from blue to magenta in order, with nothing
  // but grey around them.
  void icon() {
    QFETCH(int, pixels);
    const forms::Image image = board::iconPicture(pixels);
    QCOMPARE(image.width, pixels);
    QCOMPARE(image.height, pixels);
    QVERIFY(allOpaque(image));
    std::vector<int> hues;
    for (int y = pixels - 1; y >= 0; --y) {
      const std::uint32_t p = image.pixel(pixels / 2, y);
      if (red(p) == green(p) && green(p) == blue(p)) {
        continue;
      }
      const int hue = hueOf(p);
      QVERIFY2(hue >= 0, qPrintable(QString("row %1: %2").arg(y).arg(p, 8, 16)));
      if (hues.empty() || hues.back() != hue) {
        hues.push_back(hue);
      }
    }
    QCOMPARE(hues, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  }
};

QTEST_APPLESS_MAIN(TestPictures)
#include "test_pictures.moc"
