#pragma once
// What a fuzz target does when an input breaks a promise of the core: it says which promise and
// aborts, so that libFuzzer keeps the input as a finding.

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace patchlens::fuzz {

[[noreturn]] inline void Finding(std::string_view what, std::string_view detail = {}) {
    std::fprintf(stderr, "\nFINDING: %.*s\n", static_cast<int>(what.size()), what.data());
    if (!detail.empty())
        std::fprintf(stderr, "  %.*s\n", static_cast<int>(detail.size()), detail.data());
    std::fflush(stderr);
    std::abort();
}

inline void Require(bool holds, std::string_view what, std::string_view detail = {}) {
    if (!holds)
        Finding(what, detail);
}

} // namespace patchlens::fuzz
