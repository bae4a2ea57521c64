// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "base/result.h"
#include "publish/mqtt_client.h"

namespace vp::publish {

// Reads the CA file, the client certificate and its key as the client library will, at start:
// a fault of the site's own files (not PEM, empty, a directory, a key that does not belong to the
// certificate, one the program would have to ask a pass phrase for, one that others may read) is
// one line naming the file and the fault, not a TLS error at every attempt to reach the broker.
// Succeeds when every given file will do.
Result<> CheckTlsFiles(const TlsFiles& files);

// The same for one file on its own, where a fault should name where the file was given.
enum class TlsFile { Ca, Certificate, Key };
Result<> CheckTlsFile(TlsFile which, const QString& path);

// Which of the three TLS options needs which: a certificate goes with its key, and any of them
// wants a TLS broker.
Result<> CheckTlsPairing(const TlsFiles& files, bool tlsBroker);

// The rules of the three TLS options, wherever they come from (the command line, a plant's file):
// the pairing above, and files that will do.
Result<> CheckTlsOptions(const TlsFiles& files, bool tlsBroker);

}  // namespace vp::publish
