// Fuzz target: arbitrary bytes through the patch reader and the whole decode.
//
// The input is one patch, or two patches joined by kNextPatch. The reader functions run on the
// first; then the first and the second (or the first again) are decoded one after the other into
// one Patch, as the viewer decodes successive loads. Besides crashes, hangs and sanitizer reports,
// a finding is:
// - an index entry other than the key occurrences found independently, for every decoded id and
//   for ids taken from the text itself;
// - a lookup through the parameter index that differs from a lookup by scanning (found flag,
//   value or cursor), for those ids under every context (see kScanBudget for long texts);
// - ReadLine and Line disagreeing with each other or losing bytes;
// - a schema verdict that contradicts its version text, a refused decode that changes the patch,
//   an accepted decode whose name differs from ReadPatchName;
// - decoding the same bytes again giving other panels.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_finding.h"
#include "panels/module_panels.h"
#include "patch/decode.h"
#include "patch/patch_text.h"
#include "vocabulary/model_catalogue.h"

namespace patchlens::fuzz {
namespace {

// Joins two patches in one input.
constexpr std::string_view kNextPatch{"\0NEXT\0", 6};

// Every context a lookup is made under: the Pickup's "" and each module's.
const std::vector<std::string_view> &Contexts() {
    static const std::vector<std::string_view> contexts = [] {
        std::vector<std::string_view> all = {""};
        for (const CatalogueEntry &entry : ModelCatalogue())
            all.push_back(entry.context);
        for (const ModuleInfo &info : Modules())
            all.push_back(info.context);
        // Contexts that no module uses behave as contexts without a name rule.
        all.push_back("Amp");
        all.push_back("none");
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        return all;
    }();
    return contexts;
}

std::string Describe(std::string_view context, std::string_view id) {
    return "context \"" + std::string(context) + "\", id \"" + std::string(id) + "\"";
}

// Where each key "<ID>" id "</ID>" with an id free of '<' occurs, found from the other end than
// the index finds them: from each "</ID>" back to the '<' before it, which must begin "<ID>".
std::map<std::string_view, std::vector<std::size_t>> KeyPositions(std::string_view bytes) {
    std::map<std::string_view, std::vector<std::size_t>> keys;
    for (std::size_t close = bytes.find("</ID>"); close != std::string_view::npos;
         close = bytes.find("</ID>", close + 1)) {
        if (close == 0)
            continue;
        const std::size_t open = bytes.rfind('<', close - 1);
        if (open == std::string_view::npos || bytes.compare(open, 4, "<ID>") != 0)
            continue;
        keys[bytes.substr(open + 4, close - open - 4)].push_back(open);
    }
    return keys;
}

// The index holds, for each id given that is free of '<', exactly the first occurrences of its
// key and whether more follow; ids holding '<' are not in it.
void CheckIndexEntries(const PatchText &text, std::span<const std::string_view> ids,
                       const std::map<std::string_view, std::vector<std::size_t>> &keys) {
    const auto &entries = text.index.entries;
    Require(text.index.builtFor == text.bytes.data() && text.index.builtSize == text.bytes.size(),
            "the index does not describe the text it was built for");
    for (std::size_t i = 1; i < entries.size(); ++i)
        Require(entries[i - 1].id < entries[i].id, "index entries not sorted or not unique");
    for (const std::string_view id : ids) {
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const ParameterIndex::Entry &e) { return e.id == id; });
        if (id.find('<') != std::string_view::npos) {
            Require(entry == entries.end(), "an id holding '<' is indexed", id);
            continue;
        }
        Require(entry != entries.end(), "an id is missing from the index", id);
        const auto found = keys.find(id);
        const std::vector<std::size_t> none;
        const std::vector<std::size_t> &positions = found == keys.end() ? none : found->second;
        const std::size_t kept = std::min(positions.size(), ParameterIndex::kKept);
        Require(entry->count == kept, "the index keeps another number of occurrences", id);
        for (std::size_t i = 0; i < kept; ++i)
            Require(entry->at[i] == positions[i], "the index keeps another occurrence", id);
        Require(entry->more == (positions.size() > kept), "the index is wrong about further occurrences", id);
    }
}

// Each lookup by scanning reads the text up to the key, often to its end. Checked under every
// context, every id of a long text would slow the fuzzer to a few inputs a second; so an input
// checks every pair of id and context while the text is short, and a run of consecutive pairs (an
// id under every context, then the next id) as long as this budget of scanned bytes allows,
// starting where the input's hash points, so that the inputs together cover every pair.
constexpr std::size_t kScanBudget = std::size_t{1} << 20;

// Both lookups, for the ids under every context, on one indexed text.
void CheckIndexAgainstScan(PatchText &text, std::span<const std::string_view> ids, std::size_t seed) {
    const std::vector<std::string_view> &contexts = Contexts();
    const std::size_t pairs = ids.size() * contexts.size();
    const std::size_t affordable =
        std::max<std::size_t>(kScanBudget / (text.bytes.size() + 1), contexts.size());
    const std::size_t checked = std::min(pairs, affordable);
    const std::size_t first = checked == pairs ? 0 : seed % pairs;
    for (std::size_t n = 0; n < checked; ++n) {
        const std::size_t pair = (first + n) % pairs;
        const std::string_view id = ids[pair / contexts.size()];
        const std::string_view context = contexts[pair % contexts.size()];
        const FoundValue viaIndex = FindParameter(text, context, id);
        const std::size_t cursorViaIndex = text.cursor;
        const FoundValue viaScan = FindParameterByScan(text, context, id);
        const std::size_t cursorViaScan = text.cursor;
        Require(viaIndex.found == viaScan.found, "index and scan disagree on found", Describe(context, id));
        Require(viaIndex.value == viaScan.value, "index and scan disagree on the value",
                Describe(context, id));
        Require(cursorViaIndex == cursorViaScan, "index and scan leave the cursor apart",
                Describe(context, id));
    }
}

