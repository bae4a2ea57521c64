// SPDX-License-Identifier: MIT
// Writes warning records into the journal named by its argument as fast as it can, and says on
// standard output how many are written, until it is killed.
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
        // Paced by the journal itself: what is said to be handed over has been written, and an
        // unpaced writer would outrun the queue's bound, so that the journal would discard.
        if (i % 2000 == 0) {
            if (!journal.Flush()) return 1;
            std::printf("%ld\n", i);
            std::fflush(stdout);
        }
    }
}
