// SPDX-License-Identifier: GPL-3.0-or-later
// postori: waits for one form posted to port 9250 and shows its fields,
// converted to Shift_JIS, in a Japanese dialog window. Takes no options.
#include "app/ui/application.h"

int main(int argc, char** argv) {
    return postori::run_application(argc, argv);
}
