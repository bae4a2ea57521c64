// SPDX-License-Identifier: MIT
#include "panel/colours.h"

#include <QtGlobal>

namespace vp::panel {

QColor ScreenColour(ColourValue value) {
    if (value & 0x80000000u) {
        switch (value & 0xFFu) {
            case 0x11:  // grey text: a mid grey that reads as "no live state"
                return QColor(128, 128, 128);
            case 0x04:  // menu background: the classic light grey of a lamp that is off
                return QColor(212, 208, 200);
            default:
                return QColor(192, 192, 192);
        }
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

}  // namespace vp::panel
