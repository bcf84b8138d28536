#include "app/ui/application.h"

#include <QApplication>

#include "app/ui/main_dialog.h"
#include "app/ui/platform.h"

namespace postori {

int run_application(int argc, char** argv) {
    QApplication app(argc, argv);
    install_translations(app);
    install_font_substitutes();
    QApplication::setWindowIcon(main_icon());
    MainDialog dialog;
    dialog.exec();
    return 0;
}

}  // namespace postori
