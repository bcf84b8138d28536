// SPDX-License-Identifier: GPL-3.0-or-later
// What screen readers and other assistive tools see of the windows, through
// Qt's accessibility (AT-SPI on Linux desktops): each value box as an
// editable multi-line text named after its field, with its text, caret and
// selection, and the dialogs' controls in the order of the screen.
#pragma once

namespace postori {

// Installs the accessible interfaces of the value boxes and the template
// dialogs. Idempotent; called once the Qt application exists.
void install_accessibility();

}  // namespace postori
