// SPDX-License-Identifier: MIT
#pragma once

#include <QList>

#include "trend/traces.h"

using Sized = QList<QList<size_t>>;

// Points in each segment of each gauge's trace.
inline Sized Sizes(const vp::trend::Traces& traces) {
    Sized sizes;
    for (const auto& trace : traces) {
        sizes.append(QList<size_t>());
        for (const vp::trend::Segment& segment : trace) sizes.last().append(segment.size());
    }
    return sizes;
}
