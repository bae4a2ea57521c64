#include "app/window_system.h"

#include <QByteArray>
#include <QtGlobal>

namespace vp::app {

void PrepareWindowSystem() {
    // With shared memory, Qt waits on the X server before it paints over a part it has just
    // shown: a round trip for nearly every repaint of a caption that changes with each poll,
    // whose few hundred pixels cost less sent on the connection.
    qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("1"));
}

}  // namespace vp::app
