#!/usr/bin/env bash
# Makes the program's pictures from the SVGs in src/res through Qt's own SVG renderer: the tray
# and window icons of the Qt front end (src/res/icons/NAME-SIZE.png, at each size it offers) and
# the Windows icons (src/frontend/win32/*.ico, at the size the shell asks for). Run after
# changing an SVG; the pictures are kept in the tree so that neither the build nor the Monitor
# renders SVG. Needs qt6-svg-dev, which the build itself does not.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/svg2img.cpp" <<'CPP'
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>
// svg2img IN.svg OUT.{png,ico} SIZE: the picture at SIZE x SIZE pixels.
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const int size = std::atoi(argv[3]);
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    return image.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
CPP
# shellcheck disable=SC2046
g++ -std=c++17 -fPIC "$work/svg2img.cpp" -o "$work/svg2img" $(pkg-config --cflags --libs Qt6Gui Qt6Svg)
render() {
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" "$work/svg2img" "src/res/$1.svg" "$2" "$3"
}
mkdir -p src/res/icons
for name in tray window; do
  for size in 16 24 32 48 64; do
    render $name "src/res/icons/$name-$size.png" "$size"
  done
done
render program src/frontend/win32/program.ico 48
render tray src/frontend/win32/tray.ico 16
