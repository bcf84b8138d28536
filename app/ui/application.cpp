// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/application.h"

#include <QApplication>

#include "app/ui/accessibility.h"
#include "app/ui/main_dialog.h"
#include "app/ui/platform.h"

namespace postori {

int run_application(int argc, char** argv) {
    // The program takes no options: Qt sees the program's name alone (its
    // platform is still chosen by QT_QPA_PLATFORM).
    int qt_argc = argc > 0 ? 1 : 0;
    QApplication app(qt_argc, argv);
    install_translations(app);
    install_font_substitutes();
    install_accessibility();
    QApplication::setWindowIcon(main_icon());
    // Lets the desktop match the windows to the installed menu entry
    // (postori.desktop), its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("postori"));
    MainDialog dialog;
    dialog.exec();
    return 0;
}

}  // namespace postori
