// The floor for start-up: an empty Qt Widgets window of the program's size that answers the
// launcher as the program's start-up probe does (first finished paint, then close at once).

#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

namespace {

class FirstPaint final : public QObject {
 public:
  FirstPaint(QWidget& window, int fd) : window_(window), fd_(fd) {
    window.installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      window_.removeEventFilter(this);
      QTimer::singleShot(0, &window_, [this] {
        [[maybe_unused]] const ssize_t written = ::write(fd_, "shown\n", 6);
        window_.close();
      });
    }
    return false;
  }

 private:
  QWidget& window_;
  int fd_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setFixedSize(992, 734);
  const char* fd = std::getenv("CORVANE_PROBE_FD");
  FirstPaint probe(window, fd != nullptr ? std::atoi(fd) : 2);
  window.show();
  return QApplication::exec();
}
