#include <QtTest>

#include <array>
#include <optional>

#include "board_fixture.h"
#include "forms/conversions.h"

namespace {

enum class Action {
  Reset,
  ResetThenMoves,
  Moves,
  Quit,
  NewCount,
  NewDelay,
  ClickCount,
  ClickDelay
};

struct Named {
  Action action;
  const char* name;
};
constexpr std::array<Named, 8> kActions{{{Action::Reset, "reset"},
                                         {Action::ResetThenMoves, "reset then moves"},
                                         {Action::Moves, "moves"},
                                         {Action::Quit, "quit"},
                                         {Action::NewCount, "new count"},
                                         {Action::NewDelay, "new delay"},
                                         {Action::ClickCount, "first click in the count box"},
                                         {Action::ClickDelay, "first click in the delay box"}}};

// Each peg's record lists distinct disks, widest at the bottom, and every disk of the run lies
// on exactly one peg.
bool legal(const Corvane::PegRecords& records, int disks) {
  std::array<int, 7> seen{};
  for (const auto& record : records) {
    if (record.size() % 2 != 0) {
      return false;
    }
    int below = -1;
    for (std::size_t k = 0; k < record.size(); k += 2) {
      const int disk = record[k + 1] - '0';
      if (record[k] != ' ' || disk <= below || disk >= disks) {
        return false;
      }
      below = disk;
      ++seen[static_cast<std::size_t>(disk)];
    }
  }
  for (int d = 0; d < disks; ++d) {
    if (seen[static_cast<std::size_t>(d)] != 1) {
      return false;
    }
  }
  return true;
}

struct Outcome {
  std::array<forms::RectF, 7> rects{};
  std::vector<int> shown;
  long pumps = 0;
};

Outcome outcomeOf(const Board& board) {
  Outcome outcome;
  for (std::size_t d = 0; d < 7; ++d) {
    outcome.rects[d] = board.form.Picture1[d].rect();
  }
  outcome.shown = board.visibleDisks();
  outcome.pumps = board.runtime.pumps();
  return outcome;
}

// A run of `disks` disks at no delay, as the Moves button starts it, but with the records held
// here so that they can be watched; `action` happens in pause number `pause`.
struct Scenario {
  Board board;
  Corvane::PegRecords records;
  Corvane::StackTops levels{};
  bool illegalSeen = false;
  int movingDisk = -1;  // the disk that last stepped before the action

  struct Mover : forms::ControlObserver {
    Scenario* scenario = nullptr;
    void pictureChanged(const forms::PictureBox& box, const forms::RectF&, bool) override {
      for (std::size_t d = 0; d < 7; ++d) {
        if (&box == &scenario->board.form.Picture1[d] && !scenario->acted) {
          scenario->movingDisk = static_cast<int>(d);
        }
      }
    }
    void textChanged(const forms::TextBox&) override {}
  } mover;
  bool acted = false;

  Scenario(int disks, std::optional<std::pair<long, Action>> event) {
    board.prepare(std::to_string(disks));
    mover.scenario = this;
    for (auto& disk : board.form.Picture1) {
      disk.setObserver(&mover);
    }
    for (int d = 0; d < disks; ++d) {
      records[0] += forms::Str(d);
    }
    levels = {0, 6638, 6638};
    board.runtime.onPump = [this, disks](long) { illegalSeen |= !legal(records, disks); };
    if (event) {
      board.runtime.atPump(event->first, [this, action = event->second] { act(action); });
    }
    board.runtime.dispatch([this, disks] {
      board.form.blnIdle = forms::False;
      board.form.subSolve(static_cast<std::int16_t>(disks), "0", "2", "1", levels, records);
    });
  }

