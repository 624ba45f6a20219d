// Writes the application icon as PNG files for the desktop's icon theme, from the same picture
// code as the window icon: export_icons <folder> <size>...
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "board/pictures.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <output folder> <size>...\n", argv[0]);
    return 2;
  }
  for (int k = 2; k < argc; ++k) {
    const int size = std::atoi(argv[k]);
    const forms::Image icon = board::iconPicture(size);
    if (icon.width != size || icon.height != size) {
      std::fprintf(stderr, "no icon of size %s\n", argv[k]);
      return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        image.setPixel(x, y, icon.pixel(x, y));
      }
    }
    const QString path = QString("%1/%2x%2.png").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (!image.save(path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
