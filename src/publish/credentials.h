#pragma once

#include <QString>
#include <optional>
#include <string>

namespace vp::publish {

struct Credentials {
    std::string user;
    std::string password;
};

// The user on the first line, the password on the second. The file is refused (nullopt and one
// line naming it) when it cannot be read, when group or others may read or write it, or when the
// user is empty: credentials stay off the command line and out of other users' reach.
std::optional<Credentials> ReadCredentials(const QString& path, QString* error);

}  // namespace vp::publish
