// SPDX-License-Identifier: MIT
// The whole panel against a controller that stops reading for seconds and then reads again: the
// port stays open, the polls go on, and the diagram comes back as soon as the controller reads.
#include <QPushButton>
#include <QtTest>

#include "app/panel.h"
#include "panel/colours.h"
#include "panel/form1.h"
#include "sim/plant.h"
#include "sim/replies.h"
#include "support/line_filler.h"
#include "support/pseudo_terminal.h"
#include "support/windowed_panel.h"

using vp::panel::Form1;

namespace {

// The controller's end of the line: while it reads, it answers every status poll with a report.
class Controller {
public:
    Controller() {
        QObject::connect(&tick_, &QTimer::timeout, [this] { Serve(); });
        tick_.start(20);
    }

    PseudoTerminal pty;
    bool reading = true;

    // Frames read so far, whole ones only.
    int FramesRead() { return int(WithoutFiller(pty.Received()).count('\r')); }

private:
    void Serve() {
        if (!reading) return;
        const QByteArray fresh = pty.ReadAll();
        for (qsizetype at = 0; (at = fresh.indexOf("111_242\r", at)) >= 0; ++at)
            pty.Write(vp::sim::Frame(vp::sim::StatusReportBody(plant_)));
    }

    vp::sim::Plant plant_;
    QTimer tick_;
};

}  // namespace

class TestStalledController : public QObject {
    Q_OBJECT

private slots:
    void pollsOutlastAControllerThatStopsReading() {
        Controller controller;
        QVERIFY(controller.pty.ok());
        WindowedPanel panel({.ports = {{3, controller.pty.path()}}});
        Form1& form = panel.form();
        form.show();
        const auto grey = [&] { return form.shpTG1->FillColor() == vp::panel::kGreyText; };

        QTest::mouseClick(form.findChild<QPushButton*>("cmdConnect"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!grey(), 5000);

        // The controller stops reading and the line fills; it stays full until the watchdog has
        // seen a whole period without a report.
        controller.reading = false;
        QTRY_VERIFY_WITH_TIMEOUT((FillLine(controller.pty.path()), grey()), 10000);
        QCOMPARE(form.lblStatus->Caption(), QStringLiteral("Connected"));
        QVERIFY2(!form.txtStatus->text().contains("Error"), qPrintable(form.txtStatus->text()));

        // It reads again: the polls are there at once and the reports show.
        const int before = controller.FramesRead();
        controller.reading = true;
        QTRY_VERIFY_WITH_TIMEOUT(controller.FramesRead() > before, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!grey(), 5000);
        QCOMPARE(form.lblStatus->Caption(), QStringLiteral("Connected"));
    }
};

QTEST_MAIN(TestStalledController)
#include "tst_stalled_controller.moc"
