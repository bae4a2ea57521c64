// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "journal/journal_reader.h"

namespace vp::journal {

// A record as one line of each of the reader's formats, line end included. Text is aligned for
// a terminal in local time; csv (RFC 4180) and json (one object a line inside an array) carry
// UTC and every field, the raw bytes escaped as the traffic record escapes them.
std::string TextLine(const Row& row);
std::string CsvHeader();
std::string CsvLine(const Row& row);
std::string JsonObject(const Row& row);

// \\ \r \n \t and \xHH for other bytes outside printable ASCII.
std::string EscapeBytes(const std::string& bytes);

}  // namespace vp::journal
