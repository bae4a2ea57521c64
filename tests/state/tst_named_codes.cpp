// SPDX-License-Identifier: MIT
// What the operator reads for each code that has a name, written from the controller's own
// numbers: the error list's entry of every result code with a text, and the caption of every
// operating mode. A name given the wrong number shows here as a wrong text.
#include <QtTest>

#include "protocol/lines.h"
#include "state/dispatcher.h"
#include "state/panel_state.h"

using namespace vp::test;
using vp::state::PanelState;
using vp::state::Text;

class TestNamedCodes : public QObject {
    Q_OBJECT
private slots:
    void errorReportNamesItsCode_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("entry");
        const auto row = [](int code, const char* entry) {
            QTest::addRow("%d", code) << code << QString::fromLatin1(entry);
        };
        row(152, "152 (bad size)");
        row(154, "154 (bad operator)");
        row(155, "155 (crc error)");
        row(156, "156 (operation not implemented)");
        row(157, "157 (operation not allowed)");
        row(170, "170 (no response from icpcon)");
        row(171, "171 (wrong size response from icpcon)");
        row(172, "172 (bad format response from icpcon)");
        row(173, "173 (bad crc in response from icpcon)");
        row(180, "180 (no response from pfeiffer)");
        row(181, "181 (wrong size response from pfeiffer)");
        row(182, "182 (bad format response from pfeiffer)");
        row(183, "183 (bad crc in response from pfeiffer)");
    }
    void errorReportNamesItsCode() {
        QFETCH(int, code);
        PanelState s;
        vp::state::HandleMessage(s, View(Signed("091_" + Byte(code))));
        QCOMPARE(s.Entries(vp::state::List::lstErrors).size(), std::size_t(1));
        QTEST(QString::fromLatin1(s.Entries(vp::state::List::lstErrors).front()), "entry");
    }

    void modeCodeNamesItsMode_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("caption");
        const auto row = [](int code, const char* caption) {
            QTest::addRow("%d", code) << code << QString::fromLatin1(caption);
        };
        row(199, "Idle mode");
        row(200, "High vacuum");
        row(201, "Primary vacuum");
        row(202, "Unsafe mode");
        row(203, "Stop");
        row(204, "Glow discharge");
    }
    // The current mode stands at position 63 of the status report, the requested one at 64.
    void modeCodeNamesItsMode() {
        QFETCH(int, code);
        PanelState s;
        const QByteArray report = Signed("111_" + Byte(150) + QByteArray(57, '0') + Byte(code) +
                                         Byte(code) + QByteArray(14, '0'));
        QCOMPARE(report.size(), 81);
        vp::state::HandleMessage(s, View(report));
        QTEST(QString::fromLatin1(s.Caption(Text::lblCurrentMode)), "caption");
        QTEST(QString::fromLatin1(s.Caption(Text::lblRequestedMode)), "caption");
    }
};

QTEST_GUILESS_MAIN(TestNamedCodes)
#include "tst_named_codes.moc"
