// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the application icon (an SVG) into the PNG sizes desktops look up
// in the hicolor theme, at build time: render_icon SVG OUTDIR SIZE...
// writes OUTDIR/NxN/apps/glimra.png for each SIZE, on a transparent ground.
// Exit 0, or 1 with the reason on stderr.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  // Shapes and gradients only: no windowing system is needed, so a build
  // machine without a display renders it as well.
  QCoreApplication application(argc, argv);
  const QStringList args = application.arguments();
  if (args.size() < 4) {
    std::fprintf(stderr, "usage: render_icon SVG OUTDIR SIZE...\n");
    return 1;
  }
  QSvgRenderer renderer(args[1]);
  if (!renderer.isValid()) {
    std::fprintf(stderr, "render_icon: %s is not an SVG image it can read\n", qPrintable(args[1]));
    return 1;
  }
  for (int i = 3; i < args.size(); ++i) {
    bool number = false;
    const int size = args[i].toInt(&number);
    if (!number || size < 1 || size > 1024) {
      std::fprintf(stderr, "render_icon: %s is not a size in pixels\n", qPrintable(args[i]));
      return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
    const QString file = folder + QStringLiteral("/glimra.png");
    if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
