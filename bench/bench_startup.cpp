// SPDX-License-Identifier: MIT
// Start-up time of vacuum-panel, offscreen: from just before the process is spawned to the
// moment its window's first frame is painted (reported by the preloaded first_frame library).
// Runs it several times and prints the median and the slowest.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Milliseconds from spawn to first frame; negative on failure.
double OneRun() {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "LD_PRELOAD=", 11) && std::strncmp(*e, "QT_QPA_PLATFORM=", 16))
            env.emplace_back(*e);
    }
    env.push_back("LD_PRELOAD=" VP_FIRST_FRAME_LIB);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("VP_FIRST_FRAME_FD=" + std::to_string(fds[1]));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char program[] = VP_PANEL_PROGRAM;
    char* argv[] = {program, nullptr};

    const long long start = NowNs();
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);  // Qt's chatter
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    close(fds[1]);
    char line[128] = {};
    std::size_t got = 0;
    ssize_t n;
    while (got < sizeof line - 1 && (n = read(fds[0], line + got, sizeof line - 1 - got)) > 0)
        got += static_cast<std::size_t>(n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    long long frame = 0;
    if (std::sscanf(line, "first-frame %lld", &frame) != 1) return -1;
    return (frame - start) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    // The first run pays for cold file caches; it is shown apart from the warm ones.
    const double cold = OneRun();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const double t = OneRun();
        if (t < 0) {
            std::fprintf(stderr, "bench_startup: no first frame reported\n");
            return 1;
        }
        ms.push_back(t);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("start-up to first frame: median\t%.4g\tms\n", ms[ms.size() / 2]);
    std::printf("start-up to first frame: first (cold) run\t%.4g\tms\n", cold);
    std::printf("start-up to first frame: slowest\t%.4g\tms\n", ms.back());
    return 0;
}
