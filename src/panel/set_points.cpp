// SPDX-License-Identifier: MIT
#include "panel/set_points.h"

#include <string>

#include "link/link.h"
#include "panel/form1.h"
#include "text/number_reader.h"
#include "text/number_text.h"

namespace vp::panel {

namespace {

// Whole percent of the pumps' full 833 Hz; the controller takes nothing outside this.
constexpr int kLowestSpeed = 20;
constexpr int kHighestSpeed = 100;

constexpr int kTMPspeed = 34;
constexpr int kGlowDischargeSpeed = 36;
constexpr int kHighVacuumSpeed = 37;

}  // namespace

void SetPoints::Connect() {
    QObject::connect(form_.cmdTMPspeed, &QPushButton::clicked, &form_,
                     [this] { cmdTMPspeed_Click(); });
    QObject::connect(form_.cmdGlowDischargeSpeed, &QPushButton::clicked, &form_,
                     [this] { cmdGlowDischargeSpeed_Click(); });
    QObject::connect(form_.cmdHighVacuumSpeed, &QPushButton::clicked, &form_,
                     [this] { cmdHighVacuumSpeed_Click(); });
}

void SetPoints::cmdTMPspeed_Click() {
    SendSetPoint(*form_.txtTMPspeed, kTMPspeed);
}

void SetPoints::cmdGlowDischargeSpeed_Click() {
    SendSetPoint(*form_.txtGlowDischargeSpeed, kGlowDischargeSpeed);
}

void SetPoints::cmdHighVacuumSpeed_Click() {
    SendSetPoint(*form_.txtHighVacuumSpeed, kHighVacuumSpeed);
}

void SetPoints::SendSetPoint(TextBox& box, int commandNumber) {
    // Length first: a value of more than three characters is refused even when it reads in range
    // ("20.0"), which keeps what the operator typed and what goes on the wire alike.
    const QString text = box.text();
    if (text.size() < 1 || text.size() > 3) {
        box.SetBackColor(kRed);
        emit form_.SetPointRefused(box.objectName(), text);
        return;
    }
    const QByteArray bytes = text.toLatin1();
    const double read = text::LeadingNumber(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
        {.ignoreWhitespaceAnywhere = true});
    // Three characters can still spell a value beyond 16 bits (4e4, 9e9): refused like any other.
    const std::optional<std::int16_t> value = text::ToInt16(read);
    if (!value || *value < kLowestSpeed || *value > kHighestSpeed) {
        box.SetBackColor(kRed);
        emit form_.SetPointRefused(box.objectName(), text);
        return;
    }
    // White means "accepted", not "arrived": it stays when the port is closed.
    box.SetBackColor(kWhite);
    const std::string body = text::ThreeDigits(commandNumber) + "_" + text::ThreeDigits(*value);
    emit form_.OperatorAction(box.objectName(), QByteArray::fromStdString(body));
    form_.Send(body);
}

}  // namespace vp::panel
