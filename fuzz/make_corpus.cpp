// SPDX-License-Identifier: MIT
// Writes the seed corpus: make_fuzz_corpus DIR makes DIR/receive, DIR/number_reader and
// DIR/set_points, one small file per seed.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "report_maker.h"

namespace {

namespace fs = std::filesystem;
using vp::bench::Digits;
using vp::bench::Framed;
using vp::bench::ShortReply;

void Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_corpus DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path rx = root / "receive";
    constexpr unsigned char kOk = 150;

    Write(rx, "status-report", vp::bench::StatusReportLine(7));
    std::string faulty = vp::bench::StatusReportBody(8);
    faulty[12] = static_cast<char>(170);  // 1G1 not OK
    faulty[41] = static_cast<char>(195);  // TMP1 stopping
    faulty[61] = static_cast<char>(198);  // rotary tripped
    Write(rx, "status-report-faults", Framed(faulty));
    Write(rx, "status-reports-three",
          vp::bench::StatusReportLine(1) + vp::bench::StatusReportLine(2) +
              vp::bench::StatusReportLine(3));
    Write(rx, "acknowledgement", Framed(ShortReply("120", kOk)));
    Write(rx, "error-report", Framed(ShortReply("111", 170)));
    Write(rx, "warning", Framed(ShortReply("235", kOk)));
    Write(rx, "tmp-errors",
          Framed("038_" + std::string(1, char(kOk)) + Digits(12, 5) + Digits(3, 5)));
    Write(rx, "operating-hours",
          Framed("040_" + std::string(1, char(kOk)) + Digits(1234, 6) + Digits(98765, 6)));
    Write(rx, "operating-hours-failed", Framed(ShortReply("040", 156)));
    Write(rx, "gauge-errors",
          Framed("090_" + std::string(1, char(kOk)) + Digits(1, 5) + Digits(2, 5) + Digits(3, 5) +
                 Digits(4, 5)));
    Write(rx, "icpcon-errors",
          Framed("092_" + std::string(1, char(kOk)) + Digits(1, 5) + Digits(0, 5) +
                 Digits(99999, 5) + Digits(7, 5) + Digits(10, 5)));
    Write(rx, "unknown-kind", Framed(ShortReply("039", kOk)));
    std::string bad = vp::bench::StatusReportLine(9);
    bad[bad.size() - 2] =
        bad[bad.size() - 2] == '9' ? '0' : static_cast<char>(bad[bad.size() - 2] + 1);
    Write(rx, "bad-checksum", bad);
    Write(rx, "overlong-line", std::string(300, 'A') + '\r' + Framed(ShortReply("120", kOk)));

    const fs::path nr = root / "number_reader";
    const std::vector<std::string> numbers = {"5.000E-3", "1.013E 3", "&H7FFF",     "&O777",
                                              "-12.5D+3", " 42abc",   "0000003600", ".5e",
                                              "1e400",    "+-1"};
    for (std::size_t i = 0; i < numbers.size(); ++i)
        Write(nr, "number-" + std::to_string(i), numbers[i]);

    // Text first, then (from the end) whether it is UTF-8 and which box it goes into.
    const fs::path sp = root / "set_points";
    const std::vector<std::string> typed = {"50",  "20",   "100", "19",   "101",  "5 0",
                                            "4e1", "&H32", "",    "abcd", "20.0", "-50"};
    for (std::size_t i = 0; i < typed.size(); ++i)
        Write(sp, "set-point-" + std::to_string(i),
              typed[i] + std::string(1, '\0') + std::string(1, static_cast<char>(i % 3)));
    return 0;
}
