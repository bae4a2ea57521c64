// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>

namespace vp::test {
struct StateProbe;
}

namespace vp::state {

class PanelState;

// What the link's events look like on the panel: the counters' captions, the two lamps (lit by
// a frame or an arrival, out again at their own tick), the port's texts in the status box, the
// connection captions, and the grey of a stale picture.
class LinkDisplay : public QObject {
    Q_OBJECT
public:
    explicit LinkDisplay(PanelState& state, QObject* parent = nullptr);

    // The state as the window loads: empty lists and pressures, a grey picture, the port as set.
    void Load(const QString& comText);

    void FrameSent(std::int32_t sentCount);
    void MessagesArrived(std::int32_t receivedCount);
    void ShowStatusText(const QString& text);
    void ShowConnection(bool open, const QString& comText);
    void ReportsStale();

    void Timer3_Timer();  // send lamp out
    void Timer4_Timer();  // receive lamp out

private:
    friend struct test::StateProbe;

    // 100 ms lamp switches, off until a lamp is lit.
    QTimer* Timer3;
    QTimer* Timer4;
    PanelState& state_;
};

}  // namespace vp::state
