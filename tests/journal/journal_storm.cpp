// Writes warning records into the journal named by its argument as fast as it can, and says on
// standard output how many it has handed over, until it is killed.
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>

#include "journal/journal.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) return 2;
    vp::journal::Journal journal({.path = QString::fromLocal8Bit(argv[1]),
                                  .run = {"journal_storm", "0", "test", ::getpid()},
                                  .now = {}});
    journal.Start();
    for (long i = 0;; ++i) {
        journal.Add(vp::journal::Kind::Warning, 220, "storm " + std::to_string(i));
        if (i % 20 == 0) {
            std::printf("%ld\n", i);
            std::fflush(stdout);
            // The storm's rate, not a wait: near 20 000 records a second fills every batch, while
            // an unpaced writer would outrun the queue's bound and the journal would discard.
            ::usleep(1000);
        }
    }
}
