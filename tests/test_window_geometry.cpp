#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

#include "forms/qt/damage_geometry.h"
#include "forms/window_rules.h"

using forms::qt::Alike;
using forms::qt::Damage;
using forms::qt::damageOf;
using forms::qt::Surroundings;

namespace {

// Brightness as the eye roughly weighs it, enough to tell light from shade.
int brightness(forms::Rgb rgb) {
  return static_cast<int>(((rgb >> 16) & 0xFF) * 3 + ((rgb >> 8) & 0xFF) * 6 + (rgb & 0xFF));
}

QRegion repainted(const Damage& damage) {
  QRegion region;
  for (const QRect& rect : damage.repaint) {
    region += rect;
  }
  return region;
}

bool sameRects(const std::array<QRect, 2>& got, std::array<QRect, 2> expected) {
  return got == expected || got == std::array<QRect, 2>{expected[1], expected[0]};
}

}  // namespace

// The window's rules, shared by every edition (tab order, lines on whole device pixels, edges,
// the twips scale), and what the desktop window repaints when a picture box moves.
class WindowGeometryTest : public QObject {
  Q_OBJECT

  const QRect client_{0, 0, 100, 100};
  std::vector<QRect> controls_{QRect(80, 80, 20, 20)};

  Surroundings around(const std::vector<QRect>& inFront, double ratio = 1) const {
    return {client_, controls_, inFront, ratio};
  }

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

  // A box whose rows are all alike, moved down, changes the rows it uncovers and newly covers;
  // moved sideways, whose columns are not alike, its pixels move.
  void aSlideChangesOnlyTheStripsOrMoves() {
    const std::vector<QRect> none;
    const QRect from(10, 10, 20, 30);
    Damage down = damageOf(from, from.translated(0, 5), Alike{30, 1}, around(none));
    QVERIFY(down.moved.isEmpty());
    QVERIFY(sameRects(down.repaint, {QRect(10, 10, 20, 5), QRect(10, 40, 20, 5)}));

    Damage aside = damageOf(from, from.translated(-4, 0), Alike{30, 1}, around(none));
    QCOMPARE(aside.moved, from);
    QCOMPARE(aside.delta, QPoint(-4, 0));
    // What the box uncovers on its right.
    QVERIFY(sameRects(aside.repaint, {QRect(26, 10, 4, 30), QRect()}));
  }

  // Pixels are not moved when something would be carried along or torn, or the move is not
  // one of whole logical pixels; the old and new places are repainted instead.
  void aMoveThatCannotCopyRepaints_data() {
    QTest::addColumn<QRect>("from");
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<QRect>("inFront");
    QTest::addColumn<double>("ratio");
    QTest::newRow("under a box") << QRect(10, 10, 20, 20) << QPoint(6, 0) << QRect(34, 5, 4, 10)
                                 << 1.0;
    QTest::newRow("onto a control") << QRect(58, 80, 20, 20) << QPoint(4, 0) << QRect() << 1.0;
    QTest::newRow("out of the window") << QRect(0, 10, 20, 20) << QPoint(-2, 0) << QRect() << 1.0;
    QTest::newRow("half a pixel at 2x") << QRect(10, 10, 21, 20) << QPoint(3, 0) << QRect() << 2.0;
    QTest::newRow("at 1.5x") << QRect(12, 12, 18, 18) << QPoint(6, 0) << QRect() << 1.5;
    QTest::newRow("diagonally") << QRect(10, 10, 20, 20) << QPoint(2, 2) << QRect() << 1.0;
  }
  void aMoveThatCannotCopyRepaints() {
    QFETCH(QRect, from);
    QFETCH(QPoint, by);
    QFETCH(QRect, inFront);
    QFETCH(double, ratio);
    const std::vector<QRect> front{inFront};
    const QRect to = from.translated(by);
    const Damage damage = damageOf(from, to, Alike{1, 1}, around(front, ratio));
    QVERIFY(damage.moved.isEmpty());
    // Everything the box covered or covers, but what the box in front keeps.
    const QRegion kept(inFront);
    QCOMPARE(repainted(damage).subtracted(kept), QRegion(from).united(to).subtracted(kept));
  }

  // What a box in front hides is left alone, where that leaves a rectangle.
  void boxesInFrontKeepTheirPixels() {
    const std::vector<QRect> front{QRect(0, 0, 100, 15), QRect(70, 0, 30, 100)};
    const Damage shown = damageOf(QRect(), QRect(10, 10, 20, 20), Alike{}, around(front));
    QVERIFY(sameRects(shown.repaint, {QRect(), QRect(10, 15, 20, 15)}));
    const Damage hidden = damageOf(QRect(60, 20, 20, 20), QRect(), Alike{}, around(front));
    QVERIFY(sameRects(hidden.repaint, {QRect(60, 20, 10, 20), QRect()}));
    const Damage still = damageOf(QRect(5, 5, 5, 5), QRect(5, 5, 5, 5), Alike{}, around(front));
    QVERIFY(sameRects(still.repaint, {QRect(), QRect()}));
  }

  // Device and logical pixels: whatever a rectangle touches, at ratios that do and do not
  // divide it.
  void devicePixelsAndLogicalOnesCoverEachOther() {
    using forms::qt::covering;
    using forms::qt::toLogical;
    QCOMPARE(toLogical(QRect(3, 3, 3, 3), 1.5), QRect(2, 2, 2, 2));
    QCOMPARE(toLogical(QRect(4, 4, 2, 2), 2), QRect(2, 2, 1, 1));
    QCOMPARE(toLogical(QRect(5, 4, 2, 2), 2), QRect(2, 2, 2, 1));
    QCOMPARE(covering(QRect(1, 1, 1, 1), 1.5), QRect(1, 1, 2, 2));
    QCOMPARE(covering(QRect(2, 2, 2, 2), 1.5), QRect(3, 3, 3, 3));
    QCOMPARE(covering(QRect(2, 2, 1, 1), 2), QRect(4, 4, 2, 2));
  }
};

QTEST_APPLESS_MAIN(WindowGeometryTest)
#include "test_window_geometry.moc"
