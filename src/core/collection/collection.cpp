#include "collection/collection.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "compare/patch_compare.h"
#include "patch/decode.h"
#include "search/search_modules.h"
#include "text/path_bytes.h"
#include "vocabulary/model_naming.h"

namespace patchlens {

namespace {

// ---- What a scanned patch holds -----------------------------------------------------------------

// The type ids of the modules the search offers, by module; empty for the others.
const std::array<std::string_view, kModuleCount> &SearchTypeIds() {
    static const std::array<std::string_view, kModuleCount> ids = [] {
        std::array<std::string_view, kModuleCount> table{};
        for (const SearchModule &searched : SearchModules())
            if (const std::optional<Module> module = FindModuleByName(searched.entry))
                table[IndexOf(*module)] = searched.typeId;
        return table;
    }();
    return ids;
}

// The value line of the first record of the key, as the search's match test reads it (the fifth
// line from the key's first byte), without its blanks and <Text> tags: what the lookup of the key
// under no context gives.
std::string SearchedValue(const PatchText &text, std::string_view id) {
    return FindParameter(text, {}, id).value_or(std::string());
}

std::string ModelTextOf(const PatchText &text, Module module) {
    if (const std::string_view typeId = SearchTypeIds()[IndexOf(module)]; !typeId.empty())
        return SearchedValue(text, typeId);
    const std::string_view context = InfoOf(module).context;
    const std::string_view modelId = ModelParameterId(context);
    if (modelId.empty())
        return {};
    return FindParameter(text, context, modelId).value_or(std::string());
}

EntryStatus StatusOf(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::TooLarge:
        return EntryStatus::TooLarge;
    case ErrorKind::Refused:
        return EntryStatus::NewerSchema;
    default:
        return EntryStatus::Unreadable;
    }
}

// ---- Storage that never moves -------------------------------------------------------------------

// Runs of elements stored in blocks that are never moved or freed before the store is: what it
// gives stays where it is.
template <typename T, std::size_t kBlockSize> class BlockStore {
public:
    // Room for `count` consecutive elements (any number; a long run gets a block of its own).
    T *Allocate(std::size_t count) {
        if (m_blocks.empty() || m_used + count > m_capacity) {
            m_capacity = std::max(kBlockSize, count);
            m_blocks.push_back(std::make_unique<T[]>(m_capacity));
            m_used = 0;
            m_bytes += m_capacity * sizeof(T);
        }
        T *at = m_blocks.back().get() + m_used;
        m_used += count;
        return at;
    }
    std::size_t Blocks() const { return m_blocks.size(); }
    std::size_t Bytes() const { return m_bytes + m_blocks.capacity() * sizeof(m_blocks[0]); }
    T *Block(std::size_t index) const { return m_blocks[index].get(); }
    std::size_t Used() const { return m_used; }

private:
    std::vector<std::unique_ptr<T[]>> m_blocks;
    std::size_t m_used = 0;
    std::size_t m_capacity = 0;
    std::size_t m_bytes = 0;
};

// An open-addressing table of ids (id + 1; 0: a free slot), the keys held by its owner.
class IdTable {
public:
    struct Probe {
        std::optional<std::uint32_t> id; // the id whose key `equal` accepted
        std::size_t slot = 0;            // where a missing key goes
    };
    // The id whose key `equal` says is the one with `hash`; else where it goes.
    template <typename Equal> Probe Find(std::size_t hash, Equal equal) {
        if (m_slots.empty())
            m_slots.assign(64, 0);
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = hash & mask;
        for (; m_slots[slot] != 0; slot = (slot + 1) & mask)
            if (equal(m_slots[slot] - 1))
                return {m_slots[slot] - 1, slot};
        return {std::nullopt, slot};
    }
    // Puts the id at the slot Find gave; grows (rehashing through `hashOf`) beyond half full.
    template <typename HashOf> void Insert(std::size_t slot, std::uint32_t id, HashOf hashOf) {
        m_slots[slot] = id + 1;
        if (++m_count * 2 <= m_slots.size())
            return;
        std::vector<std::uint32_t> old(m_slots.size() * 2, 0);
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        for (const std::uint32_t stored : old) {
            if (stored == 0)
                continue;
            std::size_t at = hashOf(stored - 1) & mask;
            while (m_slots[at] != 0)
                at = (at + 1) & mask;
            m_slots[at] = stored;
        }
    }
    std::size_t Bytes() const { return m_slots.capacity() * sizeof(std::uint32_t); }

private:
    std::vector<std::uint32_t> m_slots;
    std::size_t m_count = 0;
};

std::size_t HashBytes(std::string_view bytes) {
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return static_cast<std::size_t>(hash ^ (hash >> 29));
}

std::size_t HashIds(std::span<const std::uint32_t> ids) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ ids.size();
    for (const std::uint32_t id : ids)
        hash = (hash ^ id) * 0xBF58476D1CE4E5B9ull;
    return static_cast<std::size_t>(hash ^ (hash >> 31));
}

