// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start: the Qt application with the Japanese translation
// and the dialog font's stand-ins, and the main dialog run modally until the
// user confirms the exit question.
#pragma once

namespace postori {

int run_application(int argc, char** argv);

}  // namespace postori
