// The journal of a year of a busy plant (one list entry a minute, 50 operator actions a day, a
// link event an hour): its size, vacuum-journal over one day and over the whole year, and what
// handing a record to the journal costs the event loop.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "journal/journal.h"
#include "journal/journal_file.h"

using namespace vp::journal;

namespace {

double Run(const QStringList& arguments) {
    QProcess reader;
    reader.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    reader.start(VP_READER_PROGRAM, arguments);
    reader.waitForFinished(-1);
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    const std::int64_t start = 1'767'225'600'000;  // 2026-01-01T00:00:00Z
    {
        JournalFile file;
        if (file.Open(path, JournalFile::Mode::Write) || file.BeginRun({"bench", "0", "b", 1}, 0))
            return 1;
        std::vector<Entry> day;
        for (int d = 0; d < 365; ++d) {
            day.clear();
            const std::int64_t base = start + d * Journal::kDayMs;
            for (int m = 0; m < 1440; ++m)
                day.push_back(
                    {base + m * 60000,
                     m % 3 ? Kind::Warning : Kind::Error,
                     m % 3 ? 220 : 170,
                     "Com3",
                     {},
                     m % 3 ? " 220 (OP_ERR_PNEUMATIC_PRESSURE)" : "170 (no response from icpcon)",
                     "090_\xaa"
                     "426"});
            for (int a = 0; a < 50; ++a)
                day.push_back({base + a * 1700000 + 7, Kind::Operator, 121, "Com3", "cmdHigh",
                               "mode High vacuum", "121_243\r"});
            for (int h = 0; h < 24; ++h)
                day.push_back({base + h * 3600000 + 11,
                               Kind::Link,
                               {},
                               "Com3",
                               {},
                               h % 2 ? "link live again" : "link stale: no status report for 3 s",
                               {}});
            std::sort(day.begin(), day.end(),
                      [](const Entry& a, const Entry& b) { return a.timeMs < b.timeMs; });
            if (file.Append(day)) return 1;
        }
    }
    const double mb =
        static_cast<double>(QFileInfo(path).size() + QFileInfo(path + "-wal").size()) / 1e6;
    std::printf("journal\tyear of a busy plant: database size\t%.1f MB\t(565,200 records)\n", mb);
    std::printf("journal\tvacuum-journal, one day as text\t%.0f ms\t<= 100 ms\n",
                Run({path, "--from", "2026-06-01", "--to", "2026-06-01"}));
    std::printf("journal\tvacuum-journal, the whole year to csv\t%.0f ms\t<= 3000 ms\n",
                Run({path, "--format", "csv"}));

    // The event loop's share: one Add per record at full line rate, a warning in every report.
    Journal journal(
        {.path = dir.filePath("rate.sqlite"), .run = {"bench", "0", "b", 1}, .now = {}});
    journal.Start();
    std::vector<double> costs;
    for (int i = 0; i < 20000; ++i) {
        QElapsedTimer clock;
        clock.start();
        journal.Add(Kind::Warning, 220, " 220 (OP_ERR_PNEUMATIC_PRESSURE)", {},
                    "220_\x96"
                    "123");
        costs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e3);
        if (i % 100 == 0) QCoreApplication::processEvents();
    }
    journal.End();
    std::sort(costs.begin(), costs.end());
    std::printf("journal\tAdd on the event loop, p99 of 20,000\t%.1f us\t<= 1000 us\n",
                costs[costs.size() * 99 / 100]);
    std::printf("journal\tAdd on the event loop, worst of 20,000\t%.1f us\t\n", costs.back());
    return 0;
}