// Texts interned: each distinct text once, its bytes in blocks that never move.
class TextPool {
public:
    TextPool() { Intern({}); }

    TextId Intern(std::string_view text) {
        const std::size_t hash = HashBytes(text);
        const IdTable::Probe probe =
            m_table.Find(hash, [&](std::uint32_t id) { return m_texts[id] == text; });
        if (probe.id)
            return *probe.id;
        char *bytes = m_bytes.Allocate(text.size());
        if (!text.empty())
            std::memcpy(bytes, text.data(), text.size());
        const auto id = static_cast<TextId>(m_texts.size());
        m_texts.emplace_back(bytes, text.size());
        m_table.Insert(probe.slot, id, [&](std::uint32_t stored) { return HashBytes(m_texts[stored]); });
        return id;
    }
    std::string_view Text(TextId id) const { return m_texts[id]; }
    std::size_t Count() const { return m_texts.size(); }
    std::size_t Bytes() const {
        return m_bytes.Bytes() + m_texts.capacity() * sizeof(std::string_view) + m_table.Bytes();
    }

private:
    BlockStore<char, 64 << 10> m_bytes;
    std::vector<std::string_view> m_texts;
    IdTable m_table;
};

// Sequences of ids interned: each distinct one once.
class SequencePool {
public:
    std::uint32_t Intern(std::span<const std::uint32_t> ids) {
        const std::size_t hash = HashIds(ids);
        const auto equal = [&](std::uint32_t id) {
            const std::span<const std::uint32_t> stored = Get(id);
            return std::equal(stored.begin(), stored.end(), ids.begin(), ids.end());
        };
        const IdTable::Probe probe = m_table.Find(hash, equal);
        if (probe.id)
            return *probe.id;
        if (m_starts.empty())
            m_starts.push_back(0);
        m_ids.insert(m_ids.end(), ids.begin(), ids.end());
        m_starts.push_back(static_cast<std::uint32_t>(m_ids.size()));
        const auto id = static_cast<std::uint32_t>(m_starts.size() - 2);
        m_table.Insert(probe.slot, id, [&](std::uint32_t stored) { return HashIds(Get(stored)); });
        return id;
    }
    std::span<const std::uint32_t> Get(std::uint32_t id) const {
        return std::span(m_ids).subspan(m_starts[id], m_starts[id + 1] - m_starts[id]);
    }
    std::size_t Count() const { return m_starts.empty() ? 0 : m_starts.size() - 1; }
    std::size_t Bytes() const {
        return (m_ids.capacity() + m_starts.capacity()) * sizeof(std::uint32_t) + m_table.Bytes();
    }

private:
    std::vector<std::uint32_t> m_ids;
    std::vector<std::uint32_t> m_starts;
    IdTable m_table;
};

// The distinct fifteen-tuples of the entries (their sounds or their chains), each kept as the index
// of the first entry that had it: the tuple itself is read from that entry's states when needed.
class TuplePool {
public:
    using Tuple = std::array<std::uint32_t, kModuleCount>;

    // The id of `tuple`, new ones given to entry `entry`; `tupleOf` gives an earlier entry's tuple.
    template <typename TupleOf>
    std::uint32_t Intern(const Tuple &tuple, std::uint32_t entry, TupleOf tupleOf) {
        const auto equal = [&](std::uint32_t id) { return tupleOf(m_first[id]) == tuple; };
        const IdTable::Probe probe = m_table.Find(HashIds(tuple), equal);
        if (probe.id)
            return *probe.id;
        const auto id = static_cast<std::uint32_t>(m_first.size());
        m_first.push_back(entry);
        m_table.Insert(probe.slot, id, [&](std::uint32_t stored) {
            return stored == id ? HashIds(tuple) : HashIds(tupleOf(m_first[stored]));
        });
        return id;
    }
    std::size_t Count() const { return m_first.size(); }
    std::size_t Bytes() const { return m_first.capacity() * sizeof(std::uint32_t) + m_table.Bytes(); }

private:
    std::vector<std::uint32_t> m_first; // by id: the entry that brought it
    IdTable m_table;
};

// One distinct module state.
struct StateRecord {
    const std::string_view *lines = nullptr; // in the pool's blocks
    std::uint32_t lineCount = 0;
    TextId modelText = 0;
    std::uint32_t compared = 0;  // what a comparison sees of it (the pool's compared keys)
    std::uint32_t chainPart = 0; // its lamp and model line (the pool's chain parts)
    bool lampOn = false;
    bool enabled = true;
};

} // namespace

