#pragma once

#include <QObject>
#include <QPointer>
#include <QRegion>

class QBackingStore;
class QWidget;
class QWindow;

namespace forms::qt {

// Sends what was painted into a window's image to the screen. Where the window system tells
// when it is ready for the next frame (Wayland's frame callbacks), everything painted meanwhile
// goes in one commit once it is: a compositor shows at most one frame per refresh, and a commit
// between two of them is work nobody sees. Nothing ever waits for a frame: a window that gets
// none, covered or minimised, keeps painting, and what it painted is shown when it is seen
// again. Elsewhere each flush goes to the screen at once.
class FramePacer final : public QObject {
 public:
  FramePacer() = default;
  ~FramePacer() override;
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // Sends `region` of `window`, in logical pixels, from `store`, the window's own, now or with
  // the next frame.
  void flush(QWidget& window, QBackingStore& store, const QRegion& region);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
  QPointer<QWindow> handle_;
  bool paced_ = false;
  // Painted and not yet sent, and whether the next frame has been asked for.
  QRegion pending_;
  bool requested_ = false;
};

}  // namespace forms::qt
