// SPDX-License-Identifier: MIT
#include "app/window_system.h"

#include <QByteArray>
#include <QtGlobal>

#include "base/program_name.h"

namespace vp::app {

namespace {

// A Qt option's value as the command line gives it, after -name or --name.
QString QtOption(const QStringList& arguments, const QString& name) {
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i)
        if (arguments[i] == u'-' + name || arguments[i] == "--" + name) return arguments[i + 1];
    return {};
}

}  // namespace

Result<> DisplayFound(const Options& options, const QStringList& arguments) {
    QString platforms = QtOption(arguments, QStringLiteral("platform"));
    if (platforms.isEmpty()) platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY") ||
                     !QtOption(arguments, QStringLiteral("display")).isEmpty();
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    bool shown = platforms.isEmpty() && (x11 || wayland);
    for (const QString& entry : platforms.split(u';', Qt::SkipEmptyParts)) {
        const QString platform = entry.section(u':', 0, 0);
        if (platform == QStringLiteral("xcb"))
            shown = shown || x11;
        else if (platform.startsWith(QStringLiteral("wayland")))
            shown = shown || wayland;
        else
            shown = true;  // offscreen, vnc, eglfs, linuxfb: no display server to find
    }
    if (shown) return {};
    // The way out, where there is one: a view is nothing but its window.
    QString hint;
    if (!options.screenshot.isEmpty())
        hint = QStringLiteral("; -platform offscreen takes the --screenshot without one");
    else if (!options.view)
        hint = QStringLiteral("; --headless runs the panel without one");
    return Fail(ProgramSays(
        kPanelProgram,
        QStringLiteral("%1 needs a display, and none is set (%2)%3\n")
            .arg(options.view ? QStringLiteral("the view is a window: it")
                              : QStringLiteral("the window"),
                 platforms.contains(QStringLiteral("wayland")) ? QStringLiteral("WAYLAND_DISPLAY")
                                                               : QStringLiteral("DISPLAY"),
                 hint)));
}

void PrepareWindowSystem() {
    // With shared memory, Qt waits on the X server before it paints over a part it has just
    // shown: a round trip for nearly every repaint of a caption that changes with each poll,
    // whose few hundred pixels cost less sent on the connection.
    qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("1"));
}

}  // namespace vp::app