// ---- Scanned patches ----------------------------------------------------------------------------

ScannedPatch ScanPatch(std::size_t folder, std::string file, Result<PatchText> read) {
    ScannedPatch scanned;
    scanned.folder = folder;
    scanned.file = std::move(file);
    if (!read.ok()) {
        scanned.status = StatusOf(read.error().kind());
        scanned.reason = read.error().message();
        return scanned;
    }
    Patch patch;
    patch.text = std::move(read).value();
    if (Status decoded = DecodePatch(patch); !decoded.ok()) {
        scanned.status = StatusOf(decoded.error().kind());
        scanned.reason = decoded.error().message();
        return scanned;
    }
    scanned.name = std::move(patch.name);
    for (const ModuleInfo &info : Modules()) {
        ModulePanel &panel = patch.panels[IndexOf(info.module)];
        ScannedModule &module = scanned.modules[IndexOf(info.module)];
        module.lampOn = panel.lampOn;
        module.enabled = panel.list.enabled;
        module.lines = std::move(panel.list.lines);
        module.modelText = ModelTextOf(patch.text, info.module);
    }
    return scanned;
}

ScannedFacts::ScannedFacts(const ScannedPatch &patch) {
    m_facts.file = patch.file;
    m_facts.name = patch.name;
    for (std::size_t i = 0; i < kModuleCount; ++i) {
        const ScannedModule &module = patch.modules[i];
        m_lines[i].assign(module.lines.begin(), module.lines.end());
        m_facts.modules[i] = {module.lampOn, module.enabled, m_lines[i], module.modelText};
    }
}

// ---- The collection -----------------------------------------------------------------------------

struct Collection::Pools {
    TextPool texts;
    BlockStore<char, 256 << 10> own; // the entries' paths and names
    BlockStore<std::string_view, 4096> lineViews;
    std::vector<StateRecord> states;
    SequencePool stateKeys;  // module, flags, model text, lines
    SequencePool compared;   // lamp and greying, then the compared lines without the empty ones at the end
    SequencePool chainParts; // lamp, model line
    TuplePool sounds;        // fifteen compared keys
    TuplePool chains;        // fifteen chain parts
    std::vector<std::uint32_t> key; // room to build a key in

    Pools() {
        // State 0: a module before any patch.
        states.push_back({});
        const std::uint32_t none[] = {kModuleCount, 1, 0};
        stateKeys.Intern(none);
        states[0].compared = compared.Intern(std::span(none).subspan(1, 1));
        const std::uint32_t off[] = {0, 0};
        states[0].chainPart = chainParts.Intern(off);
    }

    TextSpan Own(std::string_view text) {
        char *at = own.Allocate(text.size());
        if (!text.empty())
            std::memcpy(at, text.data(), text.size());
        const std::size_t block = own.Blocks() - 1;
        return {static_cast<std::uint32_t>(block), static_cast<std::uint32_t>(own.Used() - text.size()),
                static_cast<std::uint32_t>(text.size())};
    }
    std::string_view OwnText(const TextSpan &span) const {
        if (span.length == 0)
            return {};
        return {own.Block(span.block) + span.offset, span.length};
    }

    StateId InternState(Module module, const ScannedModule &scanned) {
        if (!scanned.lampOn && scanned.enabled && scanned.lines.empty() && scanned.modelText.empty())
            return 0;
        key.clear();
        key.push_back(static_cast<std::uint32_t>(IndexOf(module)));
        key.push_back((scanned.lampOn ? 2u : 0u) | (scanned.enabled ? 1u : 0u));
        key.push_back(texts.Intern(scanned.modelText));
        for (const std::string &line : scanned.lines)
            key.push_back(texts.Intern(line));
        const std::size_t before = stateKeys.Count();
        const StateId id = stateKeys.Intern(key);
        if (id < before)
            return id;

        StateRecord record;
        record.lampOn = scanned.lampOn;
        record.enabled = scanned.enabled;
        record.modelText = key[2];
        record.lineCount = static_cast<std::uint32_t>(scanned.lines.size());
        std::string_view *views = lineViews.Allocate(scanned.lines.size());
        for (std::size_t i = 0; i < scanned.lines.size(); ++i)
            views[i] = texts.Text(key[3 + i]);
        record.lines = views;

        // A comparison looks at the first lines, a missing one as the empty text (TextId 0).
        const std::size_t looked = module == Module::Pickup ? 1 : kComparedLines;
        std::size_t count = std::min(looked, scanned.lines.size());
        while (count > 0 && key[3 + count - 1] == 0)
            --count;
        std::vector<std::uint32_t> comparedKey{key[1]};
        comparedKey.insert(comparedKey.end(), key.begin() + 3,
                           key.begin() + 3 + static_cast<std::ptrdiff_t>(count));
        record.compared = compared.Intern(comparedKey);
        const std::uint32_t chainKey[] = {scanned.lampOn ? 1u : 0u, scanned.lines.empty() ? 0u : key[3]};
        record.chainPart = chainParts.Intern(chainKey);
        states.push_back(record);
        return id;
    }
};

