// SPDX-License-Identifier: MIT
#include "sim/responder.h"

#include "sim/replies.h"

namespace vp::sim {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(QByteArrayView text) {
    for (char c : text) {
        if (!IsDigit(c)) return false;
    }
    return true;
}

int ReadDigits(QByteArrayView text) {
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

// The kind echoed in an error report: the frame's command number when it has one.
QByteArray KindOf(QByteArrayView body) {
    if (body.size() >= 3 && AllDigits(body.first(3))) return body.first(3).toByteArray();
    return QByteArrayLiteral("000");
}

Reply Error(QByteArrayView body, std::uint8_t result) {
    return {ShortReply(KindOf(body), result), false, true};
}

Reply Ack(QByteArrayView kind) {
    return {ShortReply(kind, code::kOk), false, true};
}

Reply SetPoint(Plant& plant, QByteArrayView kind, int number, QByteArrayView argument) {
    if (argument.size() != 3) return Error(kind, code::kBadSize);
    if (!AllDigits(argument)) return Error(kind, code::kNotAllowed);
    const int percent = ReadDigits(argument);
    bool taken = false;
    if (number == 34) taken = plant.SetTmpSpeed(percent);
    if (number == 36) taken = plant.SetGlowDischargeSpeed(percent);
    if (number == 37) taken = plant.SetHighVacuumSpeed(percent);
    return taken ? Ack(kind) : Error(kind, code::kNotAllowed);
}

// Commands without an argument that the controller knows.
bool Known(int number) {
    return number == 39 || number == 91 || number == 93 || (number >= 60 && number <= 67) ||
           (number >= 80 && number <= 85) || (number >= 100 && number <= 107) || number == 109 ||
           number == 110 || (number >= 120 && number <= 125) || (number >= 130 && number <= 133);
}

void Act(Plant& plant, int number) {
    switch (number) {
        case 39:
            plant.ResetTmpErrors();
            return;
        case 91:
            plant.ResetGaugeErrors();
            return;
        case 93:
            plant.ResetIcpconErrors();
            return;
        case 60:
        case 61:
            plant.SetValve(Valve::k3V1, number == 60);
            return;
        case 62:
        case 63:
            plant.SetValve(Valve::k1V1, number == 62);
            return;
        case 64:
        case 65:
            plant.SetValve(Valve::k2V1, number == 64);
            return;
        case 66:
        case 67:
            plant.SetValve(Valve::k1V3, number == 66);
            return;
        case 80:
        case 81:
            plant.SwitchTmp(0, number == 80);
            return;
        case 82:
        case 83:
            plant.SwitchTmp(1, number == 82);
            return;
        case 84:
        case 85:
            plant.SwitchChiller(number == 84);
            return;
        case 109:
        case 110:
            plant.SwitchRotary(number == 109);
            return;
        case 130:
        case 131:
            plant.SetBranch(number - 130, true);
            return;
        case 132:
        case 133:
            plant.SetBranch(number - 132, false);
            return;
        default:
            break;
    }
    // 100..107 (gauge filament, sensor and degas) are taken without a visible effect.
    if (number >= 120 && number <= 125) plant.RequestMode(static_cast<Mode>(number - 120));
}

}  // namespace

Reply Respond(Plant& plant, QByteArrayView frame) {
    if (frame.size() < 3) return {ShortReply("000", code::kCrcError), false, false};
    const QByteArrayView body = frame.first(frame.size() - 3);
    const QByteArrayView digits = frame.last(3);
    if (!AllDigits(digits) || ReadDigits(digits) != Checksum(body)) {
        return {ShortReply(KindOf(body), code::kCrcError), false, false};
    }
    if (body.size() < 4 || !AllDigits(body.first(3)) || body[3] != '_') {
        return Error(body, code::kNotImplemented);
    }
    const QByteArrayView kind = body.first(3);
    const int number = ReadDigits(kind);
    const QByteArrayView argument = body.sliced(4);

    if (number == 34 || number == 36 || number == 37)
        return SetPoint(plant, kind, number, argument);

    QByteArray answer;
    switch (number) {
        case 111:
            answer = StatusReportBody(plant);
            break;
        case 40:
            answer = OperatingHoursBody(plant);
            break;
        case 38:
            answer = TmpErrorsBody(plant);
            break;
        case 92:
            answer = IcpconErrorsBody(plant);
            break;
        case 90:
            answer = GaugeErrorsBody(plant);
            break;
        default:
            break;
    }
    if (!answer.isEmpty()) {
        if (!argument.isEmpty()) return Error(kind, code::kBadSize);
        return {answer, number == 111, true};
    }
    if (!Known(number)) return Error(kind, code::kNotImplemented);
    if (!argument.isEmpty()) return Error(kind, code::kBadSize);
    Act(plant, number);
    return Ack(kind);
}

}  // namespace vp::sim
