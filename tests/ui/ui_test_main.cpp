// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests run in one Qt application, without a display unless the
// environment names a platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/ui/accessibility.h"
#include "app/ui/platform.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    postori::install_translations(app);
    postori::install_font_substitutes();
    postori::install_accessibility();
    return RUN_ALL_TESTS();
}
