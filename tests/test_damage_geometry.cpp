#include <QtTest>

#include <vector>

#include "forms/qt/damage_geometry.h"

using forms::qt::Alike;
using forms::qt::Damage;
using forms::qt::damageOf;
using forms::qt::Surroundings;

namespace {

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

class DamageGeometryTest : public QObject {
  Q_OBJECT

  const QRect client_{0, 0, 100, 100};
  std::vector<QRect> controls_{QRect(80, 80, 20, 20)};

  Surroundings around(const std::vector<QRect>& inFront, double ratio = 1) const {
    return {client_, controls_, inFront, ratio};
  }

 private slots:
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

QTEST_APPLESS_MAIN(DamageGeometryTest)
#include "test_damage_geometry.moc"
