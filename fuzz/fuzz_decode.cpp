// Fuzz target: any bytes through the patch reader and the whole decode. The input is one patch, or
// two joined by kNextPatch: the reader runs on the first, then both (or the first twice) are decoded
// into one Patch, as the viewer decodes successive loads. A finding: an index other than the key
// occurrences found independently, or a lookup through it other than one by scanning; ReadLine and
// Line disagreeing or losing bytes; a schema verdict contradicting its version, an untrimmed name;
// a refused decode changing the patch; decoding the same bytes again giving other panels.

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

// The index over `ids` holds, for each id free of '<', exactly the first occurrences of its key
// and whether more follow (ids holding '<' are not in it), and lookups through it find what
// lookups by scanning find.
void CheckIndex(PatchText &text, std::span<const std::string_view> ids, const Keys &keys, std::size_t seed) {
    // Every context a lookup is made under: the Pickup's "", each module's, and two no module uses.
    static const std::vector<std::string_view> contexts = [] {
        std::set<std::string_view> all = {"", "Amp", "none"};
        for (const CatalogueEntry &entry : ModelCatalogue())
            all.insert(entry.context);
        for (const ModuleInfo &info : Modules())
            all.insert(info.context);
        return std::vector<std::string_view>(all.begin(), all.end());
    }();
    IndexParameters(text, ids);
    const auto &entries = text.index.entries;
    Require(text.index.builtFor == text.bytes.data() && text.index.builtSize == text.bytes.size(),
            "the index does not describe the text it was built for");
    for (std::size_t i = 1; i < entries.size(); ++i)
        Require(entries[i - 1].id < entries[i].id, "index entries not sorted or not unique");
    for (const std::string_view id : ids) {
        const auto entry =
            std::find_if(entries.begin(), entries.end(), [&](const auto &e) { return e.id == id; });
        if (id.find('<') != std::string_view::npos) {
            Require(entry == entries.end(), "an id holding '<' is indexed", id);
            continue;
        }
        Require(entry != entries.end(), "an id is missing from the index", id);
        const auto found = keys.find(id);
        const auto positions = found == keys.end() ? std::vector<std::size_t>{} : found->second;
        const std::size_t kept = std::min(positions.size(), ParameterIndex::kKept);
        Require(entry->count == kept && entry->more == (positions.size() > kept) &&
                    std::equal(positions.begin(), positions.begin() + kept, entry->at.begin()),
                "the index keeps other occurrences than the text holds", id);
    }
    const std::size_t pairs = ids.size() * contexts.size();
    const std::size_t checked =
        std::min(pairs, std::max(kScanBudget / (text.bytes.size() + 1), contexts.size()));
    for (std::size_t n = 0; n < checked; ++n) {
        const std::size_t pair = ((checked == pairs ? 0 : seed % pairs) + n) % pairs;
        const std::string_view id = ids[pair / contexts.size()], context = contexts[pair % contexts.size()];
        const std::string what = "context \"" + std::string(context) + "\", id \"" + std::string(id) + "\"";
        const FoundValue viaIndex = FindParameter(text, context, id);
        const std::size_t cursorViaIndex = text.cursor;
        const FoundValue viaScan = FindParameterByScan(text, context, id);
        Require(viaIndex.found == viaScan.found && viaIndex.value == viaScan.value &&
                    cursorViaIndex == text.cursor,
                "index and scan disagree (found, value or cursor)", what);
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
    PatchText text = MakePatchText(std::string(bytes));
    std::string rebuilt;
    std::vector<std::string_view> lines;
    while (text.cursor < text.bytes.size()) {
        const std::size_t before = text.cursor;
        const std::string_view line = ReadLine(text);
        Require(line.find("\r\n") == std::string_view::npos, "ReadLine returns a CR LF");
        const bool ended = text.cursor - before == line.size() + 2;
        Require(ended || (text.cursor - before == line.size() && text.cursor == text.bytes.size()),
                "ReadLine skips bytes or does not advance");
        rebuilt.append(line).append(ended ? "\r\n" : "");
        lines.push_back(line);
    }
    Require(rebuilt == bytes && ReadLine(text).empty() && text.cursor == text.bytes.size(),
            "the lines of ReadLine do not make up the text, or it reads on past the end");
    for (std::size_t n = 1; n <= std::min<std::size_t>(lines.size(), 40); ++n)
        Require(Line(bytes, n) == lines[n - 1], "Line and ReadLine disagree", std::to_string(n));
    Require(Line(bytes, 0).empty() && Line(bytes, lines.size() + 1).empty() &&
                Line(bytes, lines.size() + 2).empty(),
            "Line 0 or a line past the last is not empty");

    const SchemaVerdict verdict = CheckSchemaVersion(bytes);
    Require(verdict.accepted == !(kSupportedSchemaVersion < std::string_view(verdict.version)),
            "schema verdict contradicts the version text", verdict.version);
    Require(verdict.message.empty() == verdict.accepted &&
                Line(bytes, 2).find(verdict.version) != std::string_view::npos,
            "schema message does not match the verdict, or the version is not from line 2");
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
    const DecodeOutcome outcome = DecodePatch(patch);
    Require(outcome.message.empty() == outcome.accepted, "the message does not match the verdict");
    if (!outcome.accepted) {
        Require(patch.name == nameBefore && SamePanels(patch.panels, panelsBefore),
                "a refused patch changed what is shown");
        return;
    }
    Require(patch.name == ReadPatchName(bytes), "the name shown is not the patch name");
    for (const ModulePanel &panel : patch.panels)
        Require(panel.list.selected >= -1 && panel.list.selected < static_cast<int>(panel.list.lines.size()),
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

    // The index the decoder builds, whatever the schema version says, then one over the text's own ids.
    PatchText text = MakePatchText(std::string(first));
    const auto keys = KeyPositions(text.bytes);
    const std::size_t seed = std::hash<std::string_view>{}(input);
    const std::vector<std::string> own = IdsOfText(first);
    const std::vector<std::string_view> ownViews(own.begin(), own.end());
    for (const std::span<const std::string_view> ids : {DecodedParameterIds(), std::span(ownViews)})
        CheckIndex(text, ids, keys, seed);

    // Successive loads into one Patch.
    Patch patch;
    Load(patch, first);
    const ModulePanels afterFirst = patch.panels;
    Load(patch, second);
    Require(split != std::string_view::npos || SamePanels(patch.panels, afterFirst),
            "decoding the same bytes again changed the panels");
    return 0;
}
