// SPDX-License-Identifier: MIT
// Whatever the line delivers, cut into arrivals wherever the fuzzer likes, goes the way it goes in
// the panel, without a window: Link::ReceiveText -> MessageReceived -> state::HandleMessage ->
// DecodeStatus and the lists. After every arrival: at most 256 bytes wait in the receive buffer,
// no counter went down, no list holds more than ten entries; and a report is drawn exactly when
// the link takes it as a shown one, the one kind that holds off the watchdog.
#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <cstdlib>
#include <limits>

#include "link/link.h"
#include "protocol/message_kind.h"
#include "state/dispatcher.h"
#include "state/panel_state.h"

namespace {

using vp::state::List;

void Require(bool condition) {
    if (!condition) std::abort();
}

struct Counts {
    std::int32_t received, sent, crc, operationErrors, shown;
};

// A fresh link and state for every input, so a finding replays from its input alone, and an input
// frees all it allocates: libFuzzer then has no reason to run its slow leak scan, and a real leak
// still shows.
struct Panel {
    vp::link::Link link;
    vp::state::PanelState state;

    Panel() {
        QObject::connect(&link, &vp::link::Link::MessageReceived, [this](std::string_view m) {
            Require(m.size() < vp::protocol::RxBuffer::kLimit && m.find('\r') == m.npos);
            const std::int32_t shown = state.ShownReports();
            vp::state::HandleMessage(state, m);
            const bool drawn = state.ShownReports() != shown;
            const bool atTop = shown == std::numeric_limits<std::int32_t>::max();
            Require(drawn == vp::protocol::IsShownStatusReport(m) || atTop);
            if (drawn) Require(!StaleAtTheNextTick());
        });
    }
    // The watchdog's tick, taken at once: whether it found the picture stale.
    bool StaleAtTheNextTick() {
        bool stale = false;
        const auto heard =
            QObject::connect(&link, &vp::link::Link::ReportsStale, [&stale] { stale = true; });
        link.Timer5_Timer();
        QObject::disconnect(heard);
        return stale;
    }
    Counts Read() const {
        return {link.ReceivedMessageCount(), link.SentMessageCount(), state.CrcErrors(),
                state.OperationErrors(), state.ShownReports()};
    }
};

void App() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);  // lives as long as the process
    (void)app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    App();
    Panel panel;
    FuzzedDataProvider input(data, size);
    Counts before = panel.Read();
    while (input.remaining_bytes() > 0) {
        // Arrival lengths come from the end of the input, the bytes from its front; 0 (or no
        // length left) means "all the rest".
        const std::size_t length = input.ConsumeIntegral<std::uint8_t>();
        const std::string bytes = length == 0 ? input.ConsumeRemainingBytesAsString()
                                              : input.ConsumeBytesAsString(length);
        panel.link.ReceiveText(bytes);

        Require(panel.link.rxBuffer().Pending().size() <= vp::protocol::RxBuffer::kLimit);
        const Counts after = panel.Read();
        Require(after.received >= before.received && after.sent >= before.sent &&
                after.crc >= before.crc && after.operationErrors >= before.operationErrors &&
                after.shown >= before.shown);
        for (List list : {List::lstErrors, List::lstWarnings, List::lstMessages})
            Require(panel.state.Entries(list).size() <= vp::state::PanelState::kListLength);
        before = after;
    }
    return 0;
}
