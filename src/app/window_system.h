// SPDX-License-Identifier: MIT
#pragma once

#include "base/result.h"

#include <QString>
#include <QStringList>
#include <optional>

#include "app/command_line.h"

namespace vp::app {

// How the window will talk to the display; call before the application object exists.
void PrepareWindowSystem();

// Whether the window can open here, checked before Qt would abort on it, and why not.
// Qt tries the platforms of a list in turn, so one that needs no display is enough.
Result<> DisplayFound(const Options& options, const QStringList& arguments);

}  // namespace vp::app
