// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vp::journal {

// What a record of the journal is about. The words are what the file holds and the reader
// filters by, so they never change once released.
enum class Kind : std::uint8_t { Error, Warning, Message, Operator, Link, Quality, Program };

const char* KindWord(Kind kind);
// "error" or "errors", and so on; nullopt for a word that names no kind.
std::optional<Kind> KindFromWord(std::string_view word);

// One record as the panel hands it over; the run it belongs to is the writer's to add.
struct Entry {
    std::int64_t timeMs = 0;  // UTC, ms since 1970
    Kind kind = Kind::Program;
    std::optional<int> code;  // result code, warning or message kind, command number
    std::string source;       // the plant's prefix, or the port
    std::string control;      // the operator's control or menu entry
    std::string text;         // as the window shows it, or what happened
    std::string raw;          // the message or frame as bytes on the line
};

}  // namespace vp::journal
