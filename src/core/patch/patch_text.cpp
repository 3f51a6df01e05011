#include "patch/patch_text.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "files/whole_file.h"
#include "text/byte_text.h"

namespace patchlens {

namespace {

constexpr std::string_view kIdOpen = "<ID>";
constexpr std::string_view kIdClose = "</ID>";

// The names a record's name line must contain to be taken for a context whose modules share ids.
struct NameRule {
    std::string_view context;
    std::string_view onlyForId; // the rule applies only to this id ("" = any id)
    std::string_view exceptId;  // the rule applies to every id but this one ("" = none excepted)
    std::initializer_list<std::string_view> first;
    std::initializer_list<std::string_view> second;
};

#define PL_AMP_NAMES(X)                                                                                      \
    { "Amp " X " Enable", "Amp " X " Type", "Amp " X " Gain", "Amp " X " Level" }
#define PL_EQ_NAMES(X)                                                                                       \
    {                                                                                                        \
        "EQ " X " Enable", "Pickup " X " Type", "EQ " X " Type", "EQ " X " Bass", "EQ " X " Mid",            \
            "EQ " X " Treb", "EQ " X " Mid Freq", "EQ " X " Presence"                                        \
    }
#define PL_LFO_NAMES(X)                                                                                      \
    { "LFO" X " Assign", "LFO" X " Min", "LFO" X " Max", "LFO" X " Waveform", "LFO" X " Speed" }

const NameRule kNameRules[] = {
    {"Wah", "", "", {"Wah Enable", "Wah Min", "Wah Vol. Boost", "Wah Type"}, {"Wah Min"}},
    {"Amp A", "", "2560", PL_AMP_NAMES("A"), PL_AMP_NAMES("A")},
    {"Amp A", "2560", "", {"Cab A Type"}, {"Cab A Type"}},
    {"Amp B", "", "2560", PL_AMP_NAMES("B"), PL_AMP_NAMES("B")},
    {"Amp B", "2560", "", {"Cab B Type"}, {"Cab B Type"}},
    {"EQ A", "", "", PL_EQ_NAMES("A"), PL_EQ_NAMES("A")},
    {"EQ B", "", "", PL_EQ_NAMES("B"), PL_EQ_NAMES("B")},
    {"LFO1", "", "", PL_LFO_NAMES("1"), PL_LFO_NAMES("1")},
    {"LFO2", "", "", PL_LFO_NAMES("2"), PL_LFO_NAMES("2")},
};

#undef PL_AMP_NAMES
#undef PL_EQ_NAMES
#undef PL_LFO_NAMES

const NameRule *RuleFor(std::string_view context, std::string_view id) {
    for (const NameRule &rule : kNameRules) {
        if (rule.context != context)
            continue;
        if (!rule.onlyForId.empty() && rule.onlyForId != id)
            continue;
        if (!rule.exceptId.empty() && rule.exceptId == id)
            continue;
        return &rule;
    }
    return nullptr;
}

bool NameLinePasses(std::string_view nameLine, std::initializer_list<std::string_view> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](std::string_view name) { return nameLine.find(name) != std::string_view::npos; });
}

std::string MakeKey(std::string_view id) {
    std::string key;
    key.reserve(kIdOpen.size() + id.size() + kIdClose.size());
    key.append(kIdOpen).append(id).append(kIdClose);
    return key;
}

// Where "<ID>" next occurs at or after `from`. Patch text is dense with '<', so this looks for
// the rarer 'I' first and checks the bytes around it.
std::size_t FindIdOpen(std::string_view bytes, std::size_t from) {
    if (bytes.size() < 4 || from > bytes.size() - 4)
        return std::string_view::npos;
    const char *const begin = bytes.data();
    const char *const end = begin + bytes.size();
    const char *p = begin + from + 1;
    while (p + 2 < end) {
        p = static_cast<const char *>(std::memchr(p, 'I', static_cast<std::size_t>(end - p - 2)));
        if (p == nullptr)
            return std::string_view::npos;
        if (p[-1] == '<' && p[1] == 'D' && p[2] == '>')
            return static_cast<std::size_t>(p - 1 - begin);
        ++p;
    }
    return std::string_view::npos;
}

bool IndexUsable(const PatchText &text) {
    return text.index.builtFor != nullptr && text.index.builtFor == text.bytes.data() &&
           text.index.builtSize == text.bytes.size();
}

const ParameterIndex::Entry *IndexEntry(const PatchText &text, std::string_view id) {
    if (!IndexUsable(text))
        return nullptr;
    const auto &entries = text.index.entries;
    const auto it =
        std::lower_bound(entries.begin(), entries.end(), id,
                         [](const ParameterIndex::Entry &e, std::string_view v) { return e.id < v; });
    if (it == entries.end() || it->id != id)
        return nullptr;
    return &*it;
}

// Where the key occurs first at or after `from`, or npos.
std::size_t NextKey(const PatchText &text, const ParameterIndex::Entry *entry, std::string_view key,
                    std::size_t from) {
    if (entry != nullptr) {
        for (std::uint32_t i = 0; i < entry->count; ++i)
            if (entry->at[i] >= from)
                return entry->at[i];
        if (!entry->more)
            return std::string_view::npos;
    }
    return std::string_view(text.bytes).find(key, from);
}

void SkipLines(PatchText &text, int count) {
    for (int i = 0; i < count; ++i)
        ReadLine(text);
}

