#pragma once

#include <QByteArray>
#include <QJsonValue>

namespace vp::publish {

// Compact JSON of a value, with every number held as a double written as one that every parser
// reads as floating point (1.013e3, 5e-3, 0.0) and every number held as an integer written as
// one: Qt's own writer turns 1013.0 into 1013, so a field would change its type with its value.
QByteArray JsonText(const QJsonValue& value);

// A double as JSON text: the shortest that reads back exactly, always with a '.' or an exponent.
QByteArray FloatText(double value);

}  // namespace vp::publish
