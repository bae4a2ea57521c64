// SPDX-License-Identifier: MIT
// Preloaded into vacuum-panel by bench_startup: notes the moment the first top-level window has
// been painted and flushed, prints it (CLOCK_MONOTONIC, ns) on the descriptor named by
// VP_FIRST_FRAME_FD, and ends the process. The program itself carries nothing for this.
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

class FirstFrame : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            seen_ = true;
            // The window paints its children and flushes within this turn of the event loop;
            // the next turn sees the frame complete.
            QTimer::singleShot(0, [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                const char* fd = std::getenv("VP_FIRST_FRAME_FD");
                const int out = fd ? std::atoi(fd) : 2;
                const long long ns = now.tv_sec * 1000000000LL + now.tv_nsec;
                dprintf(out, "first-frame %lld\n", ns);
                _exit(0);
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};

void Install() {
    QCoreApplication::instance()->installEventFilter(new FirstFrame(QCoreApplication::instance()));
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Install)
