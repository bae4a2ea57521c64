#pragma once

// The one application object every window target needs, made on first use, offscreen.
#include <QApplication>

namespace vp::fuzz {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "*.debug=false;qt.qpa.*=false");
        return new QApplication(argc, argv);  // lives as long as the process
    }();
    return *app;
}

}  // namespace vp::fuzz

// Fontconfig keeps a cache for the life of the process that LeakSanitizer takes for a leak.
// Included by exactly one file of each target.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
