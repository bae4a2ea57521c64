// SPDX-License-Identifier: MIT
// vacuum-panel, the gateway's program for a rack PC beside the controller: it runs --headless
// itself, needing neither a display nor the window system's libraries, and hands every other run
// to vacuum-panel-window, the program with the window and the simulated controller.
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/command_line.h"
#include "app/run_panel.h"
#include "base/program_name.h"

namespace {

// The window's program stands beside this one in a build, and in lib/vacuum-panel when installed.
// It keeps this program's name in argv[0], so it answers as this one.
int RunWindowProgram(char* argv[], bool simulate) {
    std::error_code error;
    const auto here = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    for (const auto& path :
         {here / "vacuum-panel-window", here / "../lib/vacuum-panel/vacuum-panel-window"}) {
        if (::access(path.c_str(), X_OK) == 0) {
            ::execv(path.c_str(), argv);
            std::fprintf(stderr, "%s: cannot start %s: %s\n", vp::kPanelProgram, path.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    // A gateway installed alone has no simulated controller: the window's package brings it.
    if (simulate) {
        std::fprintf(stderr,
                     "%s: --simulate needs the window's program, which is not installed here "
                     "(package vacuum-panel)\n",
                     vp::kPanelProgram);
        return 2;
    }
    std::fprintf(stderr, "%s: the window's program is missing beside %s\n", vp::kPanelProgram,
                 here.c_str());
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Read before the application object: --help, --version and a bad option are answered here.
    const vp::app::Options options = vp::app::ParseCommandLine(vp::app::ArgumentList(argc, argv));
    if (const auto code = vp::app::AnswerWithoutPanel(argc, argv, options)) return *code;
    if (options.headless && !options.simulate) {
        // No window system at all: a rack PC has no display.
        QCoreApplication app(argc, argv);
        vp::app::PrepareHeadless();
        return vp::app::RunPanel(options, options.ports);
    }
    return RunWindowProgram(argv, options.simulate);
}
