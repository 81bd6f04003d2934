// Renders the program's SVG icon as a square PNG of the given size, for the icon theme's fixed
// sizes (desktops that cannot scale SVG pick those).
//   vireo-render-icon SVG SIZE PNG
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: vireo-render-icon SVG SIZE PNG\n", stderr);
    return 2;
  }
  QGuiApplication application(argc, argv);
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  const int size = QByteArray(argv[2]).toInt();
  if (!renderer.isValid() || size <= 0 || size > 1024) {
    std::fprintf(stderr, "vireo-render-icon: cannot render %s at size %s\n", argv[1], argv[2]);
    return 1;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "vireo-render-icon: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