std::string StripTags(std::string_view line, std::string_view open, std::string_view close) {
    return ReplaceAll(ReplaceAll(line, open, ""), close, "");
}

FoundValue Lookup(PatchText &text, std::string_view context, std::string_view id, bool useIndex) {
    const std::string key = MakeKey(id);
    const ParameterIndex::Entry *entry = useIndex ? IndexEntry(text, id) : nullptr;

    const std::size_t first = NextKey(text, entry, key, 0);
    if (first == std::string_view::npos)
        return {};

    text.cursor = first;
    SkipLines(text, 3);
    const std::string_view nameLine = ReadLine(text);
    if (const NameRule *rule = RuleFor(context, id);
        rule != nullptr && !NameLinePasses(nameLine, rule->first)) {
        ReadLine(text); // the rejected record's value line
        const std::size_t second = NextKey(text, entry, key, text.cursor);
        if (second == std::string_view::npos)
            return {};
        text.cursor = second;
        SkipLines(text, 3);
        if (!NameLinePasses(ReadLine(text), rule->second))
            return {};
    }
    return {true, StripTags(TrimBlanks(ReadLine(text)), "<Text>", "</Text>")};
}

} // namespace

PatchText MakePatchText(std::string bytes) {
    PatchText text;
    text.bytes = std::move(bytes);
    return text;
}

PatchText ReadPatchFile(const std::filesystem::path &path, std::string *error, bool *tooLarge) {
    FileBytes file = ReadWholeFile(path, kMaxPatchFileBytes);
    if (tooLarge != nullptr)
        *tooLarge = file.tooLarge;
    if (!file.ok) {
        if (error != nullptr)
            *error = !file.exists    ? "no such file"
                     : file.tooLarge ? file.error + " (a patch file holds tens of kilobytes)"
                                     : file.error;
        return PatchText{};
    }
    return MakePatchText(std::move(file.bytes));
}

std::string_view Line(std::string_view bytes, std::size_t n) {
    if (n == 0)
        return {};
    return ItemOf(bytes, n - 1);
}

std::string_view ReadLine(PatchText &text) {
    const std::string_view bytes(text.bytes);
    if (text.cursor >= bytes.size()) {
        text.cursor = bytes.size();
        return {};
    }
    const std::size_t end = bytes.find(kCrLf, text.cursor);
    const std::size_t start = text.cursor;
    if (end == std::string_view::npos) {
        text.cursor = bytes.size();
        return bytes.substr(start);
    }
    text.cursor = end + kCrLf.size();
    return bytes.substr(start, end - start);
}

SchemaVerdict CheckSchemaVersion(std::string_view bytes) {
    SchemaVerdict verdict;
    verdict.version = std::string(FieldOf(Line(bytes, 2), '"', 2));
    if (kSupportedSchemaVersion < std::string_view(verdict.version)) {
        verdict.accepted = false;
        verdict.message = "Wrong Schema Version!: " + verdict.version + "\r\n" +
                          "Program Supports Version : " + std::string(kSupportedSchemaVersion) + "\r\n" +
                          "Ask for New Version.";
    }
    return verdict;
}

std::string ReadPatchName(std::string_view bytes) {
    return std::string(TrimBlanks(StripTags(Line(bytes, 3), "<Name>", "</Name>")));
}

void IndexParameters(PatchText &text, std::span<const std::string_view> ids) {
    ParameterIndex &index = text.index;
    index.entries.clear();
    std::size_t longest = 0;
    for (const std::string_view id : ids) {
        if (id.find('<') != std::string_view::npos)
            continue;
        index.entries.push_back({id, 0, false, {}});
        longest = std::max(longest, id.size());
    }
    if (!std::is_sorted(index.entries.begin(), index.entries.end(),
                        [](const auto &a, const auto &b) { return a.id < b.id; }))
        std::sort(index.entries.begin(), index.entries.end(),
                  [](const auto &a, const auto &b) { return a.id < b.id; });
    index.entries.erase(std::unique(index.entries.begin(), index.entries.end(),
                                    [](const auto &a, const auto &b) { return a.id == b.id; }),
                        index.entries.end());

    // Every key "<ID>" id "</ID>" with an id free of '<' is the bytes between an "<ID>" and the
    // first '<' behind it, when that '<' begins "</ID>".
    const std::string_view bytes(text.bytes);
    for (std::size_t at = FindIdOpen(bytes, 0); at != std::string_view::npos;
         at = FindIdOpen(bytes, at + 1)) {
        const std::size_t idStart = at + kIdOpen.size();
        const std::size_t close = bytes.find('<', idStart);
        if (close == std::string_view::npos)
            break;
        if (close - idStart > longest || bytes.compare(close, kIdClose.size(), kIdClose) != 0)
            continue;
        const std::string_view id = bytes.substr(idStart, close - idStart);
        const auto it =
            std::lower_bound(index.entries.begin(), index.entries.end(), id,
                             [](const ParameterIndex::Entry &e, std::string_view v) { return e.id < v; });
        if (it == index.entries.end() || it->id != id)
            continue;
        if (it->count < ParameterIndex::kKept)
            it->at[it->count++] = at;
        else
            it->more = true;
    }
    index.builtFor = text.bytes.data();
    index.builtSize = text.bytes.size();
}

FoundValue FindParameter(PatchText &text, std::string_view context, std::string_view id) {
    return Lookup(text, context, id, true);
}

FoundValue FindParameterByScan(PatchText &text, std::string_view context, std::string_view id) {
    return Lookup(text, context, id, false);
}

} // namespace patchlens
