#pragma once

namespace vp::app {

// SIGTERM and SIGINT end the event loop as quitting does, so the broker hears online=false and
// the record file is closed. The handler only writes a byte to a pipe; Qt's loop does the rest.
void QuitOnTermination();

}  // namespace vp::app
