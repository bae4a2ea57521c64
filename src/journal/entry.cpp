// SPDX-License-Identifier: MIT
#include "journal/entry.h"

#include <array>

namespace vp::journal {

namespace {
constexpr std::array<const char*, 7> kWords = {"error", "warning", "message", "operator",
                                               "link",  "quality", "program"};
}

const char* KindWord(Kind kind) {
    return kWords[static_cast<std::size_t>(kind)];
}

std::optional<Kind> KindFromWord(std::string_view word) {
    if (word.size() > 1 && word.back() == 's') word.remove_suffix(1);
    for (std::size_t i = 0; i < kWords.size(); ++i)
        if (word == kWords[i]) return static_cast<Kind>(i);
    return std::nullopt;
}

}  // namespace vp::journal
