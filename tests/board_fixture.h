#pragma once

#include <string>
#include <utility>
#include <vector>

#include "board/corvane.h"
#include "forms/headless/headless_runtime.h"

// A window on the headless runtime, loaded as at start-up, with the user's gestures as
// methods. Every gesture goes through the runtime's dispatch, as a real event would.
struct Board {
  forms::headless::HeadlessRuntime runtime;
  Corvane form{runtime};

  explicit Board(double uptime = 0.0) : runtime(uptime) { form.Form_Load(); }

  void type(forms::TextBox& box, const std::string& text) {
    runtime.dispatch([&box, text] { box.setText(text); });
  }
  void click(forms::TextBox& box) {
    runtime.dispatch([&box] { box.click(); });
  }
  void press(forms::CommandButton& button) {
    runtime.dispatch([&button] { button.click(); });
  }
  // Types a count and a delay the way a user would: click into each box first.
  void prepare(const std::string& count, const std::string& delay = "0") {
    click(form.txtNumDisks);
    type(form.txtNumDisks, count);
    click(form.txtDelay);
    type(form.txtDelay, delay);
  }

  std::vector<int> visibleDisks() const {
    std::vector<int> shown;
    for (std::size_t i = 0; i < form.Picture1.size(); ++i) {
      if (form.Picture1[i].Visible() != forms::False) {
        shown.push_back(static_cast<int>(i));
      }
    }
    return shown;
  }
  bool disksAtHome() const {
    for (std::size_t i = 0; i < form.Picture1.size(); ++i) {
      if (form.Picture1[i].Left() != form.intHomeLeft[i] ||
          form.Picture1[i].Top() != form.intHomeTop[i]) {
        return false;
      }
    }
    return true;
  }
};

// The moves of a run as seen from outside, pump by pump: the pegs, and how many pumps each
// took. Consecutive moves of a solution never share both pegs, so a change of the pegs under
// way marks the next move.
struct MoveLog {
  std::vector<std::pair<int, int>> pegs;
  std::vector<long> pumps;
  Board& board;
  explicit MoveLog(Board& watched) : board(watched) {
    board.runtime.onPump = [this](long) {
      const std::pair<int, int> move{board.form.intFrom, board.form.intTo};
      if (pegs.empty() || pegs.back() != move) {
        pegs.push_back(move);
        pumps.push_back(0);
      }
      ++pumps.back();
    };
  }
  ~MoveLog() { board.runtime.onPump = nullptr; }
  MoveLog(const MoveLog&) = delete;
  MoveLog& operator=(const MoveLog&) = delete;
};