Collection::Collection() : m_pools(std::make_unique<Pools>()) {}
Collection::Collection(std::vector<std::filesystem::path> folders)
    : m_folders(std::move(folders)), m_pools(std::make_unique<Pools>()) {}
Collection::~Collection() = default;
Collection::Collection(Collection &&) noexcept = default;
Collection &Collection::operator=(Collection &&) noexcept = default;

std::size_t Collection::Add(const ScannedPatch &patch) {
    CollectionEntry entry;
    entry.folder = static_cast<std::uint32_t>(patch.folder);
    entry.status = patch.status;
    entry.file = m_pools->Own(patch.file);
    entry.name = m_pools->Own(patch.name);
    entry.reason = m_pools->texts.Intern(patch.reason);
    for (std::size_t i = 0; i < kModuleCount; ++i)
        entry.modules[i] = m_pools->InternState(Modules()[i].module, patch.modules[i]);
    if (patch.accepted()) {
        const std::vector<StateRecord> &states = m_pools->states;
        const auto tupleOf = [&](const CollectionEntry &of, auto part) {
            TuplePool::Tuple tuple;
            for (std::size_t i = 0; i < kModuleCount; ++i)
                tuple[i] = states[of.modules[i]].*part;
            return tuple;
        };
        const auto index = static_cast<std::uint32_t>(m_entries.size());
        entry.sound =
            m_pools->sounds.Intern(tupleOf(entry, &StateRecord::compared), index, [&](std::uint32_t e) {
                return tupleOf(m_entries[e], &StateRecord::compared);
            });
        entry.chain =
            m_pools->chains.Intern(tupleOf(entry, &StateRecord::chainPart), index, [&](std::uint32_t e) {
                return tupleOf(m_entries[e], &StateRecord::chainPart);
            });
    }
    m_entries.push_back(entry);
    return m_entries.size() - 1;
}

std::string_view Collection::File(std::size_t index) const {
    return m_pools->OwnText(m_entries[index].file);
}

std::string_view Collection::Name(std::size_t index) const {
    return m_pools->OwnText(m_entries[index].name);
}

std::string_view Collection::Reason(std::size_t index) const {
    return m_pools->texts.Text(m_entries[index].reason);
}

std::filesystem::path Collection::FullPath(std::size_t index) const {
    const CollectionEntry &entry = m_entries[index];
    const std::filesystem::path &folder =
        entry.folder < m_folders.size() ? m_folders[entry.folder] : std::filesystem::path();
    return folder / PathFromBytes(File(index));
}

PatchFacts Collection::Facts(std::size_t index) const {
    PatchFacts facts;
    facts.file = File(index);
    facts.name = Name(index);
    for (std::size_t i = 0; i < kModuleCount; ++i)
        facts.modules[i] = State(m_entries[index].modules[i]);
    return facts;
}

ModuleFacts Collection::ModuleOf(std::size_t index, Module module) const {
    return State(m_entries[index].modules[IndexOf(module)]);
}

std::span<const std::string_view> Collection::ModuleLines(std::size_t index, Module module) const {
    return ModuleOf(index, module).lines;
}

ModuleFacts Collection::State(StateId state) const {
    const StateRecord &record = m_pools->states[state];
    return {record.lampOn, record.enabled, std::span(record.lines, record.lineCount),
            m_pools->texts.Text(record.modelText)};
}

bool Collection::SameForComparison(StateId a, StateId b) const {
    return m_pools->states[a].compared == m_pools->states[b].compared;
}

std::size_t Collection::TextCount() const {
    return m_pools->texts.Count();
}

std::size_t Collection::StateCount() const {
    return m_pools->states.size();
}

std::size_t Collection::SoundCount() const {
    return m_pools->sounds.Count();
}

std::size_t Collection::ChainCount() const {
    return m_pools->chains.Count();
}

std::size_t Collection::MemoryBytes() const {
    const Pools &p = *m_pools;
    return m_entries.capacity() * sizeof(CollectionEntry) + p.texts.Bytes() + p.own.Bytes() +
           p.lineViews.Bytes() + p.states.capacity() * sizeof(StateRecord) + p.stateKeys.Bytes() +
           p.compared.Bytes() + p.chainParts.Bytes() + p.sounds.Bytes() + p.chains.Bytes() + sizeof(Pools);
}

} // namespace patchlens
