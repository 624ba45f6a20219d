#include "forms/qt/frame_pacer.h"

#include <QBackingStore>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace forms::qt {

namespace {

// Qt's Wayland platforms ("wayland", "wayland-egl", ...) deliver a window's update request when
// the compositor's frame callback comes, and at once when none is awaited.
bool pacedByFrames() {
  return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

FramePacer::~FramePacer() {
  if (handle_ != nullptr) {
    handle_->removeEventFilter(this);
  }
}

void FramePacer::flush(QWidget& window, QBackingStore& store, const QRegion& region) {
  QWindow* handle = window.windowHandle();
  if (handle != handle_ || &window != window_) {
    if (handle_ != nullptr) {
      handle_->removeEventFilter(this);
    }
    window_ = &window;
    handle_ = handle;
    paced_ = handle != nullptr && pacedByFrames();
    pending_ = QRegion();
    requested_ = false;
    if (paced_) {
      handle->installEventFilter(this);
    }
  }
  if (!paced_) {
    store.flush(region, handle);
    return;
  }
  pending_ += region;
  if (!requested_) {
    requested_ = true;
    handle->requestUpdate();
  }
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event) {
  // A widget's window answers its own update requests with a repaint of the whole widget; this
  // one was asked for here, and only what was painted meanwhile is sent.
  if (event->type() != QEvent::UpdateRequest || watched != handle_ || !requested_) {
    return false;
  }
  requested_ = false;
  QBackingStore* store = window_ != nullptr ? window_->backingStore() : nullptr;
  // Not shown, the window is painted whole once it is shown again.
  if (store != nullptr && handle_->isExposed() && !pending_.isEmpty()) {
    store->flush(pending_, handle_);
  }
  pending_ = QRegion();
  return true;
}

}  // namespace forms::qt
