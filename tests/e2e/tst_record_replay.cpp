// SPDX-License-Identifier: MIT
// A session against the simulated controller, recorded by the panel and played back into a
// second panel, leaves both windows showing the same thing.
#include <QTemporaryDir>
#include <QtTest>

#include "app/panel.h"
#include "panel/form1.h"
#include "record/traffic_recorder.h"
#include "sim/replay.h"
#include "sim/simulated_controller.h"
#include "support/file_size_limit.h"
#include "support/link_probe.h"
#include "support/windowed_panel.h"

using vp::app::Panel;
using vp::panel::Form1;
using vp::panel::Label;
using vp::panel::Shape;
using vp::record::TrafficRecorder;
using vp::sim::SimulatedController;

namespace {

constexpr int kWait = 15000;

// What the operator sees: every caption, every fill, every list entry and text box.
QStringList Shown(Form1& form) {
    form.view().Render();
    QStringList seen;
    for (const Label* label : form.findChildren<Label*>())
        if (label->objectName() != "lblStatus" && label->objectName() != "lblComStatus" &&
            label->objectName() != "lblSentMessages")
            seen << label->objectName() + "=" + label->Caption();
    for (const Shape* shape : form.findChildren<Shape*>())
        if (shape != form.shpSend && shape != form.shpRecv)
            seen << shape->objectName() + "=" + QString::number(shape->FillColor(), 16);
    for (const auto* list : {form.lstErrors, form.lstWarnings, form.lstMessages})
        for (int i = 0; i < list->count(); ++i)
            seen << list->objectName() + ":" + list->item(i)->text();
    seen << "uptime=" + form.txtUptime->text();
    seen.sort();
    return seen;
}

// The panel on port 3 served by the device, without the watchdog, which would grey the two
// windows at different moments and is not under test.
std::unique_ptr<WindowedPanel> QuietPanel(const QString& device) {
    auto panel = std::make_unique<WindowedPanel>(Panel::Options{.ports = {{3, device}}});
    vp::test::LinkProbe::Watchdog(panel->link()).stop();
    panel->tmrLogData->stop();
    return panel;
}

}  // namespace

class TestRecordReplay : public QObject {
    Q_OBJECT

private slots:
    void escapesRoundTripEveryByte() {
        std::string all;
        for (int b = 0; b < 256; ++b) all += char(b);
        const std::string escaped = TrafficRecorder::Escape(all);
        QVERIFY(escaped.find('\n') == std::string::npos);
        QVERIFY(escaped.find('\t') == std::string::npos);
        QCOMPARE(TrafficRecorder::Unescape(escaped).value_or(""), all);
        QVERIFY(!TrafficRecorder::Unescape("\\x4").has_value());
        QVERIFY(!TrafficRecorder::Unescape("\\q").has_value());
        QVERIFY(!TrafficRecorder::Unescape("ends\\").has_value());
    }

    void replayedSessionShowsTheSame() {
        QTemporaryDir dir;
        const QString record = dir.filePath("session.rec");

        // The session: a live plant, a command, a few controller faults.
        SimulatedController live;
        QVERIFY(live.Start().ok());
        {
            const auto firstPanel = QuietPanel(live.DevicePath());
            Form1& first = firstPanel->form();
            QVERIFY(firstPanel->Record(record).ok());
            first.cmdConnect->click();
            QTRY_VERIFY_WITH_TIMEOUT(first.shpTG1->FillColor() != 0x80000011u, kWait);
            first.mnuRotaryOn->trigger();
            QVERIFY(live.InjectFault("bad-checksum").ok());
            QVERIFY(live.InjectFault("warning=221").ok());
            firstPanel->link().tmrTMPOperatingHours_Timer();
            QTRY_COMPARE_WITH_TIMEOUT(first.lstWarnings->count(), 1, kWait);
            QTRY_VERIFY_WITH_TIMEOUT(first.lblRotaryStatus->Caption() == "started", kWait);
            first.cmdDisconnect->click();
            // Let what was on the wire arrive, so the record holds everything the window shows.
            for (int i = 0; i < 50; ++i) QCoreApplication::processEvents();
            firstPanel->link().SetRecorder(nullptr);
            const QStringList shown = Shown(first);

            // The replay: a second panel, a controller that only plays the record back.
            auto messages = vp::sim::LoadReplay(record);
            QVERIFY2(messages.ok(), qPrintable(messages.ok() ? QString() : messages.error()));
            QCOMPARE(messages->size(), firstPanel->link().ReceivedMessageCount());
            SimulatedController player;
            QVERIFY(player.Start().ok());
            player.Replay(*messages, /*fast=*/true);
            const auto secondPanel = QuietPanel(player.DevicePath());
            Form1& second = secondPanel->form();
            second.cmdConnect->click();
            QTRY_COMPARE_WITH_TIMEOUT(secondPanel->link().ReceivedMessageCount(),
                                      int(messages->size()), kWait);
            QCOMPARE(Shown(second), shown);
            QCOMPARE(secondPanel->state().CrcErrors(), 1);
        }

        // The record itself: one line per frame and message, every byte escaped.
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.first(), QByteArray(TrafficRecorder::kHeader.data()));
        QVERIFY(lines.value(1).contains("\tTX\t111_242\\r"));
        bool crcLine = false;
        for (const QByteArray& line : lines) crcLine |= line.endsWith("\tcrc-error");
        QVERIFY(crcLine);
    }

    void recordFileThatFailsIsReportedOnce() {
        if (QFile::exists("/dev/full")) {
            TrafficRecorder full;
            const vp::Result<> opened = full.Open("/dev/full");
            QVERIFY(!opened.ok() && opened.error().startsWith("Could not write traffic record: "));
        }
        QTemporaryDir dir;
        SimulatedController live;
        QVERIFY(live.Start().ok());
        const auto panel = QuietPanel(live.DevicePath());
        Form1& form = panel->form();
        QVERIFY(panel->Record(dir.filePath("r.rec")).ok());
        form.cmdConnect->click();
        QVERIFY(panel->link().PortOpen());
        // From here on (the port and its lock file are in place) the record file cannot grow.
        const FileSizeLimit limit(QFileInfo(dir.filePath("r.rec")).size());
        QVERIFY(panel->link().SendCommand("111_").ok());
        form.view().Render();
        QVERIFY2(form.txtStatus->text().startsWith("Could not write traffic record: "),
                 qPrintable(form.txtStatus->text()));
        form.txtStatus->clear();
        // The panel goes on: the answer arrives and is shown, and nothing more is said.
        QTRY_VERIFY_WITH_TIMEOUT(form.shpTG1->FillColor() != 0x80000011u, kWait);
        QVERIFY(form.txtStatus->text().isEmpty());
        QVERIFY(panel->link().SentMessageCount() >= 1);
    }
};

QTEST_MAIN(TestRecordReplay)
#include "tst_record_replay.moc"
