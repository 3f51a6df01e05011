// Fuzz target: the search's match test, on the whole bytes and on a stream read in chunks.
//
// Input: byte 0 picks the module (its low bits; the high bit asks for a model text taken from the
// input instead of the module's model list), byte 1 picks the model (or gives the length of the
// model text that follows), the rest is the file's content. A finding is:
// - AnalyzePatchStream giving another verdict than AnalyzePatch for some chunk size (1, 2, 3, 7,
//   64, one the input's size picks, 4096, 65536; 1 and 2 only up to kTinyChunkLimit bytes);
// - AnalyzePatch giving another verdict than the match test as the header states it, worked out
//   here the plain way.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_finding.h"
#include "search/patch_search.h"

namespace patchlens::fuzz {
namespace {

constexpr std::size_t kLongestModelText = 24;
constexpr std::size_t kTinyChunkLimit = 16 << 10;

// The fifth line read from the first byte of the first occurrence of the key must contain the
// needle. Lines end only at CR LF; what follows the last CR LF is a line; lines past the end are
// empty.
bool FifthLineHolds(std::string_view bytes, std::string_view key, std::string_view needle) {
    std::size_t at = bytes.find(key);
    if (at == std::string_view::npos)
        return false;
    for (int passed = 0; passed < 4; ++passed) {
        const std::size_t end = bytes.find("\r\n", at);
        if (end == std::string_view::npos)
            return needle.empty(); // the fifth line lies past the end
        at = end + 2;
    }
    const std::size_t end = bytes.find("\r\n", at);
    const std::string_view line =
        bytes.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    return line.find(needle) != std::string_view::npos;
}

bool PlainMatch(std::string_view bytes, const SearchTarget &target) {
    return FifthLineHolds(bytes, "<ID>" + target.enableId + "</ID>", "On") &&
           FifthLineHolds(bytes, "<ID>" + target.typeId + "</ID>", target.model);
}

std::string Describe(const SearchTarget &target, std::string_view reading) {
    return "enable " + target.enableId + ", type " + target.typeId + ", model \"" + target.model + "\", " +
           std::string(reading);
}

} // namespace
} // namespace patchlens::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace patchlens;
    using namespace patchlens::fuzz;
    if (size < 2)
        return 0;
    std::string_view input(reinterpret_cast<const char *>(data), size);
    const auto modules = SearchModules();
    const SearchModule &module = modules[data[0] % modules.size()];
    SearchTarget target;
    if ((data[0] & 0x80) == 0) {
        target = MakeSearchTarget(module, module.models[data[1] % module.models.size()]);
        input.remove_prefix(2);
    } else {
        input.remove_prefix(2);
        const std::string_view model = input.substr(0, data[1] % (kLongestModelText + 1));
        target = MakeSearchTarget(module, model);
        input.remove_prefix(model.size());
    }

    const bool whole = AnalyzePatch(input, target);
    Require(whole == PlainMatch(input, target), "AnalyzePatch differs from the plain match test",
            Describe(target, "whole"));

    // Chunks of one and two bytes cost a pass of the matcher per byte or two; a long input is
    // read in them only while it is short enough for the fuzzer to keep its pace.
    const std::size_t chunks[] = {1, 2, 3, 7, 64, 1 + size % 251, 4096, 1 << 16};
    for (const std::size_t chunk : chunks) {
        if (chunk < 3 && input.size() > kTinyChunkLimit)
            continue;
        std::istringstream stream{std::string(input)};
        Require(AnalyzePatchStream(stream, target, chunk) == whole,
                "AnalyzePatchStream differs from AnalyzePatch",
                Describe(target, "chunk " + std::to_string(chunk)));
    }
    return 0;
}
