// The panel's log tick: the four last pressure texts of real status reports, taken from the
// panel's state and written through the real pressure log into a real folder. No window needed.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "app/panel.h"
#include "protocol/lines.h"
#include "state/dispatcher.h"
#include "support/fake_clock.h"

namespace {

// An 81-byte status report with the four gauges' states and pressures given (state, four
// mantissa characters, two exponent characters): valves closed, pumps stopped, the rest plausible.
QByteArray Report(const std::array<std::pair<int, QByteArray>, 4>& gauges) {
    QByteArray body = "111_\x96";
    for (const auto& [state, pressure] : gauges) body += char(state) + pressure;
    return vp::test::Signed(body + QByteArray(8, char(190)) +
                            "\xc1"
                            "000000\xc1"
                            "000000050100\xc1\xc7\xc7\xcf\xd1\xce\xce"
                            "0000000042");
}

QByteArray Day(const QString& folder, const QString& date) {
    QFile file(QDir(folder).filePath("log/" + date + ".dat"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestLogTick : public QObject {
    Q_OBJECT

private slots:
    void init() {
        clock.date = "2026-12-06", clock.time = "10:00:00";
        previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QDir(dir.path()).mkpath("log");
        panel = std::make_unique<vp::app::Panel>(
            vp::app::Panel::Options{.clock = &clock, .window = false});
    }

    void cleanup() {
        panel.reset();
        QDir::setCurrent(previous);
        QDir(dir.filePath("log")).removeRecursively();
    }

    // Before any report the record holds no pressures; after one, a gauge in error repeats its
    // last good value.
    void aGaugeInErrorRepeatsItsLastGoodValue() {
        panel->tmrLogData_Timer();
        auto& state = panel->state();
        vp::state::HandleMessage(
            state, Report({{{150, "100017"}, {150, "200018"}, {150, "300019"}, {150, "400020"}}})
                       .toStdString());
        clock.time = "10:01:00";
        panel->tmrLogData_Timer();
        // 1G1 fails; the others move on.
        vp::state::HandleMessage(
            state, Report({{{150, "110017"}, {152, "999999"}, {150, "310019"}, {150, "410021"}}})
                       .toStdString());
        clock.time = "10:02:00";
        panel->tmrLogData_Timer();
        const QList<QByteArray> lines = Day(dir.path(), clock.date).split('\n');
        QCOMPARE(lines.value(3), QByteArray("10:00:00\t\t\t\t\r"));
        QCOMPARE(lines.value(4), QByteArray("10:01:00\t1.000E-3\t2.000E-2\t3.000E-1\t4.000E 0\r"));
        QCOMPARE(lines.value(5), QByteArray("10:02:00\t1.100E-3\t2.000E-2\t3.100E-1\t4.100E 1\r"));
        QCOMPARE(Shown(vp::state::Text::lbl1G1), "---");
    }

    void missingFolderIsShownAndLoggingResumes() {
        QVERIFY(QDir(dir.filePath("log")).removeRecursively());
        panel->tmrLogData_Timer();
        QVERIFY(QString::fromStdString(Shown(vp::state::Text::txtStatus))
                    .startsWith("Could not open log file for writing: "));
        QVERIFY(!QDir(dir.filePath("log")).exists());
        QVERIFY(QDir(dir.path()).mkpath("log"));
        panel->tmrLogData_Timer();
        QVERIFY(Day(dir.path(), clock.date).startsWith("Merivax vacuum"));
    }

private:
    QTemporaryDir dir;
    QString previous;
    FakeClock clock;
    std::unique_ptr<vp::app::Panel> panel;
    std::string Shown(vp::state::Text id) { return panel->state().Caption(id); }
};

QTEST_MAIN(TestLogTick)
#include "tst_log_tick.moc"
