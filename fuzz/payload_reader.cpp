// SPDX-License-Identifier: MIT
// Whatever a broker delivers on a plant's `view` or `state` topic, into a fresh view: no undefined
// behaviour, nothing applied from a refused view, and what was applied comes back whole: the
// view's own payload applies to a fresh state and gives the same payload again, and applied once
// more to that state moves nothing. A state's summary is one of the five qualities or refused.
#include <cstdlib>

#include "publish/payloads.h"
#include "publish/state_reader.h"

namespace {

using vp::state::PanelState;

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    if (const auto summary = vp::publish::ReadStateJson(input); summary.ok())
        Require(summary->quality >= vp::state::Quality::Starting &&
                summary->quality <= vp::state::Quality::Offline);

    PanelState a;
    if (!vp::publish::ApplyViewJson(a, input).ok()) {
        Require(a.Revision() == 0);
        return 0;
    }
    const QByteArray payload = vp::publish::Compact(vp::publish::ViewObject(a));
    // Texts escaped on the way out can outgrow an input near the size limit; the panel's own
    // captions never come near it.
    if (payload.size() > vp::publish::kMaxStatePayload) return 0;

    PanelState b;
    Require(vp::publish::ApplyViewJson(b, payload).ok());
    Require(vp::publish::Compact(vp::publish::ViewObject(b)) == payload);
    // A payload carries every list, so the second view has them all written: the same payload
    // again must not move it.
    const auto revision = b.Revision();
    Require(vp::publish::ApplyViewJson(b, payload).ok() && b.Revision() == revision);
    return 0;
}
