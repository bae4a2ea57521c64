// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QJsonValue>

namespace vp::publish {

// A floating-point number for JsonText to write as one that every parser reads as floating point
// (1.013e3, 5e-3, 0e0). Qt keeps 1013.0 as the integer 1013 and writes it so, and a field would
// change its type with its value; other numbers are written as Qt holds them.
QJsonValue Float(double value);

// Compact JSON of a value, numbers made by Float written as floating point.
QByteArray JsonText(const QJsonValue& value);

// A double as JSON text: the shortest that reads back exactly, always with a '.' or an exponent.
QByteArray FloatText(double value);

}  // namespace vp::publish
