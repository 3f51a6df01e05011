// Fuzz target: the search's match test, on the whole bytes and on a stream read in chunks. Byte 0
// picks the module (low bits; the high bit takes the model text from the input), byte 1 the model
// (or the length of the model text that follows), the rest is the file. A finding is AnalyzePatch
// differing from the match rule worked out here the plain way, or AnalyzePatchStream differing
// from AnalyzePatch for some chunk size (1 and 2 only up to kTinyChunkLimit bytes).

#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_finding.h"
#include "search/patch_search.h"

namespace patchlens::fuzz {
namespace {

constexpr std::size_t kLongestModelText = 24;
constexpr std::size_t kTinyChunkLimit = 16 << 10;

// The fifth line read from the first byte of the first occurrence of the key must contain the
// needle. Lines end only at CR LF; what follows the last CR LF is a line; lines past the end are
// empty.
bool FifthLineHolds(std::string_view bytes, const std::string &key, std::string_view needle) {
    std::size_t at = bytes.find(key);
    if (at == std::string_view::npos)
        return false;
    for (int passed = 0; passed < 4; ++passed, at += 2)
        if ((at = bytes.find("\r\n", at)) == std::string_view::npos)
            return needle.empty(); // the fifth line lies past the end
    return bytes.substr(at, bytes.find("\r\n", at) - at).find(needle) != std::string_view::npos;
}

} // namespace
} // namespace patchlens::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace patchlens;
    using namespace patchlens::fuzz;
    if (size < 2)
        return 0;
    std::string_view input(reinterpret_cast<const char *>(data + 2), size - 2);
    const SearchModule &module = SearchModules()[data[0] % SearchModules().size()];
    std::string_view model = module.models[data[1] % module.models.size()];
    if (data[0] & 0x80) {
        model = input.substr(0, data[1] % (kLongestModelText + 1));
        input.remove_prefix(model.size());
    }
    const SearchTarget target = MakeSearchTarget(module, model);
    const std::string what =
        "enable " + target.enableId + ", type " + target.typeId + ", model \"" + target.model + "\"";

    const bool whole = AnalyzePatch(input, target);
    Require(whole == (FifthLineHolds(input, "<ID>" + target.enableId + "</ID>", "On") &&
                      FifthLineHolds(input, "<ID>" + target.typeId + "</ID>", target.model)),
            "AnalyzePatch differs from the plain match rule", what);
    // Chunks of one and two bytes cost a pass of the matcher per byte or two: only for short inputs.
    for (const std::size_t chunk :
         std::initializer_list<std::size_t>{1, 2, 3, 7, 64, 1 + size % 251, 4096, 1 << 16}) {
        if (chunk < 3 && input.size() > kTinyChunkLimit)
            continue;
        std::istringstream stream{std::string(input)};
        Require(AnalyzePatchStream(stream, target, chunk) == whole,
                "AnalyzePatchStream differs from AnalyzePatch", what + ", chunk " + std::to_string(chunk));
    }
    return 0;
}
