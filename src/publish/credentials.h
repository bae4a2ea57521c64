// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <string>

#include "base/result.h"

namespace vp::publish {

struct Credentials {
    std::string user;
    std::string password;
};

// The user on the first line, the password on the second. The file is refused (with one line
// naming it) when it cannot be read, when group or others may read or write it, or when the
// user is empty: credentials stay off the command line and out of other users' reach.
Result<Credentials> ReadCredentials(const QString& path);

}  // namespace vp::publish
