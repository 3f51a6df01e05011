#include "search/tree_walk.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "search/patch_match.h"

namespace patchlens {

namespace {

constexpr bool kWindowsPaths = std::filesystem::path::preferred_separator == '\\';
constexpr std::size_t kQueueBlock = std::size_t{16} << 10; // characters
// A path's length, stored in front of it in the queue, takes this many characters.
constexpr std::size_t kLengthChars =
    (sizeof(std::size_t) + sizeof(platform::NativeChar) - 1) / sizeof(platform::NativeChar);

// The folder's path text ready to take a name: with a separator at its end (on Windows, a bare
// drive such as "C:" takes the name right after the colon).
NativeString FolderPrefix(NativeString text) {
    const auto last = text.empty() ? 0 : text.back();
    const bool ready = last == '/' || (kWindowsPaths && (last == '\\' || last == ':'));
    if (text.empty() || !ready)
        text += std::filesystem::path::preferred_separator;
    return text;
}

} // namespace

ListedFolder::ListedFolder(NativeString path)
    : prefix(FolderPrefix(path)), patchPath(HoldsPatchExtension(prefix)),
      reader(std::filesystem::path(std::move(path))) {}

std::filesystem::path ListedPiece::Path(const ListedEntry &entry) const {
    NativeString text;
    text.reserve(folder->prefix.size() + entry.length);
    text.append(folder->prefix).append(Name(entry), entry.length);
    return std::filesystem::path(std::move(text));
}

// ---- The folders waiting ------------------------------------------------------------------------

void FolderQueue::Push(platform::NativeName path) {
    const std::size_t size = kLengthChars + path.size();
    if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < size) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(kQueueBlock, size));
    }
    std::vector<platform::NativeChar> &block = m_blocks.back();
    const std::size_t at = block.size();
    block.resize(at + size);
    const std::size_t length = path.size();
    std::memcpy(block.data() + at, &length, sizeof length);
    std::copy(path.begin(), path.end(), block.begin() + static_cast<std::ptrdiff_t>(at + kLengthChars));
}

std::optional<NativeString> FolderQueue::Pop() {
    if (m_blocks.empty())
        return std::nullopt;
    std::vector<platform::NativeChar> &block = m_blocks.front();
    std::size_t length = 0;
    std::memcpy(&length, block.data() + m_read, sizeof length);
    const platform::NativeChar *text = block.data() + m_read + kLengthChars;
    NativeString path(text, length);
    m_read += kLengthChars + length;
    if (m_read == block.size()) {
        m_blocks.pop_front();
        m_read = 0;
    }
    return path;
}

// ---- The walk -----------------------------------------------------------------------------------

TreeWalk::TreeWalk(const std::filesystem::path &root, bool descend) : m_descend(descend) {
    m_waiting.Push(root.native());
}

std::optional<ListedPiece> TreeWalk::Next(std::size_t most) {
    if (m_current == nullptr) {
        std::optional<NativeString> path = m_waiting.Pop();
        if (!path)
            return std::nullopt;
        m_current = std::make_shared<ListedFolder>(std::move(*path));
    }
    ListedPiece piece;
    piece.folder = m_current;
    const ListedFolder &folder = *m_current;
    if (!folder.reader.IsOpen()) {
        piece.unreadable = true;
        m_current.reset();
        return piece;
    }
    std::size_t looked = 0;
    const bool more = m_current->reader.Read([&](platform::NativeName name, platform::EntryKind kind) {
        ++looked;
        if (name.empty() || name.back() == '.') // a name ending in "." is skipped
            return looked < most;
        ListedEntry entry;
        entry.name = static_cast<std::uint32_t>(piece.names.size());
        entry.length = static_cast<std::uint32_t>(name.size());
        entry.kind = kind;
        entry.patchFile = folder.patchPath || HoldsPatchExtension(name);
        piece.names.append(name).push_back(0);
        piece.entries.push_back(entry);
        if (kind == platform::EntryKind::Folder && m_descend) {
            m_path.assign(folder.prefix).append(name);
            m_waiting.Push(m_path);
        }
        return looked < most;
    });
    if (!more)
        m_current.reset();
    return piece;
}

} // namespace patchlens
