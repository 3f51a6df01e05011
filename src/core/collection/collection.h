#pragma once
// The collection: one entry per patch file of the folders scanned, each with what the viewer shows
// for it, held compactly. A collection has few distinct display lines and few distinct module
// states, so it keeps each once: a text pool (every display line, model text and reason once), a
// state pool (each distinct look of a module once: lamp, greying, display lines, model text) and
// the fingerprints of the entries (each distinct sound and chain once). An entry is then a few
// numbers and the bytes of its path and name.
//
// Fingerprints are exact, not hashed:
//   sound  the fifteen modules as a comparison sees them: lamps, greying and the display lines
//          ComparePatches looks at (lines 0 to kComparedLines - 1, the Pickup's one line, a missing
//          line as the empty text). Two accepted entries have the same sound exactly when
//          ComparePatches finds no difference between them. The patch name is not part of it.
//   chain  each module's lamp and model line (its line 0), without the knob lines.
// Two accepted entries with the same sound are duplicates; the same chain and another sound make
// them variants (collection_groups.h).
//
// The texts and views a collection gives stay valid as long as the collection lives, also while
// entries are added (it stores them in blocks that never move). Reading may happen on any number
// of threads at once; adding needs the collection to itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "collection/patch_filter.h"
#include "panels/module_panels.h"
#include "patch/patch_text.h"

namespace patchlens {

// What became of a patch file.
enum class EntryStatus : std::uint8_t {
    Accepted,    // read and decoded
    NewerSchema, // read, refused: its schema version is newer than this program reads
    Unreadable,  // could not be read (no permission, a read error, gone since it was listed)
    TooLarge,    // not read: larger than any patch file (kMaxPatchFileBytes)
};

// ---- One patch file as the scan hands it on ----------------------------------------------------

// One module as its panel shows it, owning its texts.
struct ScannedModule {
    bool lampOn = false;
    bool enabled = true;            // false: the panel shows its lines greyed
    std::vector<std::string> lines; // the display lines, bytes as the panel holds them; line 0 the model line
    // The model text the file holds for the module. For the five modules the search offers, the
    // value line of the first record of the module's type id taken raw, exactly what the search's
    // match test reads; for the others the model parameter's value as the panel reads it. Empty
    // when the file has none.
    std::string modelText;
};

// One patch file, self-contained: what the scan reports through its observer, and what a
// collection is built from.
struct ScannedPatch {
    std::size_t folder = 0; // which of the scanned folders it was found in (index into them)
    std::string file;       // path relative to that folder, '/'-separated, as bytes (PathBytes)
    std::string name;       // the patch name (accepted files; empty for refused ones)
    EntryStatus status = EntryStatus::Accepted;
    // Refused files: why, in the words the viewer and --compare use (the load's error message:
    // "Wrong Schema Version!: ..." in three lines joined by CR LF, "too large: ... bytes (a patch
    // file holds tens of kilobytes)", the system's reason for a read that failed). Empty when accepted.
    std::string reason;
    // In decoding order. A refused file has every module as a fresh viewer shows it before any
    // patch: lamp off, enabled, no lines.
    std::array<ScannedModule, kModuleCount> modules{};

    bool accepted() const { return status == EntryStatus::Accepted; }
};

// One patch file decoded from scratch (as DecodeFresh decodes: nothing carries over from any
// other file) from the outcome of reading it whole (ReadPatchFile: its errors NotFound and
// Unreadable make the file Unreadable, TooLarge stays). `folder` and `file` are taken over as they are.
ScannedPatch ScanPatch(std::size_t folder, std::string file, Result<PatchText> read);

// The filter's view of a scanned patch; valid while the patch lives and does not change.
class ScannedFacts {
public:
    explicit ScannedFacts(const ScannedPatch &patch);
    ScannedFacts(const ScannedFacts &) = delete;
    ScannedFacts &operator=(const ScannedFacts &) = delete;

    const PatchFacts &facts() const { return m_facts; }

private:
    PatchFacts m_facts;
    std::array<std::vector<std::string_view>, kModuleCount> m_lines;
};

// ---- The collection ------------------------------------------------------------------------------

using TextId = std::uint32_t;  // a text of the collection's text pool; 0 is the empty text
using StateId = std::uint32_t; // a module state of the state pool; 0 is the state of a module
                               // before any patch: lamp off, enabled, no lines, no model text
using SoundId = std::uint32_t; // a distinct sound of the collection
using ChainId = std::uint32_t; // a distinct chain of the collection

// Where an entry's own bytes lie in the collection's storage (use Collection::File and Name).
struct TextSpan {
    std::uint32_t block = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// One patch file of the collection. The texts are the collection's: ask it for them.
struct CollectionEntry {
    std::array<StateId, kModuleCount> modules{}; // in decoding order
    SoundId sound = 0;                           // only meaningful when accepted
    ChainId chain = 0;                           // only meaningful when accepted
    TextSpan file;                               // relative path (Collection::File)
    TextSpan name;                               // patch name (Collection::Name)
    TextId reason = 0;                           // refused files: why (Collection::Reason)
    std::uint32_t folder = 0;                    // index into Collection::folders()
    EntryStatus status = EntryStatus::Accepted;

    bool accepted() const { return status == EntryStatus::Accepted; }
};

class Collection {
public:
    Collection();
    // A collection of the given folders, in that order; ScannedPatch::folder indexes them.
    explicit Collection(std::vector<std::filesystem::path> folders);
    ~Collection();
    Collection(Collection &&) noexcept;
    Collection &operator=(Collection &&) noexcept;
    Collection(const Collection &) = delete;
    Collection &operator=(const Collection &) = delete;

    // Adds the patch as the last entry and gives its index. Its texts and states are interned.
    std::size_t Add(const ScannedPatch &patch);

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const CollectionEntry &entry(std::size_t index) const { return m_entries[index]; }
    const std::vector<CollectionEntry> &entries() const { return m_entries; }
    const std::vector<std::filesystem::path> &folders() const { return m_folders; }

    std::string_view File(std::size_t index) const;   // relative to its folder, '/'-separated
    std::string_view Name(std::size_t index) const;   // the patch name
    std::string_view Reason(std::size_t index) const; // refused files: why; otherwise empty
    // The file's path: its folder joined with its relative path.
    std::filesystem::path FullPath(std::size_t index) const;

    // What the filter sees of the entry (views into the collection).
    PatchFacts Facts(std::size_t index) const;
    // One module of the entry as its panel shows it.
    ModuleFacts ModuleOf(std::size_t index, Module module) const;
    // The module's display lines, as its panel shows them.
    std::span<const std::string_view> ModuleLines(std::size_t index, Module module) const;

    // The state pool: any state id an entry holds.
    ModuleFacts State(StateId state) const;
    // Whether two states of this collection look the same to a comparison (lamp, greying and the
    // lines ComparePatches looks at).
    bool SameForComparison(StateId a, StateId b) const;

    // How many distinct texts, module states, sounds and chains the collection holds.
    std::size_t TextCount() const;
    std::size_t StateCount() const;
    std::size_t SoundCount() const;
    std::size_t ChainCount() const;
    // The bytes the collection has taken from the heap, roughly (its blocks and tables).
    std::size_t MemoryBytes() const;

private:
    struct Pools; // the interning tables and the blocks they store into
    std::vector<std::filesystem::path> m_folders;
    std::vector<CollectionEntry> m_entries;
    std::unique_ptr<Pools> m_pools;
};

} // namespace patchlens
