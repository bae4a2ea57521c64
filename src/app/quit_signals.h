// SPDX-License-Identifier: MIT
#pragma once

namespace vp::app {

// SIGTERM, SIGINT and SIGHUP end the event loop as quitting does, so the broker hears
// online=false and the record file is closed. The handler only writes a byte to a pipe; Qt's loop
// does the rest. A second signal ends the program at once, as if no handler were there. SIGHUP
// is left alone when it was ignored at start, as under nohup.
void QuitOnTermination();

}  // namespace vp::app