  void act(Action action) {
    acted = true;
    Corvane& form = board.form;
    switch (action) {
      case Action::Reset:
        board.press(form.cmdReset);
        break;
      case Action::ResetThenMoves:
        board.press(form.cmdReset);
        board.press(form.cmdMoves);
        break;
      case Action::Moves:
        board.press(form.cmdMoves);
        break;
      case Action::Quit:
        board.press(form.cmdQuit);
        break;
      case Action::NewCount:
        board.type(form.txtNumDisks, "2");
        break;
      case Action::NewDelay:
        board.type(form.txtDelay, "0.01");
        break;
      case Action::ClickCount:
        form.blnClearNumDisks = forms::True;
        board.click(form.txtNumDisks);
        break;
      case Action::ClickDelay:
        form.blnClearDelay = forms::True;
        board.click(form.txtDelay);
        break;
    }
  }
};

}  // namespace

// Every action a user can take, in every pause of every run of one to three disks.
class EveryInterleavingTest : public QObject {
  Q_OBJECT

 private slots:
  void everyActionInEveryPause_data() {
    QTest::addColumn<int>("disks");
    for (int n = 1; n <= 3; ++n) {
      QTest::newRow(qPrintable(QString("%1 disks").arg(n))) << n;
    }
  }
  void everyActionInEveryPause() {
    QFETCH(int, disks);
    const Scenario quiet(disks, std::nullopt);
    const Outcome undisturbed = outcomeOf(quiet.board);
    QVERIFY(!quiet.illegalSeen);
    std::string solved;
    for (int d = 0; d < disks; ++d) {
      solved += forms::Str(d);
    }
    const Corvane::PegRecords finalRecords{"", "", solved};
    QCOMPARE(quiet.records, finalRecords);

    for (long pause = 1; pause <= undisturbed.pumps; ++pause) {
      for (const auto& [action, name] : kActions) {
        const Scenario run(disks, std::make_pair(pause, action));
        const Outcome seen = outcomeOf(run.board);
        const QByteArray where = QString("%1 in pause %2").arg(name).arg(pause).toUtf8();
        QVERIFY2(!run.illegalSeen, where);
        QVERIFY2(run.board.form.strDisk.empty() && run.board.form.strPegRest.empty(), where);

        if (action == Action::Quit) {
          // Nothing ran after the quit: no further pump, the run's bookkeeping stopped too.
          QVERIFY2(run.board.runtime.ended() && run.board.runtime.unloaded(), where);
          QVERIFY2(seen.pumps == pause, where);
          continue;
        }
        QVERIFY2(!run.board.runtime.ended(), where);
        // The solver books every move to the end, whatever happened on screen.
        QVERIFY2(run.records == finalRecords, where);

        const Corvane& form = run.board.form;
        switch (action) {
          case Action::Reset:
            QVERIFY2(form.blnIdle == forms::True && seen.shown.empty(), where);
            QVERIFY2(form.txtNumDisks.Text().empty() && form.txtDelay.Text().empty(), where);
            // Only the disk that was moving may have left its design place.
            for (std::size_t d = 0; d < 7; ++d) {
              if (static_cast<int>(d) != run.movingDisk) {
                QVERIFY2(seen.rects[d].left == form.intHomeLeft[d] &&
                             seen.rects[d].top == form.intHomeTop[d],
                         where);
              }
            }
            break;
          case Action::ResetThenMoves:
            // The press found no count, so nothing new ran, but it cleared the flag again:
            // the stopped run carries on, with every disk hidden.
            QVERIFY2(form.blnIdle == forms::False && seen.shown.empty(), where);
            break;
          case Action::Moves:
          case Action::NewDelay:
          case Action::ClickDelay:
            // Nothing on the board differs from the undisturbed run.
            QVERIFY2(seen.rects == undisturbed.rects && seen.shown == undisturbed.shown, where);
            QVERIFY2(action != Action::Moves || seen.pumps == undisturbed.pumps, where);
            break;
          case Action::NewCount:
            QVERIFY2(seen.shown == (std::vector<int>{0, 1}), where);
            break;
          case Action::ClickCount:
            QVERIFY2(seen.shown.empty(), where);
            break;
          case Action::Quit:
            break;
        }
      }
    }
  }
};

QTEST_APPLESS_MAIN(EveryInterleavingTest)
#include "test_every_interleaving.moc"
