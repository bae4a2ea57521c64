// Whatever the line delivers, cut into arrivals wherever the fuzzer likes, goes through the
// real window's receive path: ReceiveText -> HandleMessage -> DecodeStatus and the lists.
// After every arrival: at most 256 bytes wait in the receive buffer, no counter went down, and
// no list holds more than ten entries.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "fuzz_app.h"
#include "panel/form1.h"

namespace {

struct Counts {
    std::int32_t received, sent, crc, operationErrors, shown;
};

Counts Read(vp::panel::Form1& form) {
    return {form.framing().ReceivedMessageCount().value(),
            form.framing().SentMessageCount().value(), form.dispatcher().CrcErrorCount().value(),
            form.dispatcher().OperationErrorCount().value(), form.display().ShownReports().value()};
}

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vp::fuzz::App();
    static auto* form = new vp::panel::Form1;  // one window for the whole run, as in the field
    FuzzedDataProvider input(data, size);
    Counts before = Read(*form);
    while (input.remaining_bytes() > 0) {
        // Arrival lengths come from the end of the input, the bytes from its front; 0 (or no
        // length left) means "all the rest".
        const std::size_t length = input.ConsumeIntegral<std::uint8_t>();
        const std::string bytes = length == 0 ? input.ConsumeRemainingBytesAsString()
                                              : input.ConsumeBytesAsString(length);
        form->framing().ReceiveText(QByteArray::fromStdString(bytes));

        Require(form->framing().rxBuffer().Pending().size() <= vp::link::RxBuffer::kLimit);
        const Counts after = Read(*form);
        Require(after.received >= before.received && after.sent >= before.sent &&
                after.crc >= before.crc && after.operationErrors >= before.operationErrors &&
                after.shown >= before.shown);
        for (auto* list : {form->lstErrors, form->lstWarnings, form->lstMessages})
            Require(list->count() <= vp::messages::Dispatcher::kListLength);
        before = after;
    }
    return 0;
}
