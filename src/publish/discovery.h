// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <vector>

#include "publish/mqtt_client.h"

namespace vp::publish {

// Home Assistant's MQTT discovery for one plant: a retained config per entity under
// `discoveryPrefix/<component>/<node>/<object>/config`, all of one device named by the plant's
// prefix: the four pressures, the pumps' and valves' states, the current mode and the link's
// quality. Every entity is available only while the gateway is online; the plant's own entities
// also only while the quality is good, so a stale plant shows as unavailable, not as last seen.
std::vector<MqttClient::Message> DiscoveryConfigs(const QString& discoveryPrefix,
                                                  const QString& plantPrefix,
                                                  const QString& version);

// The same topics with empty retained payloads: Home Assistant forgets the entities.
std::vector<MqttClient::Message> DiscoveryRemovals(const QString& discoveryPrefix,
                                                   const QString& plantPrefix);

// The plant's prefix as a discovery node id: letters, digits, '_' and '-' only.
QString NodeId(const QString& plantPrefix);

}  // namespace vp::publish
