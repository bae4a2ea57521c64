// SPDX-License-Identifier: MIT
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
#include "year_journal.h"

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
    // A path on the command line keeps the year's journal there, for the trend's figure.
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("journal.sqlite");
    const std::int64_t start = 1'767'225'600'000;  // 2026-01-01T00:00:00Z
    if (!WriteYearOfJournal(path, start)) return 1;
    const double mb =
        static_cast<double>(QFileInfo(path).size() + QFileInfo(path + "-wal").size()) / 1e6;
    std::printf("journal, a year of a busy plant (561,370 records): database size\t%.1f\tMB\n", mb);
    std::printf("journal, a year: vacuum-journal, one day as text\t%.0f\tms\n",
                Run({path, "--from", "2026-06-01", "--to", "2026-06-01"}));
    std::printf("journal, a year: vacuum-journal, the whole year to csv\t%.0f\tms\n",
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
    std::printf("journal: Add on the event loop, p99 of 20,000 in a row\t%.1f\tus\n",
                costs[costs.size() * 99 / 100]);
    std::printf("journal: Add on the event loop, worst of 20,000 in a row\t%.1f\tus\n",
                costs.back());
    return 0;
}
