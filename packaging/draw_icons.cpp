// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's icon for the desktops' icon theme at build time, with
// the very code that draws the window's icon, so the two never differ:
//   draw_icons DIR NAME SIZE...   writes DIR/<SIZE>x<SIZE>/apps/NAME.png
// Needs no display: run it with QT_QPA_PLATFORM=offscreen.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/ui/platform.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: draw_icons DIR NAME SIZE...\n");
        return 2;
    }
    int qt_argc = 1;
    const QGuiApplication app(qt_argc, argv);
    for (int k = 3; k < argc; ++k) {
        char* end = nullptr;
        const long size = std::strtol(argv[k], &end, 10);
        if (end == argv[k] || *end != '\0' || size < 1 || size > 1024) {
            std::fprintf(stderr, "draw_icons: not a size: %s\n", argv[k]);
            return 2;
        }
        const QString place = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(place, QString::fromLocal8Bit(argv[2]));
        if (!QDir().mkpath(place) || !postori::draw_main_icon(static_cast<int>(size)).save(file, "PNG")) {
            std::fprintf(stderr, "draw_icons: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
