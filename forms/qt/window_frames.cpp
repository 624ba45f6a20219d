#include "forms/qt/window_frames.h"

#include <cstdlib>

#include <QGuiApplication>
#include <QString>

#ifdef CORVANE_LINKS_WAYLAND
#include <poll.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstring>
#endif

namespace forms::qt {

namespace {

// The display named in the environment could then be another.
bool connectionHandedOver = false;

#ifdef CORVANE_LINKS_WAYLAND
constexpr const char* kNoQtFrames = "QT_WAYLAND_DISABLE_WINDOWDECORATION";

struct Globals {
  bool framesOffered = false;
  bool listed = false;
};

void noteGlobal(void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, "zxdg_decoration_manager_v1") == 0) {
    static_cast<Globals*>(data)->framesOffered = true;
  }
}

void ignoreRemoval(void*, wl_registry*, std::uint32_t) {}

void noteListed(void* data, wl_callback*, std::uint32_t) {
  static_cast<Globals*>(data)->listed = true;
}

// The compositor's list of globals, waiting at most a second for it: the compositor answered
// Qt a moment ago, and a silent one must not hold up the window.
bool compositorOffersFrames() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    return false;
  }
  Globals globals;
  static const wl_registry_listener registryListener = {noteGlobal, ignoreRemoval};
  static const wl_callback_listener doneListener = {noteListed};
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registryListener, &globals);
  wl_callback* done = wl_display_sync(display);
  wl_callback_add_listener(done, &doneListener, &globals);
  while (!globals.listed) {
    while (wl_display_prepare_read(display) != 0) {
      wl_display_dispatch_pending(display);
    }
    wl_display_flush(display);
    pollfd readable{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&readable, 1, 1000) <= 0) {
      wl_display_cancel_read(display);
      break;
    }
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
      break;
    }
  }
  wl_callback_destroy(done);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return globals.listed && globals.framesOffered;
}
#endif

}  // namespace

void noteCompositorConnection() {
  connectionHandedOver = std::getenv("WAYLAND_SOCKET") != nullptr;
}

void leaveFramesToCompositor() {
#ifdef CORVANE_LINKS_WAYLAND
  if (connectionHandedOver || QGuiApplication::platformName() != QLatin1String("wayland") ||
      qEnvironmentVariableIsSet(kNoQtFrames)) {
    return;
  }
  if (compositorOffersFrames()) {
    qputenv(kNoQtFrames, "1");
  }
#endif
}

}  // namespace forms::qt
