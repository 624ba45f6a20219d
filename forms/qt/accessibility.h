#pragma once

#include <functional>

#include <QAccessible>
#include <QObject>
#include <QRect>
#include <QString>

class QWidget;

namespace forms::qt {

// Lets assistive technology know a form's window as a window named by its caption, and the board
// as a picture. Must run before anything asks for the window's accessible object.
void installAccessibleFactory();

// The area of the picture boxes is one picture as far as assistive technology is concerned:
// an unfocusable widget under the window's controls whose description says, in words the form
// supplies, what the boxes show. That description is worked out only when asked for; a change
// of it is announced only while an accessibility client listens, at most once per pass of the
// event loop, and only when it differs from the last announcement.
class BoardAnnouncer final : public QObject, private QAccessible::ActivationObserver {
  Q_OBJECT

 public:
  // Places the area at `area` in `window`, under every other child. The window must outlive the
  // announcer.
  BoardAnnouncer(QWidget* window, const QRect& area, std::function<QString()> describe);
  ~BoardAnnouncer() override;
  BoardAnnouncer(const BoardAnnouncer&) = delete;
  BoardAnnouncer& operator=(const BoardAnnouncer&) = delete;

  // Something on the board changed; the description is compared once the event loop comes
  // round.
  void boardChanged();

 signals:
  // Raised with every announcement of a changed description.
  void announced(const QString& summary);

 private:
  void accessibilityActiveChanged(bool active) override;
  void announce();

  QWidget* area_;
  std::function<QString()> describe_;
  bool active_ = false;
  bool checkPending_ = false;
  QString announced_;
};

}  // namespace forms::qt
