// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <QString>

namespace vp::publish {

// What a consumer needs to read the tree without this program's source (`prefix/meta`): the
// schema, the program's version and this run's id, every topic with its payload's unit, the
// gauges, valves and pumps by name, and the controller's code tables.
QJsonObject MetaObject(const QString& version, const QString& run);

}  // namespace vp::publish
