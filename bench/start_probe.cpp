// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start up to its main window on the screen, and no further:
// what run_application does before the dialog's modal loop (the Qt
// application, the Japanese translation, the font's stand-ins, the icon, the
// main dialog shown), then one line on stdout once the window is exposed and
// painted, and the end.
//
//   shown <ms since the process started> <ms since main>
//
// ui_bench starts this program and times it from its spawn to that line; it
// passes the moment of the spawn (steady clock, ns) in POSTORI_PROBE_SPAWN_NS.
// Run by hand, the start is the process's start time from /proc, to the
// kernel's clock tick.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QWindow>
#include <QtGlobal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "app/ui/main_dialog.h"
#include "app/ui/platform.h"
#include "bench/qt_bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;

using postori::bench::PaintWatch;

// Milliseconds since the spawn ui_bench reported, when it did.
std::optional<double> ms_since_spawn() {
    const char* spawn = std::getenv("POSTORI_PROBE_SPAWN_NS");
    if (spawn == nullptr || *spawn == '\0') {
        return std::nullopt;
    }
    const auto spawned = Clock::time_point(std::chrono::nanoseconds(std::strtoll(spawn, nullptr, 10)));
    return std::chrono::duration<double, std::milli>(Clock::now() - spawned).count();
}

// Milliseconds since the process started, by its start time in
// /proc/self/stat (clock ticks since boot) against the boot-time clock.
std::optional<double> ms_since_process_start() {
    std::ifstream stat_file("/proc/self/stat");
    std::string stat;
    std::getline(stat_file, stat);
    // The command name may hold spaces; the fields after it start behind its ')'.
    const std::size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(name_end + 2));
    std::string field;
    // After the name, the start time is the 20th field (field 22 of the line).
    for (int k = 0; k < 20 && fields >> field; ++k) {
    }
    const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (!fields || ticks_per_second <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        return std::nullopt;
    }
    const double started_ms = std::stod(field) * 1000.0 / static_cast<double>(ticks_per_second);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6 - started_ms;
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point main_entered = Clock::now();
    postori::bench::install_quiet_platform_notes();

    QApplication app(argc, argv);
    postori::install_translations(app);
    postori::install_font_substitutes();
    QApplication::setWindowIcon(postori::main_icon());
    postori::MainDialog dialog;
    PaintWatch watch;
    dialog.installEventFilter(&watch);
    // As exec() shows it: modal.
    dialog.setAttribute(Qt::WA_ShowModal, true);
    dialog.show();

    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    const auto shown = [&] {
        const QWindow* window = dialog.windowHandle();
        return window != nullptr && window->isExposed() && watch.painted;
    };
    while (!shown() && Clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    if (!shown()) {
        std::fprintf(stderr, "start_probe: the main window was not shown within 10 s\n");
        return 1;
    }

    const double since_main = std::chrono::duration<double, std::milli>(Clock::now() - main_entered).count();
    std::optional<double> since_start = ms_since_spawn();
    if (!since_start) {
        since_start = ms_since_process_start();
    }
    std::printf("shown %.3f %.3f\n", since_start.value_or(-1.0), since_main);
    std::fflush(stdout);
    return 0;
}
