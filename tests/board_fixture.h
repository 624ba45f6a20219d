#pragma once

#include <memory>
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

// One move as seen from outside: the pegs, and how many pumps it made.
struct MoveSeen {
  int from;
  int to;
  long pumps;
  friend bool operator==(const MoveSeen&, const MoveSeen&) = default;
};

// Watches a run pump by pump. Consecutive moves of a solution never share both pegs, so a
// change of the pegs under way marks the next move.
struct MoveLog {
  std::vector<MoveSeen> moves;
  void attach(Board& board) {
    board.runtime.onPump = [this, &board](long) {
      const int from = board.form.intFrom;
      const int to = board.form.intTo;
      if (moves.empty() || moves.back().from != from || moves.back().to != to) {
        moves.push_back({from, to, 0});
      }
      ++moves.back().pumps;
    };
  }
  std::vector<std::pair<int, int>> pegs() const {
    std::vector<std::pair<int, int>> result;
    for (const auto& move : moves) {
      result.emplace_back(move.from, move.to);
    }
    return result;
  }
};
