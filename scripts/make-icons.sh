#!/usr/bin/env bash
# Makes the Windows icons (src/frontend/win32/*.ico) from the SVGs in src/res, each with the
# sizes the shell asks for, through Qt's own SVG renderer and ICO writer. Run after changing an
# SVG; the icons are kept in the tree so that the build needs no image tools.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/svg2ico.cpp" <<'CPP'
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>
// svg2ico IN.svg OUT.ico SIZE: the picture at SIZE x SIZE pixels.
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    const int size = std::atoi(argv[3]);
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    return image.save(QString::fromLocal8Bit(argv[2]), "ICO") ? 0 : 1;
}
CPP
# shellcheck disable=SC2046
g++ -std=c++17 -fPIC "$work/svg2ico.cpp" -o "$work/svg2ico" $(pkg-config --cflags --libs Qt6Gui Qt6Svg)
for name in program tray; do
  size=$([ $name = tray ] && echo 16 || echo 48)
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" "$work/svg2ico" "src/res/$name.svg" "src/frontend/win32/$name.ico" $size
done
