// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include "base/result.h"

namespace vp::publish {

// A file named on the command line (credentials, certificates, keys), read whole at start. Only a
// regular file is taken: a FIFO or a device is refused without waiting for a writer, so a wrong
// path can never hold the program up before it can be stopped. With ownerOnly, a file that group
// or others may read or write is refused too. A refusal says why, without the path.
Result<QByteArray> ReadOptionFile(const QString& path, qint64 maxSize, bool ownerOnly);

}  // namespace vp::publish
