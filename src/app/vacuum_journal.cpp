// SPDX-License-Identifier: MIT
// vacuum-journal: prints the plant journal, filtered, as text, csv or json.
#include <QCoreApplication>
#include <cstdio>

#include "base/program_name.h"
#include "journal/journal_reader.h"
#include "journal/reader_options.h"
#include "journal/record_format.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    vp::NameApplication(vp::kJournalProgram);
    using namespace vp::journal;
    const ReaderOptions options = ParseReaderCommandLine(QCoreApplication::arguments());
    if (options.exitCode) {
        std::fputs(qPrintable(options.message), *options.exitCode == 0 ? stdout : stderr);
        return *options.exitCode;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    std::size_t count = 0;
    const auto put = [](const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    };
    const vp::Result<> read = ReadJournal(options.path, options.query, [&](const Row& row) {
        switch (options.format) {
            case Format::Text:
                put(TextLine(row));
                break;
            case Format::Csv:
                if (count == 0) put(CsvHeader());
                put(CsvLine(row));
                break;
            case Format::Json:
                put(count == 0 ? "[\n" : ",\n");
                put(JsonObject(row));
                break;
        }
        ++count;
    });
    if (options.format == Format::Json) put(count == 0 ? "[]\n" : "\n]\n");
    std::fflush(stdout);
    if (!read.ok()) {
        std::fprintf(stderr, "%s: %s\n", vp::kJournalProgram, qPrintable(read.error()));
        return 1;
    }
    if (count == 0) {
        std::fprintf(stderr, "%s: no record matches in %s\n", vp::kJournalProgram,
                     qPrintable(options.path));
        return 1;
    }
    return 0;
}
