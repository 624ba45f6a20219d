#include <QtTest>

#include <cmath>
#include <limits>

#include "forms/window_rules.h"

namespace {

// Brightness as the eye roughly weighs it, enough to tell light from shade.
int brightness(forms::Rgb rgb) {
  return static_cast<int>(((rgb >> 16) & 0xFF) * 3 + ((rgb >> 8) & 0xFF) * 6 + (rgb & 0xFF));
}

}  // namespace

class WindowRulesTest : public QObject {
  Q_OBJECT

 private slots:
  // Ties keep text boxes first, each list in its own order; controls without a model take no
  // stop.
  void tabOrderFollowsTabIndices() {
    forms::TextBox first;
    forms::TextBox second;
    forms::CommandButton button;
    forms::CommandButton other;
    forms::FormDescription form;
    form.textBoxes.resize(3);  // the middle one without a model
    form.textBoxes[0].box = &first;
    form.textBoxes[0].tabIndex = 2;
    form.textBoxes[2].box = &second;
    form.buttons.resize(2);
    form.buttons[0].button = &button;
    form.buttons[0].tabIndex = 1;
    form.buttons[1].button = &other;
    QString order;
    for (const forms::TabStop& stop : forms::tabOrder(form)) {
      order += QString("%1%2 ")
                   .arg(stop.kind == forms::TabStop::Kind::textBox ? "box" : "button")
                   .arg(stop.index);
    }
    QCOMPARE(order, QString("box2 button1 button0 box0 "));
  }

  // A line lies on whole device pixels: an odd width around a pixel's middle, an even width
  // between two pixels; widths are whole device pixels, at least one.
  void linesCoverWholeDevicePixels_data() {
    QTest::addColumn<int>("widthPixels");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("width");
    QTest::newRow("1 at 1x") << 1 << 1.0 << 10.5 << 1;
    QTest::newRow("3 at 1x") << 3 << 1.0 << 10.5 << 3;
    QTest::newRow("1 at 2x") << 1 << 2.0 << 20.0 << 2;
    QTest::newRow("1 at 1.5x") << 1 << 1.5 << 15.0 << 2;
    QTest::newRow("2 at 1.25x") << 2 << 1.25 << 13.5 << 3;
    QTest::newRow("0 at 1x") << 0 << 1.0 << 10.5 << 1;
  }
  void linesCoverWholeDevicePixels() {
    QFETCH(int, widthPixels);
    QFETCH(double, ratio);
    QFETCH(double, x);
    QFETCH(int, width);
    // Ten design pixels in, at 15 twips each, down to the box's foot.
    const forms::LineEntry line{{150, 0, 150, 300}, 0, widthPixels};
    const forms::LineStroke stroke = forms::lineStroke(line, 15, ratio);
    QCOMPARE(stroke.width, width);
    QCOMPARE(stroke.x1, x);
    QCOMPARE(stroke.x2, x);
    QCOMPARE(stroke.y1, width % 2 == 1 ? 0.5 : 0.0);
    QCOMPARE(stroke.y2 - stroke.y1, std::round(20 * ratio));
  }

  // A raised edge is lit from the top left, a sunken one shaded there.
  void edgesAreLitFromTheTopLeft() {
    for (const auto& [edge, sign] : {std::pair{forms::kRaisedEdge, 1}, {forms::kSunkenEdge, -1}}) {
      QVERIFY(sign * brightness(edge.outerTopLeft) > sign * brightness(edge.outerBottomRight));
      QVERIFY(sign * brightness(edge.innerTopLeft) > sign * brightness(edge.innerBottomRight));
    }
  }

  void aScaleThatCannotBeUsedIsTheDesigns() {
    QCOMPARE(forms::usableTwipsPerPixel(12), 12.0f);
    for (const float unusable : {0.0f, -15.0f, std::numeric_limits<float>::quiet_NaN()}) {
      QCOMPARE(forms::usableTwipsPerPixel(unusable), forms::kDefaultTwipsPerPixel);
    }
  }
};

QTEST_APPLESS_MAIN(WindowRulesTest)
#include "test_window_rules.moc"
