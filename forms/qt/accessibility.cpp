#include "forms/qt/accessibility.h"

#include <utility>

#include <QAccessibleWidget>
#include <QWidget>

#include "forms/qt/form_window.h"

namespace forms::qt {

namespace {

class BoardArea final : public QWidget {
 public:
  BoardArea(QWidget* window, std::function<QString()> describe)
      : QWidget(window), describe_(std::move(describe)) {
    setObjectName(QStringLiteral("board"));
    setAccessibleName(QStringLiteral("Board"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  QString summary() const { return describe_(); }

 private:
  std::function<QString()> describe_;
};

class BoardAccessible final : public QAccessibleWidget {
 public:
  explicit BoardAccessible(BoardArea* area) : QAccessibleWidget(area, QAccessible::Graphic) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Description) {
      return static_cast<const BoardArea*>(widget())->summary();
    }
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
  if (auto* area = dynamic_cast<BoardArea*>(object)) {
    return new BoardAccessible(area);
  }
  // A plain widget would be announced as a filler, not as the window it is; its name is its
  // caption.
  if (className == QLatin1String(FormWindow::staticMetaObject.className())) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  }
  return nullptr;
}

}  // namespace

void installAccessibleFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(accessibleFor);
    return true;
  }();
  static_cast<void>(installed);
}

BoardAnnouncer::BoardAnnouncer(QWidget* window, const QRect& area,
                               std::function<QString()> describe)
    : describe_(std::move(describe)) {
  installAccessibleFactory();
  area_ = new BoardArea(window, describe_);
  area_->setGeometry(area);
  area_->lower();
  // It draws nothing itself; a paint event for it at every step of a run would cost a few
  // percent of the animation's speed.
  area_->setUpdatesEnabled(false);

  active_ = QAccessible::isActive();
  announced_ = describe_();
  QAccessible::installActivationObserver(this);
}

BoardAnnouncer::~BoardAnnouncer() {
  QAccessible::removeActivationObserver(this);
}

void BoardAnnouncer::boardChanged() {
  // A run moves a disk many thousand times a second: the description is compared once per
  // pass of the event loop, however many steps it took.
  if (active_ && !checkPending_) {
    checkPending_ = true;
    QMetaObject::invokeMethod(this, &BoardAnnouncer::announce, Qt::QueuedConnection);
  }
}

void BoardAnnouncer::accessibilityActiveChanged(bool active) {
  active_ = active;
  if (active) {
    announced_ = describe_();
  }
}

void BoardAnnouncer::announce() {
  checkPending_ = false;
  if (!active_) {
    return;
  }
  QString summary = describe_();
  if (summary == announced_) {
    return;
  }
  announced_ = std::move(summary);
  QAccessibleEvent event(area_, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&event);
  emit announced(announced_);
}

}  // namespace forms::qt
