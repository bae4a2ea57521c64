// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

#include "base/result.h"
#include "state/panel_state.h"
#include "state/quality.h"

namespace vp::publish {

// Payloads larger than this are refused unread; a full state is a few kilobytes.
inline constexpr qsizetype kMaxStatePayload = 256 * 1024;

// Applies a `prefix/view` payload onto a view's state: its fills, texts and lists. Nothing is
// applied unless the whole payload is valid; a refusal says why in one line. Controls absent from
// the payload are left as they are.
Result<> ApplyViewJson(state::PanelState& state, QByteArrayView payload);

// What a view needs of `prefix/state`: how good the plant's picture is, and the line's facts.
struct PlantSummary {
    state::Quality quality = state::Quality::Starting;
    bool connected = false;
    bool stale = false;
};
Result<PlantSummary> ReadStateJson(QByteArrayView payload);

}  // namespace vp::publish
