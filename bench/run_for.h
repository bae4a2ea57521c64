// SPDX-License-Identifier: MIT
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

// Runs the event loop for `ms` milliseconds, or until `done` says so (asked every 10 ms).
template <typename Done>
bool RunFor(int ms, Done done) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(10);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
