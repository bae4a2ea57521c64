#pragma once

#include <QString>
#include <optional>

#include "publish/mqtt_client.h"

namespace vp::publish {

// Reads the CA file, the client certificate and its key as the client library will, at start:
// a fault of the site's own files (not PEM, empty, a directory, a key that does not belong to the
// certificate, one the program would have to ask a pass phrase for, one that others may read) is
// one line naming the file and the fault, not a TLS error at every attempt to reach the broker.
// nullopt when every given file will do.
std::optional<QString> CheckTlsFiles(const TlsFiles& files);

}  // namespace vp::publish
