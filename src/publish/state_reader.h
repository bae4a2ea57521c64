#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "state/panel_state.h"

namespace vp::publish {

// Payloads larger than this are refused unread; a full state is a few kilobytes.
inline constexpr qsizetype kMaxStatePayload = 256 * 1024;

// Applies a `prefix/state` payload onto a view's state: the "panel" section's fills, texts and
// lists, the "link" facts, and the CRC and operation-error counts. Nothing is applied unless the
// whole payload is valid; the reason (one line) when it is refused. Controls absent from the
// payload are left as they are.
std::optional<QString> ApplyStateJson(state::PanelState& state, QByteArrayView payload);

}  // namespace vp::publish
