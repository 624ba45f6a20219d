#pragma once

#include <QtTest>

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <cmath>

#include "board/corvane.h"
#include "forms/qt/stage.h"

// What the tests of the real window share: the window as the program shows it, and how a user
// reaches its controls.
namespace window_test {

using Screen = forms::qt::Stage<Corvane>;
using Sleep = forms::qt::QtRuntime::Sleep;

inline QWidget* control(Screen& screen, const char* name) {
  return screen.window.findChild<QWidget*>(name);
}
inline QString shownText(Screen& screen, const char* box) {
  return screen.window.findChild<QLineEdit*>(box)->text();
}
inline void click(Screen& screen, const char* name, Qt::MouseButton button = Qt::LeftButton) {
  QTest::mouseClick(control(screen, name), button);
}
// As a user does it: click into the box, then type.
inline void type(Screen& screen, const char* box, const QString& text) {
  click(screen, box);
  QTest::keyClicks(control(screen, box), text);
}
// The whole window painted afresh.
inline QImage grab(Screen& screen) {
  return screen.window.grab().toImage();
}
// What the screen shows: on the offscreen platform, what the window has painted step by step.
inline QImage onScreen(Screen& screen) {
  QCoreApplication::processEvents();
  return screen.window.screen()->grabWindow(screen.window.winId()).toImage();
}

// Twips to device pixels, at 15 twips to a pixel and `ratio` device pixels to a pixel.
inline int px(double twips, double ratio = 1.0) {
  return static_cast<int>(std::lround(twips / 15 * ratio));
}
inline QRect px(const forms::RectF& twips, double ratio = 1.0) {
  const int left = px(twips.left, ratio);
  const int top = px(twips.top, ratio);
  return {left, top, px(static_cast<double>(twips.left) + twips.width, ratio) - left,
          px(static_cast<double>(twips.top) + twips.height, ratio) - top};
}

// Runs this test program again with `arguments`, on a screen scaled by `scale`; false when it has
// not ended within a minute.
inline bool runAgain(QProcess& copy, const QStringList& arguments, double scale = 1.0) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_SCALE_FACTOR", QString::number(scale));
  copy.setProcessEnvironment(environment);
  copy.start(QCoreApplication::applicationFilePath(), arguments);
  return copy.waitForFinished(60'000);
}

// Runs the tests of `test` in an application on Qt's offscreen platform (or whatever
// QT_QPA_PLATFORM says) at 96 dots per inch. Only the program decides when it is over.
inline int runTests(QObject& test, int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setAttribute(Qt::AA_Use96Dpi);
  QApplication::setQuitOnLastWindowClosed(false);
  return QTest::qExec(&test, argc, argv);
}

}  // namespace window_test
