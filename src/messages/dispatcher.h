#pragma once

#include <string_view>

#include "link/counter.h"

namespace vp::panel {
class Form1;
}
namespace vp::link {
class Polls;
}
namespace vp::status {
class PlantDisplay;
}

namespace vp::messages {

// The one place where a complete message from the controller takes effect: checksum test,
// error reports, then a handler by kind; the three lists stay at ten entries.
class Dispatcher {
public:
    static constexpr int kListLength = 10;

    Dispatcher(panel::Form1& form, status::PlantDisplay& display, link::Polls& polls);

    void HandleMessage(std::string_view message);

    // "Clear": empties the three lists and the operation-error count.
    void cmdClearError_Click();

    link::Counter& CrcErrorCount() { return crcErrors_; }
    link::Counter& OperationErrorCount() { return operationErrors_; }

private:
    void ListErrorReport(int code);
    void OperatingHours(std::string_view message, int code);
    void TrimLists();

    panel::Form1& form_;
    status::PlantDisplay& display_;
    link::Polls& polls_;
    link::Counter crcErrors_;
    link::Counter operationErrors_;
};

}  // namespace vp::messages