// Up to a few distinct ids as the text writes them between "<ID>" and "</ID>", odd ones included
// (empty, holding '<', very long), and "0".
std::vector<std::string> IdsOfText(std::string_view bytes) {
    std::vector<std::string> ids;
    constexpr std::size_t kMost = 8;
    for (std::size_t at = bytes.find("<ID>"); at != std::string_view::npos && ids.size() < kMost;
         at = bytes.find("<ID>", at + 1)) {
        const std::size_t start = at + 4;
        const std::size_t close = bytes.find("</ID>", start);
        if (close == std::string_view::npos)
            break;
        std::string id(bytes.substr(start, std::min<std::size_t>(close - start, 64)));
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(std::move(id));
    }
    ids.push_back("0");
    return ids;
}

void CheckLines(std::string_view bytes) {
    PatchText text = MakePatchText(std::string(bytes));
    std::string rebuilt;
    std::vector<std::string_view> lines;
    while (text.cursor < text.bytes.size()) {
        const std::size_t before = text.cursor;
        const std::string_view line = ReadLine(text);
        Require(text.cursor > before, "ReadLine does not advance");
        Require(line.find("\r\n") == std::string_view::npos, "ReadLine returns a CR LF");
        rebuilt.append(line);
        if (text.cursor - before == line.size() + 2)
            rebuilt.append("\r\n");
        else
            Require(text.cursor - before == line.size() && text.cursor == text.bytes.size(),
                    "ReadLine skips bytes");
        lines.push_back(line);
    }
    Require(rebuilt == bytes, "the lines of ReadLine do not make up the text");
    Require(ReadLine(text).empty() && text.cursor == text.bytes.size(), "ReadLine past the end");

    Require(Line(bytes, 0).empty(), "Line 0 is not empty");
    constexpr std::size_t kChecked = 40;
    for (std::size_t n = 1; n <= std::min(lines.size(), kChecked); ++n)
        Require(Line(bytes, n) == lines[n - 1], "Line and ReadLine disagree", std::to_string(n));
    for (std::size_t n = lines.size() + 1; n <= lines.size() + 2; ++n)
        Require(Line(bytes, n).empty(), "Line past the last line is not empty", std::to_string(n));
}

void CheckSchemaAndName(std::string_view bytes) {
    const SchemaVerdict verdict = CheckSchemaVersion(bytes);
    const bool newer = kSupportedSchemaVersion < std::string_view(verdict.version);
    Require(verdict.accepted == !newer, "schema verdict contradicts the version text", verdict.version);
    Require(verdict.message.empty() == verdict.accepted, "schema message does not match the verdict");
    Require(Line(bytes, 2).find(verdict.version) != std::string_view::npos,
            "schema version is not taken from line 2");

    const std::string name = ReadPatchName(bytes);
    Require(name.empty() ||
                (name.front() != ' ' && name.front() != '\t' && name.back() != ' ' && name.back() != '\t'),
            "patch name is not trimmed");
}

bool SamePanels(const ModulePanels &a, const ModulePanels &b) {
    for (std::size_t i = 0; i < kModuleCount; ++i) {
        if (a[i].lampOn != b[i].lampOn || a[i].list.lines != b[i].list.lines ||
            a[i].list.selected != b[i].list.selected || a[i].list.enabled != b[i].list.enabled)
            return false;
    }
    return true;
}

// One load as the viewer makes it: the new bytes replace the text, then the decode.
DecodeOutcome Load(Patch &patch, std::string_view bytes) {
    const std::string nameBefore = patch.name;
    const ModulePanels panelsBefore = patch.panels;
    patch.text = MakePatchText(std::string(bytes));
    DecodeOutcome outcome = DecodePatch(patch);
    patch.loaded = true;
    if (!outcome.accepted) {
        Require(!outcome.message.empty(), "refused without a message");
        Require(patch.name == nameBefore && SamePanels(patch.panels, panelsBefore),
                "a refused patch changed what is shown");
    } else {
        Require(outcome.message.empty(), "accepted with a message");
        Require(patch.name == ReadPatchName(bytes), "the name shown is not the patch name");
        for (const ModulePanel &panel : patch.panels)
            Require(panel.list.selected >= -1 &&
                        panel.list.selected < static_cast<int>(panel.list.lines.size()),
                    "a panel selects a line it does not have");
    }
    return outcome;
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

    CheckLines(first);
    CheckSchemaAndName(first);

    // The index the decoder builds, whatever the schema version says.
    PatchText text = MakePatchText(std::string(first));
    const auto keys = KeyPositions(text.bytes);
    const std::size_t seed = std::hash<std::string_view>{}(input);
    IndexParameters(text, DecodedParameterIds());
    CheckIndexEntries(text, DecodedParameterIds(), keys);
    CheckIndexAgainstScan(text, DecodedParameterIds(), seed);

    // An index over the text's own ids (duplicates, '<', empty ids included).
    const std::vector<std::string> own = IdsOfText(first);
    std::vector<std::string_view> ownViews(own.begin(), own.end());
    ownViews.push_back(ownViews.front()); // a duplicate
    IndexParameters(text, ownViews);
    CheckIndexEntries(text, ownViews, keys);
    CheckIndexAgainstScan(text, ownViews, seed);

    // Successive loads into one Patch.
    Patch patch;
    Load(patch, first);
    const ModulePanels afterFirst = patch.panels;
    Load(patch, second);
    if (split == std::string_view::npos)
        Require(SamePanels(patch.panels, afterFirst), "decoding the same bytes again changed the panels");
    return 0;
}
