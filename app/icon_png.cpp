// Writes the program's icon as the PNG files of the hicolor icon theme, for the package:
//   zentrova-icon-png DIR NAME SIZE...   makes DIR/SIZExSIZE/apps/NAME.png for each size.
#include <QDir>
#include <QImage>
#include <QString>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "app/icon.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "Usage: zentrova-icon-png DIR NAME SIZE...\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[2]);
  for (int i = 3; i < argc; ++i) {
    int size = 0;
    const char* end = argv[i] + std::strlen(argv[i]);
    const auto [ptr, ec] = std::from_chars(argv[i], end, size);
    if (ec != std::errc() || ptr != end || size < 1 || size > 1024) {
      std::fprintf(stderr, "zentrova-icon-png: bad size '%s'\n", argv[i]);
      return 2;
    }
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
    const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
    if (!QDir().mkpath(dir) || !ZentrovaIconImage(size).save(file, "PNG")) {
      std::fprintf(stderr, "zentrova-icon-png: cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
