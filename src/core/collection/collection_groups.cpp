#include "collection/collection_groups.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string_view>

namespace patchlens {

namespace {

constexpr std::uint32_t kNoGroup = UINT32_MAX;

// Paths compared name by name: as bytes, with the separator below every other byte, so that a
// folder's files stay together ("a/x" before "a-b/x").
bool PathBefore(std::string_view a, std::string_view b) {
    const auto key = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return key(x) < key(y); });
}

// Groups the accepted entries whose key (a sound or a chain id) `wanted` says has a group.
template <typename KeyOf, typename Wanted>
EntryGroups GroupBy(const Collection &collection, std::size_t keys, KeyOf keyOf, Wanted wanted) {
    EntryGroups groups;
    std::vector<std::uint32_t> groupOf(keys, kNoGroup);
    for (std::size_t i = 0; i < collection.size(); ++i) {
        const CollectionEntry &entry = collection.entry(i);
        if (!entry.accepted() || !wanted(keyOf(entry)))
            continue;
        std::uint32_t &group = groupOf[keyOf(entry)];
        if (group == kNoGroup) {
            group = static_cast<std::uint32_t>(groups.size());
            groups.emplace_back();
        }
        groups[group].push_back(i);
    }
    return groups;
}

// The entries of one folder in path order.
std::vector<std::size_t> EntriesOf(const Collection &collection, std::size_t folder) {
    std::vector<std::size_t> entries;
    for (std::size_t i = 0; i < collection.size(); ++i)
        if (collection.entry(i).folder == folder)
            entries.push_back(i);
    std::stable_sort(entries.begin(), entries.end(), [&](std::size_t a, std::size_t b) {
        return PathBefore(collection.File(a), collection.File(b));
    });
    return entries;
}

} // namespace

EntryGroups FindDuplicates(const Collection &collection) {
    std::vector<std::uint32_t> count(collection.SoundCount(), 0);
    for (const CollectionEntry &entry : collection.entries())
        if (entry.accepted())
            ++count[entry.sound];
    return GroupBy(
        collection, count.size(), [](const CollectionEntry &entry) { return entry.sound; },
        [&](std::uint32_t sound) { return count[sound] >= 2; });
}

EntryGroups FindVariants(const Collection &collection) {
    // For each chain, the first sound seen with it, and whether another one came.
    constexpr std::uint32_t kNone = UINT32_MAX;
    std::vector<std::uint32_t> firstSound(collection.ChainCount(), kNone);
    std::vector<bool> several(collection.ChainCount(), false);
    for (const CollectionEntry &entry : collection.entries()) {
        if (!entry.accepted())
            continue;
        if (firstSound[entry.chain] == kNone)
            firstSound[entry.chain] = entry.sound;
        else if (firstSound[entry.chain] != entry.sound)
            several[entry.chain] = true;
    }
    return GroupBy(
        collection, several.size(), [](const CollectionEntry &entry) { return entry.chain; },
        [&](std::uint32_t chain) { return several[chain]; });
}

std::vector<FolderDifference> CompareFolders(const Collection &collection, std::size_t oldFolder,
                                             std::size_t newFolder) {
    using Kind = FolderDifference::Kind;
    const std::vector<std::size_t> olds = EntriesOf(collection, oldFolder);
    const std::vector<std::size_t> news = EntriesOf(collection, newFolder);

    std::vector<FolderDifference> differences;
    std::vector<std::size_t> removed; // indices into differences, in path order
    std::vector<std::size_t> added;
    std::size_t o = 0;
    std::size_t n = 0;
    while (o < olds.size() || n < news.size()) {
        const bool takeOld = n == news.size() || (o < olds.size() && !PathBefore(collection.File(news[n]),
                                                                                 collection.File(olds[o])));
        const bool takeNew = o == olds.size() || (n < news.size() && !PathBefore(collection.File(olds[o]),
                                                                                 collection.File(news[n])));
        if (takeOld && takeNew) {
            const std::size_t a = olds[o++];
            const std::size_t b = news[n++];
            const CollectionEntry &x = collection.entry(a);
            const CollectionEntry &y = collection.entry(b);
            FolderDifference difference{Kind::Changed, a, b, {}};
            bool same = false;
            if (x.accepted() && y.accepted()) {
                for (std::size_t i = 0; i < kModuleCount; ++i)
                    if (!collection.SameForComparison(x.modules[i], y.modules[i]))
                        difference.modules.push_back(Modules()[i].module);
                same = difference.modules.empty();
            } else {
                same = x.status == y.status && x.reason == y.reason;
            }
            if (!same)
                differences.push_back(std::move(difference));
        } else if (takeOld) {
            removed.push_back(differences.size());
            differences.push_back({Kind::Removed, olds[o++], 0, {}});
        } else {
            added.push_back(differences.size());
            differences.push_back({Kind::Added, 0, news[n++], {}});
        }
    }

    // Moves: each removed accepted file takes the first added file of its sound not taken yet.
    std::vector<std::deque<std::size_t>> addedBySound(collection.SoundCount());
    for (const std::size_t at : added)
        if (const CollectionEntry &entry = collection.entry(differences[at].newEntry); entry.accepted())
            addedBySound[entry.sound].push_back(at);
    std::vector<bool> taken(differences.size(), false);
    for (const std::size_t at : removed) {
        const CollectionEntry &entry = collection.entry(differences[at].oldEntry);
        if (!entry.accepted() || addedBySound[entry.sound].empty())
            continue;
        const std::size_t to = addedBySound[entry.sound].front();
        addedBySound[entry.sound].pop_front();
        differences[at].kind = Kind::Moved;
        differences[at].newEntry = differences[to].newEntry;
        taken[to] = true;
    }

    std::vector<FolderDifference> result;
    result.reserve(differences.size());
    for (std::size_t i = 0; i < differences.size(); ++i)
        if (!taken[i])
            result.push_back(std::move(differences[i]));
    // The merge made them in path order (a move at its old path), and taking the moved-to files
    // out keeps it.
    return result;
}

std::string_view KindText(FolderDifference::Kind kind) {
    switch (kind) {
    case FolderDifference::Kind::Added:
        return "added";
    case FolderDifference::Kind::Removed:
        return "removed";
    case FolderDifference::Kind::Changed:
        return "changed";
    case FolderDifference::Kind::Moved:
        return "moved";
    }
    return "";
}

std::string ModuleNamesText(const std::vector<Module> &modules) {
    std::string names;
    for (const Module module : modules) {
        if (!names.empty())
            names += ", ";
        names += InfoOf(module).name;
    }
    return names;
}

OldFolderNotes NotesAgainstOldFolder(const Collection &collection,
                                     const std::vector<FolderDifference> &differences) {
    OldFolderNotes notes;
    for (const FolderDifference &difference : differences) {
        std::string note(KindText(difference.kind));
        switch (difference.kind) {
        case FolderDifference::Kind::Removed:
            ++notes.removed;
            continue;
        case FolderDifference::Kind::Added:
            break;
        case FolderDifference::Kind::Changed:
            if (!difference.modules.empty())
                note += ": " + ModuleNamesText(difference.modules);
            break;
        case FolderDifference::Kind::Moved:
            note += " from ";
            note += collection.File(difference.oldEntry);
            break;
        }
        notes.byFile[std::string(collection.File(difference.newEntry))] = std::move(note);
    }
    return notes;
}

} // namespace patchlens
