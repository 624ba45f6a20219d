// Draws the README's pictures with the window's own drawing code, on Qt's offscreen platform:
//   render_pictures OUTPUT-DIRECTORY [STEPS-PER-FRAME]
// writes OUTPUT-DIRECTORY/window.png, the window with five disks on the left peg, and
// OUTPUT-DIRECTORY/frames/NNN.png, the window grabbed every STEPS-PER-FRAME steps (default 24)
// of a real three-disk run at delay 0, from the first stack to the last.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "board/corvane.h"
#include "forms/qt/stage.h"

namespace {

bool save(QWidget& window, const QString& path) {
  if (window.grab().toImage().save(path)) {
    return true;
  }
  std::fprintf(stderr, "render_pictures: cannot write %s\n", qPrintable(path));
  return false;
}

// Sits between the disks and the window: passes every change on, and every so many steps
// keeps a frame.
class FrameTaker final : public forms::ControlObserver {
 public:
  FrameTaker(Corvane& form, forms::qt::FormWindow& window, QDir directory, int stepsPerFrame)
      : form_(form), window_(window), directory_(std::move(directory)), every_(stepsPerFrame) {
    for (forms::PictureBox& disk : form_.Picture1) {
      disk.setObserver(this);
    }
  }
  ~FrameTaker() override {
    for (forms::PictureBox& disk : form_.Picture1) {
      disk.setObserver(&window_);
    }
  }
  FrameTaker(const FrameTaker&) = delete;
  FrameTaker& operator=(const FrameTaker&) = delete;

  void pictureChanged(const forms::PictureBox& box, const forms::RectF& before,
                      bool wasVisible) override {
    window_.pictureChanged(box, before, wasVisible);
    if (++steps_ % every_ == 0) {
      take();
    }
  }
  void textChanged(const forms::TextBox& box) override { window_.textChanged(box); }

  void take() {
    ok_ = save(window_, directory_.filePath(
                            QStringLiteral("%1.png").arg(frames_++, 3, 10, QLatin1Char('0')))) &&
          ok_;
  }
  bool ok() const { return ok_; }
  int frames() const { return frames_; }
  long steps() const { return steps_; }

 private:
  Corvane& form_;
  forms::qt::FormWindow& window_;
  QDir directory_;
  int every_;
  long steps_ = 0;
  int frames_ = 0;
  bool ok_ = true;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: render_pictures OUTPUT-DIRECTORY [STEPS-PER-FRAME]\n", stderr);
    return 2;
  }
  const int stepsPerFrame = argc > 2 ? std::max(1, std::atoi(argv[2])) : 24;
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  QDir output(QString::fromLocal8Bit(argv[1]));
  if (!output.mkpath(QStringLiteral("frames"))) {
    std::fprintf(stderr, "render_pictures: cannot create %s/frames\n", argv[1]);
    return 1;
  }

  forms::qt::Stage<Corvane> stage;
  Corvane& form = stage.form;
  forms::qt::FormWindow& window = stage.window;
  QCoreApplication::processEvents();
  // No focus mark in the pictures.
  if (QWidget* focused = QApplication::focusWidget()) {
    focused->clearFocus();
  }

  stage.runtime.dispatch([&form] { form.txtNumDisks.setText("5"); });
  if (!save(window, output.filePath(QStringLiteral("window.png")))) {
    return 1;
  }

  stage.runtime.dispatch([&form] {
    form.txtNumDisks.setText("3");
    form.txtDelay.setText("0");
  });
  FrameTaker frames(form, window, QDir(output.filePath(QStringLiteral("frames"))), stepsPerFrame);
  frames.take();
  stage.runtime.dispatch([&form] { form.cmdMoves.click(); });
  if (frames.steps() % stepsPerFrame != 0) {
    frames.take();
  }
  std::printf("window.png and %d frames, one every %d of %ld steps\n", frames.frames(),
              stepsPerFrame, frames.steps());
  return frames.ok() ? 0 : 1;
}
