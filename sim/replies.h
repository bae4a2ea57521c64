// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

#include "sim/plant.h"

namespace vp::sim {

// The controller's side of the frame: a body, three checksum digits, CR.
int Checksum(QByteArrayView body);
QByteArray Frame(QByteArrayView body);
// Frames with the given checksum value (0..255) instead of the right one.
QByteArray FrameWithChecksum(QByteArrayView body, int checksum);

// Kind, separator, result byte: the whole body of an acknowledgement or an error report.
QByteArray ShortReply(QByteArrayView kind, std::uint8_t result);

// Mantissa units digit, three decimals, exponent + 20 in two digits.
QByteArray PressureField(double log10_mbar);

QByteArray StatusReportBody(const Plant& plant);  // 78 bytes; 81 with the checksum
QByteArray OperatingHoursBody(const Plant& plant);
QByteArray TmpErrorsBody(const Plant& plant);
QByteArray IcpconErrorsBody(const Plant& plant);
QByteArray GaugeErrorsBody(const Plant& plant);

}  // namespace vp::sim
