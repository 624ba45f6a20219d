// Memory after large pastes: 200 pastes of 100 KB into each box of the real window, then the
// process's peak resident memory. Side by side, the same pastes into plain Qt line edits, which
// keep every paste in their undo history. Two ways of pasting: at the cursor, and over the whole
// text (select all, then paste). Each measurement runs in a fresh process; resident memory
// varies by less than 0.1 MiB between runs, so one of each is enough.
//   bench_paste [SCREEN-LABEL]

#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/shown_window.h"
#include "forms/qt/application.h"

namespace {

constexpr int kPastes = 200;
constexpr int kPasteBytes = 100 * 1024;
constexpr double kBoundMegabytes = 64;

// Peak resident memory of this process so far, in MiB.
double peakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stod(line.substr(6)) / 1024.0;
    }
  }
  return -1;
}

// A key pressed and released with Ctrl held, as the keyboard delivers it.
void control(QLineEdit* edit, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
  QCoreApplication::sendEvent(edit, &press);
  QCoreApplication::sendEvent(edit, &release);
}

void pasteInto(QLineEdit* edit, bool overWholeText) {
  edit->setFocus();
  edit->end(false);
  for (int i = 0; i < kPastes; ++i) {
    if (overWholeText) {
      control(edit, Qt::Key_A);
    }
    control(edit, Qt::Key_V);
    QCoreApplication::processEvents();
  }
}

// One trial, in this process: pastes into both boxes and prints the peak.
int child(bool window, bool overWholeText) {
  std::string text;
  while (text.size() < static_cast<std::size_t>(kPasteBytes)) {
    text += "3.14159 26535 ";
  }
  text.resize(kPasteBytes);
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
  std::vector<QLineEdit*> edits;
  std::unique_ptr<bench::Stage> stage;
  QWidget plain;
  if (window) {
    stage = std::make_unique<bench::Stage>();
    edits = {stage->window.findChild<QLineEdit*>("txtNumDisks"),
             stage->window.findChild<QLineEdit*>("txtDelay")};
  } else {
    edits = {new QLineEdit(&plain), new QLineEdit(&plain)};
    edits[1]->move(0, 40);
    plain.show();
    bench::Stage::settle();
  }
  for (QLineEdit* edit : edits) {
    pasteInto(edit, overWholeText);
  }
  bench::Stage::settle();
  std::printf("%.1f %d\n", peakMegabytes(),
              static_cast<int>(edits[0]->text().size() + edits[1]->text().size()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && std::strcmp(argv[1], "--child") == 0) {
    forms::qt::prepareWindowSystem();
    QApplication application(argc, argv);
    return child(std::strcmp(argv[2], "window") == 0, std::strcmp(argv[3], "whole") == 0);
  }
  const std::string screen = argc > 1 ? argv[1] : "default";
  for (const char* how : {"cursor", "whole"}) {
    double ours = -1;
    double plain = -1;
    for (const char* kind : {"window", "plain"}) {
      const std::string command =
          "'/proc/" + std::to_string(::getpid()) + "/exe' --child " + kind + " " + how;
      FILE* pipe = ::popen(command.c_str(), "r");
      double peak = -1;
      int length = 0;
      if (pipe == nullptr || std::fscanf(pipe, "%lf %d", &peak, &length) != 2) {
        std::fprintf(stderr, "bench_paste: a run failed\n");
      }
      if (pipe != nullptr) {
        ::pclose(pipe);
      }
      (std::strcmp(kind, "window") == 0 ? ours : plain) = peak;
    }
    const bool whole = std::strcmp(how, "whole") == 0;
    bench::row(
        std::string("200 pastes of 100 KB into each box, ") +
            (whole ? "each over the whole text" : "at the cursor") + ": peak resident memory, MiB",
        screen, bench::format("%.1f", ours), "plain Qt line edits: " + bench::format("%.1f", plain),
        "< 64",
        ours < 0 ? "no, failed" : bench::atMost(ours, kBoundMegabytes - 0.05, "%.1f", " MiB"));
  }
  return 0;
}
