#include <QtTest>

#include <vector>

#include "forms/qt/command_line.h"
#include "window_fixture.h"

using namespace window_test;

// The command line's demo options, carried out on the real window.
class DemoOptionsTest : public QObject {
  Q_OBJECT

 private slots:
  // The demo options click into a box and type, or press Moves, through the user's handlers and
  // in their own order, whatever the order given; a value the box cannot use counts as typed.
  void demoOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("count") << QStringList{"--disks", "3"} << "clicked 3: 3 shown, 0 right, idle";
    QTest::newRow("bad count") << QStringList{"--disks=9"} << "clicked 9: 1 shown, 0 right, idle";
    QTest::newRow("run") << QStringList{"--run", "--delay", "0", "--disks", "2"}
                         << "clicked 2: 2 shown, 2 right, busy";
    QTest::newRow("run alone") << QStringList{"--run"} << "Disks (1-7): 0 shown, 0 right, busy";
  }
  void demoOptions() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const forms::CommandLine options{"corvane",
                                     "",
                                     "",
                                     {{"disks", "N", "", "txtNumDisks"},
                                      {"delay", "S", "", "txtDelay"},
                                      {"run", "", "", "cmdMoves"}}};
    std::vector<forms::qt::DemoRequest> demo;
    QVERIFY(!forms::qt::parseCommandLine(QStringList("corvane") + arguments, options, demo));
    Screen screen;
    forms::qt::scheduleDemo(screen.runtime, screen.window, screen.form.describe(), demo);
    const auto observed = [&form = screen.form, &screen] {
      const float middle = form.Picture3[1].Left() + form.Picture3[1].Width();
      int shown = 0;
      int right = 0;
      for (const forms::PictureBox& disk : form.Picture1) {
        shown += disk.Visible() ? 1 : 0;
        right += disk.Visible() && disk.Left() + disk.Width() / 2 > middle ? 1 : 0;
      }
      return QString("%1%2: %3 shown, %4 right, %5")
          .arg(form.blnClearNumDisks ? "" : "clicked ", shownText(screen, "txtNumDisks"))
          .arg(shown)
          .arg(right)
          .arg(form.blnIdle ? "idle" : "busy");
    };
    QTRY_COMPARE(observed(), expected);
  }
};

int main(int argc, char** argv) {
  DemoOptionsTest test;
  return runTests(test, argc, argv);
}

#include "test_demo_options.moc"
