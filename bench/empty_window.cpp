// The floor for start-up: an empty Qt Widgets window of the program's size. bench_startup
// preloads the same first-paint probe into it as into the program.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setFixedSize(992, 734);
  window.show();
  return QApplication::exec();
}
