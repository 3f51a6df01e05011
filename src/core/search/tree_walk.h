#pragma once
// The folder tree of a search, listed breadth-first and handed on piece by piece: the root's
// entries first, then the entries of each folder in the order the folders were listed, level by
// level; within a folder in the order the file system gives them. Names ending in "." are
// skipped. A link to a folder is listed but not followed. A folder that cannot be read gives one
// empty piece that says so. A walk may also keep to the root's own entries.
//
// The walk never holds the tree: it keeps the paths of the folders still waiting to be listed
// (back to back, in large blocks) and the folder being listed. Each piece keeps its folder open,
// so that its files can be opened by name, as long as the piece lives.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform_files.h"

namespace patchlens {

using NativeString = std::filesystem::path::string_type;

// A folder being listed, or whose files are being read.
struct ListedFolder {
    explicit ListedFolder(NativeString path);

    NativeString prefix; // the folder's path ready to take a name: a separator at its end
    bool patchPath;      // the folder's path holds a patch extension: so do the paths of its entries
    platform::FolderReader reader;
};

struct ListedEntry {
    std::uint32_t name = 0;   // where the name begins in the piece's names
    std::uint32_t length = 0; // its length; a zero character follows it
    platform::EntryKind kind = platform::EntryKind::Unknown;
    bool patchFile = false; // the entry's path holds a patch extension
};

// Consecutive entries of one folder, in listing order.
struct ListedPiece {
    std::shared_ptr<const ListedFolder> folder; // the folder the entries are of
    bool unreadable = false;                    // the folder could not be opened: no entries
    NativeString names;
    std::vector<ListedEntry> entries;

    // The entry's name, ending in a zero character.
    const platform::NativeChar *Name(const ListedEntry &entry) const { return names.data() + entry.name; }
    // The folder's path, a separator, the name as on disk.
    std::filesystem::path Path(const ListedEntry &entry) const;
};

// The paths of the folders waiting to be listed, first in first out, stored back to back in blocks
// that are given back once read.
class FolderQueue {
public:
    void Push(platform::NativeName path);
    // Takes the oldest path; none when none waits.
    std::optional<NativeString> Pop();

private:
    std::deque<std::vector<platform::NativeChar>> m_blocks;
    std::size_t m_read = 0; // where the next path begins in the first block
};

class TreeWalk {
public:
    // `descend` false: only the root's own entries are listed (folders among them too), none below.
    explicit TreeWalk(const std::filesystem::path &root, bool descend = true);

    // The next entries, all of one folder, looking at `most` names at most (at least 1), so that
    // each call ends soon. The piece may be empty: a folder without entries, one that cannot be
    // read, names skipped. None when the walk is over.
    std::optional<ListedPiece> Next(std::size_t most);

private:
    FolderQueue m_waiting;
    bool m_descend = true;
    std::shared_ptr<ListedFolder> m_current; // the folder being listed
    NativeString m_path;                     // room to build paths in
};

} // namespace patchlens
