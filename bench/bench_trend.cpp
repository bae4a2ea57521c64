// SPDX-License-Identifier: MIT
// vacuum-trend over long spans of daily logs: the real program plots generated logs to a PNG; the
// figure is the time from its spawn to its exit and its peak resident memory (wait4's
// ru_maxrss).
//
//   bench_trend [TIMEOUT_SECONDS]   one year of minute logs, 5,000 days, and one 15 MB file whose
//                                   clock steps back on every line; a run still going at the
//                                   timeout (default 300 s) is stopped and reported as such
//
// Prints "figure<TAB>value<TAB>unit" lines for bench/run.
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "year_journal.h"

extern char** environ;

namespace {

constexpr char kTitle[] = "Merivax vacuum (all pressures in milibars)\r\n";

// Pressures that move through the decades in the course of a day, as a plant's do.
QByteArray PressureText(int gauge, long long minute) {
    const double decade = -7.0 + gauge + 3.0 * std::sin(minute / (97.0 + 13 * gauge));
    int exponent = static_cast<int>(std::floor(decade));
    double mantissa = std::pow(10.0, decade - exponent);
    if (mantissa >= 9.9995) {  // would print as 10.000
        mantissa /= 10;
        ++exponent;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3fE%c%d", mantissa, exponent < 0 ? '-' : ' ',
                  std::abs(exponent));
    return text;
}

QByteArray Record(int secondOfDay, long long minute) {
    char time[32];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d UTC", secondOfDay / 3600,
                  secondOfDay / 60 % 60, secondOfDay % 60);
    QByteArray line(time);
    for (int g = 0; g < 4; ++g) line += '\t' + PressureText(g, minute);
    return line + "\r\n";
}

bool WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray Header(QDate date) {
    return kTitle + date.toString(Qt::ISODate).toLatin1() + "\tTG1\t1G1\t2G1\t1G3\r\n\r\n";
}

// `days` daily files of a record a minute, from 2000-01-01 on.
bool WriteDays(const QString& folder, int days) {
    QDir().mkpath(folder);
    const QDate first(2000, 1, 1);
    for (int d = 0; d < days; ++d) {
        const QDate date = first.addDays(d);
        QByteArray text = Header(date);
        text.reserve(100'000);
        for (int minute = 0; minute < 1440; ++minute)
            text += Record(minute * 60, static_cast<long long>(d) * 1440 + minute);
        if (!WriteFile(QDir(folder).filePath(date.toString(Qt::ISODate) + ".dat"), text))
            return false;
    }
    return true;
}

// One file of some 15 MB in which every record is a second earlier than the one before.
bool WriteBackwards(const QString& path) {
    QByteArray text = Header(QDate(2000, 1, 1));
    for (long long i = 0; text.size() < 15'000'000; ++i)
        text += Record(86399 - static_cast<int>(i % 86400), i);
    return WriteFile(path, text);
}

double Seconds(const timespec& from, const timespec& to) {
    return (to.tv_sec - from.tv_sec) + (to.tv_nsec - from.tv_nsec) / 1e9;
}

struct Run {
    double seconds = -1;
    double peakMb = -1;
    bool finished = false;
};

Run Plot(const std::vector<std::string>& arguments, int timeoutSeconds) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0) env.emplace_back(*e);
    }
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args{VP_TREND_PROGRAM};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    Run run;
    timespec start{}, now{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return run;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (done == pid) break;
        if (Seconds(start, now) > timeoutSeconds) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            run.seconds = Seconds(start, now);
            run.peakMb = usage.ru_maxrss / 1024.0;
            std::fprintf(stderr, "bench_trend: still running after %d s, stopped\n",
                         timeoutSeconds);
            return run;
        }
        usleep(5000);
    }
    run.seconds = Seconds(start, now);
    run.peakMb = usage.ru_maxrss / 1024.0;
    run.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.finished) std::fprintf(stderr, "bench_trend: vacuum-trend failed\n");
    return run;
}

void Figure(const std::string& name, double value, const char* unit) {
    std::printf("%s\t%.6g\t%s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

void Report(const std::string& name, const Run& run) {
    Figure(name + ": time", run.seconds, "s");
    Figure(name + ": peak resident memory", run.peakMb, "MB");
}

}  // namespace

int main(int argc, char* argv[]) {
    const int timeout = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    QTemporaryDir dir;
    const QString year = dir.filePath("year"), many = dir.filePath("many");
    const QString backwards = dir.filePath("backwards.dat"), png = dir.filePath("out.png");
    if (!dir.isValid() || !WriteDays(year, 365) || !WriteDays(many, 5000) ||
        !WriteBackwards(backwards)) {
        std::fprintf(stderr, "bench_trend: cannot write the logs\n");
        return 1;
    }
    // The same year again, with a year of the panel journal's events beside its logs.
    const QString marked = dir.filePath("marked");
    if (!WriteDays(marked, 365) ||
        !WriteYearOfJournal(QDir(marked).filePath("journal.sqlite"), 946'684'800'000)) {
        std::fprintf(stderr, "bench_trend: cannot write the journal\n");
        return 1;
    }
    const std::string out = png.toStdString();
    const auto range = [&](const QString& folder) {
        return std::vector<std::string>{folder.toStdString(), "--from", "2000-01-01", "--png", out};
    };
    bool ok = true;
    for (const auto& [name, arguments] :
         {std::pair{std::string("trend, 365 days x 1,440 lines to PNG"), range(year)},
          std::pair{std::string("trend, 365 days and a year of journal events to PNG"),
                    range(marked)},
          std::pair{std::string("trend, 5,000 days x 1,440 lines to PNG"), range(many)},
          std::pair{std::string("trend, 15 MB file, clock set back every line"),
                    std::vector<std::string>{backwards.toStdString(), "--png", out}}}) {
        const Run run = Plot(arguments, timeout);
        Report(name, run);
        ok &= run.finished;
    }
    return ok ? 0 : 1;
}
