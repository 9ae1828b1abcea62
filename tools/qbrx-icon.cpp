// qbrx-icon: renders the program's SVG icon to PNG files of the sizes the
// desktop's icon theme uses.
//   qbrx-icon IN.svg OUT_DIR SIZE...   (writes OUT_DIR/SIZExSIZE/qbrx.png)

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() < 3) {
    std::fputs("usage: qbrx-icon IN.svg OUT_DIR SIZE...\n", stderr);
    return 2;
  }
  QSvgRenderer svg(args[0]);
  if (!svg.isValid()) {
    std::fprintf(stderr, "qbrx-icon: cannot read %s\n", qPrintable(args[0]));
    return 1;
  }
  for (const QString &sizeText : args.mid(2)) {
    const int size = sizeText.toInt();
    if (size <= 0)
      return 2;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      svg.render(&p);
    }
    const QString dir = QStringLiteral("%1/%2x%2").arg(args[1]).arg(size);
    QDir().mkpath(dir);
    if (!image.save(dir + QStringLiteral("/qbrx.png"))) {
      std::fprintf(stderr, "qbrx-icon: cannot write %s/qbrx.png\n", qPrintable(dir));
      return 1;
    }
  }
  return 0;
}
