// SPDX-License-Identifier: MIT
// The journal's events on the trend, as a person sees them in a --png picture.
#include <QDateTime>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "journal/journal.h"
#include "log_writer.h"

using vp::journal::Journal;
using vp::journal::Kind;

namespace {

const QRgb kErrorRed = qRgb(0xd0, 0x10, 0x10);
const QRgb kOperatorBlue = qRgb(0x20, 0x40, 0xe0);

// Columns of the picture that hold a vertical run of at least 30 pixels of the colour: the
// marks, not the legend's small swatch.
QList<int> MarkColumns(const QImage& image, QRgb colour) {
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        int run = 0, longest = 0;
        for (int y = 0; y < image.height(); ++y) {
            run = image.pixel(x, y) == colour ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest >= 30) columns << x;
    }
    return columns;
}

qint64 At(int hour) {
    return QDateTime(QDate(2026, 12, 6), QTime(hour, 0)).toMSecsSinceEpoch();
}

}  // namespace

class TestTrendEvents : public QObject {
    Q_OBJECT
private slots:
    void marksInThePicture() {
        QTemporaryDir dir;
        LogWriter writer(dir.path());
        for (int hour = 6; hour <= 18; ++hour)
            for (int minute = 0; minute < 60; minute += 10)
                writer.Tick("2026-12-06", QTime(hour, minute).toString("HH:mm:ss"), kHighVacuum);
        std::int64_t now = At(9);
        {
            Journal journal({.path = dir.filePath("log/journal.sqlite"),
                             .run = {"test", "0", "test", 1},
                             .now = [&] { return now; }});
            journal.Start();
            journal.Add(Kind::Error, 170, "170 (no response from icpcon)");
            now = At(15);
            journal.Add(Kind::Operator, 121, "mode High vacuum", "cmdHigh");
            now = At(16);
            journal.Add(Kind::Warning, 230, "warning of another day");
            journal.End();
        }
        // Without the journal's events first, then with them.
        QImage pictures[2];
        for (int events = 0; events < 2; ++events) {
            const QString png = dir.filePath(QStringLiteral("trend%1.png").arg(events));
            QStringList arguments{dir.path(), "--png", png};
            if (!events) arguments << "--no-events";
            QProcess trend;
            trend.start(VP_TREND_PROGRAM, arguments);
            QVERIFY(trend.waitForFinished(60000));
            QCOMPARE(trend.exitCode(), 0);
            pictures[events] = QImage(png).convertToFormat(QImage::Format_RGB32);
        }
        QVERIFY(MarkColumns(pictures[0], kErrorRed).isEmpty());
        QVERIFY(MarkColumns(pictures[0], kOperatorBlue).isEmpty());
        const QList<int> error = MarkColumns(pictures[1], kErrorRed);
        const QList<int> command = MarkColumns(pictures[1], kOperatorBlue);
        QVERIFY(!error.isEmpty() && !command.isEmpty());
        // 09:00 and 15:00 on an axis of the logged hours: six hours apart, in order.
        QVERIFY(error.last() < command.first());
        QVERIFY(command.first() - error.last() > pictures[1].width() / 4);
    }
};

QTEST_MAIN(TestTrendEvents)
#include "tst_trend_events.moc"
