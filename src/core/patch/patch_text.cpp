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

void SkipLines(LineReader &lines, int count) {
    for (int i = 0; i < count; ++i)
        lines.Next();
}

std::string StripTags(std::string_view line, std::string_view open, std::string_view close) {
    return ReplaceAll(ReplaceAll(line, open, ""), close, "");
}

std::optional<std::string> Lookup(const PatchText &text, std::string_view context, std::string_view id,
                                  bool useIndex) {
    const std::string key = useIndex ? std::string() : MakeKey(id);
    const auto nextKey = [&](std::size_t from) {
        return useIndex ? text.FindKey(id, from) : std::string_view(text.bytes()).find(key, from);
    };
    const std::size_t first = nextKey(0);
    if (first == std::string_view::npos)
        return {};

    LineReader lines(text.bytes(), first);
    SkipLines(lines, 3);
    const std::string_view nameLine = lines.Next();
    if (const NameRule *rule = RuleFor(context, id);
        rule != nullptr && !NameLinePasses(nameLine, rule->first)) {
        lines.Next(); // the rejected record's value line
        const std::size_t second = nextKey(lines.Position());
        if (second == std::string_view::npos)
            return {};
        lines = LineReader(text.bytes(), second);
        SkipLines(lines, 3);
        if (!NameLinePasses(lines.Next(), rule->second))
            return {};
    }
    return StripTags(TrimBlanks(lines.Next()), "<Text>", "</Text>");
}

} // namespace

PatchText MakePatchText(std::string bytes) {
    PatchText text;
    text.m_bytes = std::move(bytes);
    // Every key "<ID>" id "</ID>" with an id free of '<' is the bytes between an "<ID>" and the
    // first '<' behind it, when that '<' begins "</ID>".
    const std::string_view all(text.m_bytes);
    for (std::size_t at = FindIdOpen(all, 0); at != std::string_view::npos; at = FindIdOpen(all, at + 1)) {
        const std::size_t idStart = at + kIdOpen.size();
        const std::size_t close = all.find('<', idStart);
        if (close == std::string_view::npos)
            break;
        if (all.compare(close, kIdClose.size(), kIdClose) == 0)
            text.m_keys.push_back({at, close - idStart});
    }
    const auto idOf = [all](const PatchText::Key &key) {
        return all.substr(key.at + kIdOpen.size(), key.idSize);
    };
    std::sort(text.m_keys.begin(), text.m_keys.end(), [&](const PatchText::Key &a, const PatchText::Key &b) {
        const int order = idOf(a).compare(idOf(b));
        return order != 0 ? order < 0 : a.at < b.at;
    });
    return text;
}

std::size_t PatchText::FindKey(std::string_view id, std::size_t from) const {
    if (id.find('<') != std::string_view::npos)
        return std::string_view(m_bytes).find(MakeKey(id), from);
    const std::string_view all(m_bytes);
    const auto it = std::lower_bound(
        m_keys.begin(), m_keys.end(), std::pair(id, from), [&](const Key &key, const auto &wanted) {
            const int order = all.substr(key.at + kIdOpen.size(), key.idSize).compare(wanted.first);
            return order != 0 ? order < 0 : key.at < wanted.second;
        });
    if (it == m_keys.end() || all.substr(it->at + kIdOpen.size(), it->idSize) != id)
        return std::string_view::npos;
    return it->at;
}

std::string PatchText::TakeBytes() && {
    std::string bytes = std::move(m_bytes);
    *this = PatchText();
    return bytes;
}

Result<PatchText> ReadPatchFile(const std::filesystem::path &path) {
    Result<std::string> file = ReadWholeFile(path, kMaxPatchFileBytes);
    if (!file.ok())
        return file.error().kind() != ErrorKind::TooLarge
                   ? file.error()
                   : Error::TooLarge(file.error().message() + " (a patch file holds tens of kilobytes)");
    return MakePatchText(std::move(file).value());
}

std::string_view LineReader::Next() {
    const std::size_t start = m_at;
    const std::size_t end = m_bytes.find(kCrLf, start);
    m_at = end == std::string_view::npos ? m_bytes.size() : end + kCrLf.size();
    return m_bytes.substr(start, std::min(end, m_bytes.size()) - start);
}

Status CheckSchemaVersion(std::string_view bytes) {
    const std::string version(FieldAt(ItemOf(bytes, 1), '"', 1));
    if (kSupportedSchemaVersion < std::string_view(version))
        return Error::Refused("Wrong Schema Version!: " + version + "\r\n" + "Program Supports Version : " +
                              std::string(kSupportedSchemaVersion) + "\r\n" + "Ask for New Version.");
    return {};
}

std::string ReadPatchName(std::string_view bytes) {
    return std::string(TrimBlanks(StripTags(ItemOf(bytes, 2), "<Name>", "</Name>")));
}

std::optional<std::string> FindParameter(const PatchText &text, std::string_view context,
                                         std::string_view id) {
    return Lookup(text, context, id, true);
}

std::optional<std::string> FindParameterByScan(const PatchText &text, std::string_view context,
                                               std::string_view id) {
    return Lookup(text, context, id, false);
}

} // namespace patchlens
