#include "bench/display_writes.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <QGuiApplication>

namespace {

int displayFd = -1;
bench::DisplayWrites written;

void note(int fd, ssize_t bytes) {
  if (bytes > 0 && fd == displayFd) {
    written.bytes += bytes;
    ++written.writes;
  }
}

}  // namespace

extern "C" ssize_t writev(int fd, const iovec* vector, int count) {
  using Real = ssize_t (*)(int, const iovec*, int);
  static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "writev"));
  const ssize_t bytes = real(fd, vector, count);
  note(fd, bytes);
  return bytes;
}

extern "C" ssize_t sendmsg(int fd, const msghdr* message, int flags) {
  using Real = ssize_t (*)(int, const msghdr*, int);
  static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "sendmsg"));
  const ssize_t bytes = real(fd, message, flags);
  note(fd, bytes);
  return bytes;
}

namespace bench {

// The connection's descriptor, asked of the X client library Qt has loaded.
void watchDisplay() {
  auto* x11 = QGuiApplication::platformName() == QStringLiteral("xcb")
                  ? qApp->nativeInterface<QNativeInterface::QX11Application>()
                  : nullptr;
  using GetFd = int (*)(xcb_connection_t*);
  const auto getFd = reinterpret_cast<GetFd>(::dlsym(RTLD_DEFAULT, "xcb_get_file_descriptor"));
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  displayFd = connection != nullptr && getFd != nullptr ? getFd(connection) : -1;
}

DisplayWrites displayWrites() {
  return written;
}

}  // namespace bench
