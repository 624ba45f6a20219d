// The floor for start-up of a window that shows text: a plain Qt Widgets window of the program's
// size that draws one line in the font of the program's entry boxes. bench_startup preloads the
// same first-paint probe into it as into the program.

#include <QApplication>
#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include "board/layout.h"

namespace {

class TextWindow final : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QFont font(QString::fromLatin1(board::kEntryFontFamily));
    font.setStyleHint(QFont::Serif);
    font.setBold(true);
    font.setPointSizeF(board::kEntryFontPoints);
    painter.setFont(font);
    painter.drawText(QPoint(320, 600), QString::fromLatin1(board::kNumDisksBox.prompt));
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  TextWindow window;
  window.setFixedSize(992, 734);
  window.show();
  return QApplication::exec();
}
