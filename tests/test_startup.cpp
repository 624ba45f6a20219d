#include <QtTest>

#include <array>

#include "board/corvane.h"
#include "forms/headless/headless_runtime.h"

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void loadLeavesTheBoardReady() {
    forms::headless::HeadlessRuntime runtime;
    Corvane form(runtime);
    form.Form_Load();

    for (const auto& disk : form.Picture1) {
      QCOMPARE(disk.Visible(), forms::False);
    }
    for (const auto& piece : form.Picture2) {
      QCOMPARE(piece.Visible(), forms::True);
    }
    for (const auto& piece : form.Picture3) {
      QCOMPARE(piece.Visible(), forms::True);
    }
    QCOMPARE(form.blnIdle, forms::True);
    QCOMPARE(form.blnClearNumDisks, forms::True);
    QCOMPARE(form.blnClearDelay, forms::True);
    QCOMPARE(form.intFrom, std::int16_t{0});
    QCOMPARE(form.intTo, std::int16_t{0});
    QVERIFY(form.strPegRest.empty());
    QVERIFY(form.strDisk.empty());
    QCOMPARE(QString::fromStdString(form.txtNumDisks.Text()), QString("Disks (1-7)"));
    QCOMPARE(QString::fromStdString(form.txtDelay.Text()), QString("Delay (s)"));

    const std::array<std::int16_t, 7> left{1208, 1448, 1718, 1928, 2168, 2408, 2648};
    const std::array<std::int16_t, 7> top{6158, 5678, 5198, 4718, 4238, 3758, 3278};
    QCOMPARE(form.intHomeLeft, left);
    QCOMPARE(form.intHomeTop, top);
  }

  // Home positions come from where the disks stand, not from constants, and are taken after
  // each disk is hidden; a half-twip position rounds to the even neighbour.
  void homePositionsFollowTheControls() {
    forms::headless::HeadlessRuntime runtime;
    Corvane form(runtime);
    form.Picture1[3].setLeft(2000.5f);
    form.Picture1[3].setTop(4001.5f);
    std::array<bool, 7> hiddenWhenRead{};
    struct Watch : forms::ControlObserver {
      Corvane* form;
      std::array<bool, 7>* hidden;
      void pictureChanged(const forms::PictureBox& box, const forms::RectF&, bool) override {
        for (std::size_t i = 0; i < 7; ++i) {
          // Hiding is the only change start-up makes to a disk, and the homes are still empty.
          if (&box == &form->Picture1[i]) {
            (*hidden)[i] = form->intHomeLeft[i] == 0 && box.Visible() == forms::False;
          }
        }
      }
      void textChanged(const forms::TextBox&) override {}
    } watch;
    watch.form = &form;
    watch.hidden = &hiddenWhenRead;
    for (auto& disk : form.Picture1) {
      disk.setObserver(&watch);
    }
    form.Form_Load();
    QCOMPARE(form.intHomeLeft[3], std::int16_t{2000});
    QCOMPARE(form.intHomeTop[3], std::int16_t{4002});
    for (bool hidden : hiddenWhenRead) {
      QVERIFY(hidden);
    }
  }
};

QTEST_APPLESS_MAIN(StartupTest)
#include "test_startup.moc"
