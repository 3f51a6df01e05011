// Fuzz target: any bytes through the patch reader and the whole decode. The input is one patch, or
// two joined by kNextPatch: the reader runs on the first, then both (or the first twice) are decoded
// into one Patch, as the viewer decodes successive loads. A finding: an index other than the key
// occurrences found independently, or a lookup through it other than one by scanning; the line
// reader and ItemOf disagreeing or losing bytes; a schema verdict contradicting its version, an untrimmed
// name; a refused decode changing the patch; decoding the same bytes again giving other panels.

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz_finding.h"
#include "panels/module_panels.h"
#include "patch/decode.h"
#include "patch/patch_text.h"
#include "text/byte_text.h"
#include "vocabulary/model_catalogue.h"

namespace patchlens::fuzz {
namespace {

constexpr std::string_view kNextPatch{"\0NEXT\0", 6};

// Where each key "<ID>" id "</ID>" with an id free of '<' occurs, found from the other end than
// the index finds them: from each "</ID>" back to the '<' before it, which must begin "<ID>".
using Keys = std::map<std::string_view, std::vector<std::size_t>>;
Keys KeyPositions(std::string_view bytes) {
    Keys keys;
    for (std::size_t close = bytes.find("</ID>", 1); close != std::string_view::npos;
         close = bytes.find("</ID>", close + 1)) {
        const std::size_t open = bytes.rfind('<', close - 1);
        if (open != std::string_view::npos && bytes.compare(open, 4, "<ID>") == 0)
            keys[bytes.substr(open + 4, close - open - 4)].push_back(open);
    }
    return keys;
}

// A lookup by scanning reads up to the key, often to the end: every pair of id and context of a
// long text would slow the fuzzer to a few inputs a second. So a short text checks every pair, a
// long one a run of consecutive pairs within this budget of scanned bytes, starting where the
// input's hash points, so that the inputs together cover every pair.
constexpr std::size_t kScanBudget = std::size_t{1} << 20;

// For each id the index finds exactly the occurrences of its key, in order, and lookups through it
// find what lookups by scanning find.
void CheckIndex(const PatchText &text, std::span<const std::string_view> ids, const Keys &keys,
                std::size_t seed) {
    // Every context a lookup is made under: the Pickup's "", each module's, and two no module uses.
    static const std::vector<std::string_view> contexts = [] {
        std::set<std::string_view> all = {"", "Amp", "none"};
        for (const CatalogueEntry &entry : ModelCatalogue())
            all.insert(entry.context);
        for (const ModuleInfo &info : Modules())
            all.insert(info.context);
        return std::vector<std::string_view>(all.begin(), all.end());
    }();
    for (const std::string_view id : ids) {
        if (id.find('<') != std::string_view::npos)
            continue; // found by a search of the bytes, not through the index
        const auto found = keys.find(id);
        std::size_t from = 0;
        for (const std::size_t at : found == keys.end() ? std::vector<std::size_t>{} : found->second) {
            Require(text.FindKey(id, from) == at, "the index misses an occurrence or finds another", id);
            from = at + 1;
        }
        Require(text.FindKey(id, from) == std::string_view::npos, "the index finds a key the text lacks", id);
    }
    const std::size_t pairs = ids.size() * contexts.size();
    const std::size_t checked =
        std::min(pairs, std::max(kScanBudget / (text.bytes().size() + 1), contexts.size()));
    for (std::size_t n = 0; n < checked; ++n) {
        const std::size_t pair = ((checked == pairs ? 0 : seed % pairs) + n) % pairs;
        const std::string_view id = ids[pair / contexts.size()], context = contexts[pair % contexts.size()];
        const std::string what = "context \"" + std::string(context) + "\", id \"" + std::string(id) + "\"";
        Require(FindParameter(text, context, id) == FindParameterByScan(text, context, id),
                "index and scan disagree", what);
    }
}

// Up to eight distinct ids as the text writes them between "<ID>" and "</ID>" (empty, holding
// '<', cut to 64 bytes), then "0" and the first again (a duplicate).
std::vector<std::string> IdsOfText(std::string_view bytes) {
    std::vector<std::string> ids;
    for (std::size_t at = bytes.find("<ID>"); at != std::string_view::npos && ids.size() < 8;
         at = bytes.find("<ID>", at + 1)) {
        const std::size_t close = bytes.find("</ID>", at + 4);
        if (close == std::string_view::npos)
            break;
        std::string id(bytes.substr(at + 4, std::min<std::size_t>(close - at - 4, 64)));
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(std::move(id));
    }
    ids.push_back("0");
    ids.push_back(ids.front());
    return ids;
}

// The reader: lines, schema verdict and name.
void CheckReader(std::string_view bytes) {
    LineReader reader(bytes);
    std::string rebuilt;
    std::vector<std::string_view> lines;
    while (reader.Position() < bytes.size()) {
        const std::size_t before = reader.Position();
        const std::string_view line = reader.Next();
        Require(line.find("\r\n") == std::string_view::npos, "the line reader returns a CR LF");
        const bool ended = reader.Position() - before == line.size() + 2;
        Require(ended || (reader.Position() - before == line.size() && reader.Position() == bytes.size()),
                "the line reader skips bytes or does not advance");
        rebuilt.append(line).append(ended ? "\r\n" : "");
        lines.push_back(line);
    }
    Require(rebuilt == bytes && reader.Next().empty() && reader.Position() == bytes.size(),
            "the lines of the line reader do not make up the text, or it reads on past the end");
    for (std::size_t i = 0; i < std::min<std::size_t>(lines.size(), 40); ++i)
        Require(ItemOf(bytes, i) == lines[i], "ItemOf and the line reader disagree", std::to_string(i));
    Require(ItemOf(bytes, lines.size()).empty() && ItemOf(bytes, lines.size() + 1).empty(),
            "a line past the last is not empty");

    const std::string version(FieldAt(ItemOf(bytes, 1), '"', 1));
    const Status verdict = CheckSchemaVersion(bytes);
    Require(verdict.ok() == !(kSupportedSchemaVersion < std::string_view(version)),
            "schema verdict contradicts the version text", version);
    Require(verdict.ok() || (verdict.error().kind() == ErrorKind::Refused &&
                             verdict.message().find(version) != std::string::npos),
            "schema refusal does not name the version");
    const std::string name = ReadPatchName(bytes);
    Require(name.empty() ||
                (name.front() != ' ' && name.front() != '\t' && name.back() != ' ' && name.back() != '\t'),
            "patch name is not trimmed");
}

bool SamePanels(const ModulePanels &a, const ModulePanels &b) {
    return std::equal(a.begin(), a.end(), b.begin(), [](const ModulePanel &x, const ModulePanel &y) {
        return x.lampOn == y.lampOn && x.list.lines == y.list.lines && x.list.selected == y.list.selected &&
               x.list.enabled == y.list.enabled;
    });
}

// One load as the viewer makes it: the new bytes replace the text, then the decode.
void Load(Patch &patch, std::string_view bytes) {
    const std::string nameBefore = patch.name;
    const ModulePanels panelsBefore = patch.panels;
    patch.text = MakePatchText(std::string(bytes));
    const Status outcome = DecodePatch(patch);
    Require(outcome.ok() || !outcome.message().empty(), "a refusal without a message");
    if (!outcome.ok()) {
        Require(patch.name == nameBefore && SamePanels(patch.panels, panelsBefore),
                "a refused patch changed what is shown");
        return;
    }
    Require(patch.name == ReadPatchName(bytes), "the name shown is not the patch name");
    for (const ModulePanel &panel : patch.panels)
        Require(!panel.list.selected || *panel.list.selected < panel.list.lines.size(),
                "a panel selects a line it does not have");
}

} // namespace
} // namespace patchlens::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace patchlens;
    using namespace patchlens::fuzz;
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t split = input.find(kNextPatch);
    const std::string_view first = input.substr(0, split);
    const std::string_view second =
        split == std::string_view::npos ? first : input.substr(split + kNextPatch.size());
    CheckReader(first);

    // The index, whatever the schema version says, for the text's own ids (it holds every id).
    const PatchText text = MakePatchText(std::string(first));
    const auto keys = KeyPositions(text.bytes());
    const std::size_t seed = std::hash<std::string_view>{}(input);
    const std::vector<std::string> own = IdsOfText(first);
    const std::vector<std::string_view> ownViews(own.begin(), own.end());
    CheckIndex(text, ownViews, keys, seed);

    // Successive loads into one Patch.
    Patch patch;
    Load(patch, first);
    const ModulePanels afterFirst = patch.panels;
    Load(patch, second);
    Require(split != std::string_view::npos || SamePanels(patch.panels, afterFirst),
            "decoding the same bytes again changed the panels");
    return 0;
}
