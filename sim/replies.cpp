// SPDX-License-Identifier: MIT
#include "sim/replies.h"

#include <algorithm>
#include <cmath>

namespace vp::sim {

namespace {

constexpr char kSeparator = '_';

// Zero-padded decimal of exactly `width` digits; values beyond the width are capped.
QByteArray Digits(std::int64_t value, int width) {
    std::int64_t limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    value = std::clamp<std::int64_t>(value, 0, limit - 1);
    return QByteArray::number(static_cast<qlonglong>(value)).rightJustified(width, '0');
}

QByteArray Header(const char* kind) {
    QByteArray body(kind);
    body.append(kSeparator);
    body.append(static_cast<char>(code::kOk));
    return body;
}

char Byte(std::uint8_t value) {
    return static_cast<char>(value);
}

std::uint8_t TmpCode(TmpState state) {
    switch (state) {
        case TmpState::kAccelerating:
            return code::kAccelerating;
        case TmpState::kStarted:
            return code::kStarted;
        case TmpState::kStopping:
            return code::kStopping;
        case TmpState::kStopped:
            break;
    }
    return code::kStopped;
}

}  // namespace

int Checksum(QByteArrayView body) {
    unsigned sum = 0;
    for (char c : body) sum = (sum + static_cast<unsigned char>(c)) & 0xFFu;
    return static_cast<int>(sum);
}

QByteArray Frame(QByteArrayView body) {
    return FrameWithChecksum(body, Checksum(body));
}

QByteArray FrameWithChecksum(QByteArrayView body, int checksum) {
    QByteArray frame = body.toByteArray();
    frame.append(Digits(checksum & 0xFF, 3));
    frame.append('\r');
    return frame;
}

QByteArray ShortReply(QByteArrayView kind, std::uint8_t result) {
    QByteArray body = kind.toByteArray();
    body.append(kSeparator);
    body.append(Byte(result));
    return body;
}

QByteArray PressureField(double log10_mbar) {
    if (!std::isfinite(log10_mbar)) log10_mbar = Plant::kAtmosphereLog10;
    int exponent = static_cast<int>(std::floor(log10_mbar));
    long mantissa = std::lround(std::pow(10.0, log10_mbar - exponent) * 1000);  // 1000..10000
    if (mantissa >= 10000) {
        mantissa = 1000;
        ++exponent;
    }
    mantissa = std::clamp(mantissa, 1000L, 9999L);
    if (exponent < -20) {
        exponent = -20;
        mantissa = 1000;
    } else if (exponent > 79) {
        exponent = 79;
        mantissa = 9999;
    }
    return Digits(mantissa, 4) + Digits(exponent + 20, 2);
}

QByteArray StatusReportBody(const Plant& plant) {
    QByteArray body = Header("111");
    for (int g = 0; g < kGaugeCount; ++g) {
        body.append(Byte(code::kOk));
        body.append(PressureField(plant.GaugeLog10(static_cast<Gauge>(g))));
    }
    for (int v = 0; v < kValveCount; ++v) {
        body.append(Byte(plant.ValveOpen(static_cast<Valve>(v)) ? code::kOpen : code::kClosed));
    }
    for (int t = 0; t < kTmpCount; ++t) {
        body.append(Byte(TmpCode(plant.TmpStateOf(t))));
        body.append(Digits(plant.TmpSpeedPercent(t), 3));
        // A stopped pump shows no set speed of its own.
        body.append(Digits(plant.TmpSwitchedOn(t) ? plant.TmpSetPercent() : 0, 3));
    }
    body.append(Digits(plant.GlowDischargeSpeed(), 3));
    body.append(Digits(plant.HighVacuumSpeed(), 3));
    body.append(Byte(plant.RotaryOn() ? code::kStarted : code::kStopped));
    body.append(Byte(code::kFirstMode + static_cast<int>(plant.CurrentMode())));
    body.append(Byte(code::kFirstMode + static_cast<int>(plant.RequestedMode())));
    body.append(Byte(code::kPneumaticGood));
    body.append(Byte(plant.CoolingGood() ? code::kCoolingGood : code::kCoolingBad));
    for (int b = 0; b < 2; ++b)
        body.append(Byte(plant.BranchActive(b) ? code::kActive : code::kInactive));
    body.append(Digits(plant.UptimeSeconds(), 10));
    return body;
}

QByteArray OperatingHoursBody(const Plant& plant) {
    return Header("040") + Digits(plant.TmpOperatingHours(0), 6) +
           Digits(plant.TmpOperatingHours(1), 6);
}

QByteArray TmpErrorsBody(const Plant& plant) {
    return Header("038") + Digits(plant.TmpErrors(0), 5) + Digits(plant.TmpErrors(1), 5);
}

QByteArray IcpconErrorsBody(const Plant& plant) {
    QByteArray body = Header("092");
    for (int m = 0; m < kIcpconCount; ++m) body.append(Digits(plant.IcpconErrors(m), 5));
    return body;
}

QByteArray GaugeErrorsBody(const Plant& plant) {
    QByteArray body = Header("090");
    for (int g = 0; g < kGaugeCount; ++g)
        body.append(Digits(plant.GaugeErrors(static_cast<Gauge>(g)), 5));
    return body;
}

}  // namespace vp::sim
