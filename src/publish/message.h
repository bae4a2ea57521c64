// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <string>

namespace vp::publish {

// One MQTT publish as the client is given it.
struct Message {
    std::string topic;
    QByteArray payload;
    int qos = 1;
    bool retain = true;
};

}  // namespace vp::publish
