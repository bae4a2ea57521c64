#pragma once

namespace vp::app {

// How the window will talk to the display; call before the application object exists.
void PrepareWindowSystem();

}  // namespace vp::app
