// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "sim/plant.h"

namespace vp::sim {

struct Reply {
    QByteArray body;  // without checksum and CR
    bool status_report = false;
    bool frame_ok = true;  // false when the frame's own checksum was wrong or missing
};

// Acts on one received frame (the line without its CR, checksum digits included) and gives the
// body of the one reply the controller sends back:
//  - wrong or missing checksum: an error report of the frame's kind with code 155;
//  - a body that is not a known command number and "_": kind and code 156;
//  - an argument where none belongs, or a set-point argument that is not three digits: 152;
//  - a set-point outside 20..100: 157;
//  - otherwise the command's answer (status, hours, counts) or its kind with code 150.
Reply Respond(Plant& plant, QByteArrayView frame);

}  // namespace vp::sim
