#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "app/command_line.h"

namespace vp::app {

// How the window will talk to the display; call before the application object exists.
void PrepareWindowSystem();

// Why the window cannot open here, checked before Qt would abort on it; nothing when it can.
// Qt tries the platforms of a list in turn, so one that needs no display is enough.
std::optional<QString> NoDisplay(const Options& options, const QStringList& arguments);

}  // namespace vp::app
