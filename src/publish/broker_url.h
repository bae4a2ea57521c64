// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "base/result.h"

namespace vp::publish {

// Where the plant is published: one broker and the plant's topic root on it.
struct BrokerUrl {
    bool tls = false;
    QString host;  // an IPv6 literal is held without its brackets
    quint16 port = 1883;
    QString prefix;  // e.g. site1/vacuum/plantA
};

// mqtt://host[:port]/prefix or mqtts://host[:port]/prefix; the port defaults to 1883 or 8883.
// IPv6 literals are taken in brackets: mqtt://[::1]:1883/plant. The prefix must be a plain topic
// root: non-empty, no wildcard, no empty level, not starting with '$' (the broker's own tree).
// User and password in the URL are refused: they would show in the process list.
Result<BrokerUrl> ParseBrokerUrl(const QString& text);

}  // namespace vp::publish
