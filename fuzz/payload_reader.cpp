// Whatever a broker delivers on a `prefix/state` topic, into a fresh view's state: no undefined
// behaviour, nothing applied from a refused payload, and what was applied comes back whole: the
// state's own payload applies to a fresh state and gives the same payload again, and applied once
// more to that state moves nothing.
#include <cstdlib>

#include "publish/payloads.h"
#include "publish/state_reader.h"

namespace {

using vp::state::PanelState;

void Require(bool condition) {
    if (!condition) std::abort();
}

bool Untouched(const PanelState& state) {
    return state.Revision() == 0 && state.Link == vp::state::LinkFacts{} &&
           state.CrcErrorCount.value() == 0 && state.OperationErrorCount.value() == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    PanelState a;
    if (vp::publish::ApplyStateJson(a, input)) {
        Require(Untouched(a));
        return 0;
    }
    const QByteArray payload = vp::publish::Compact(vp::publish::StateObject(a));
    // Texts escaped on the way out can outgrow an input near the size limit; the panel's own
    // captions never come near it.
    if (payload.size() > vp::publish::kMaxStatePayload) return 0;

    PanelState b;
    Require(!vp::publish::ApplyStateJson(b, payload));
    Require(vp::publish::Compact(vp::publish::StateObject(b)) == payload && b.Link == a.Link);
    // A payload carries every list, so the second view has them all written: the same payload
    // again must not move it.
    const auto revision = b.Revision();
    Require(!vp::publish::ApplyStateJson(b, payload) && b.Revision() == revision);
    return 0;
}
