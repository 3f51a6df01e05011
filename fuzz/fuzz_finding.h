#pragma once
// A broken promise of the core: say which and abort, so that libFuzzer keeps the input as a finding.

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace patchlens::fuzz {

inline void Require(bool holds, std::string_view what, std::string_view detail = {}) {
    if (holds)
        return;
    std::fprintf(stderr, "\nFINDING: %.*s\n  %.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

} // namespace patchlens::fuzz
