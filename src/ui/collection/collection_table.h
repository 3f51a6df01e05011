#pragma once
// The collection window's table: one row per patch file shown, read straight from the core's
// Collection (no copy of the rows into the toolkit's items). The table keeps only the order of
// the rows shown: entry indices, filtered, grouped and sorted.
//
// Columns: the group mark (only duplicates or only variants), the patch name (a refused file: its
// reason), the file relative to its folder, the fifteen modules in panel order (each its model
// line, coloured as the panels' captions: red when on, grey when off or greyed), and what the file
// is in another folder once one is compared.
//
// Order: the scan's order until a header is clicked; a sort is stable (equal rows keep the scan's
// order), names and files by the patch list's rule, the rest by their bytes. With groups shown,
// each group's rows stay together, the groups ordered by their first row.

#include <QAbstractTableModel>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "collection/collection.h"
#include "collection/collection_groups.h"
#include "collection/patch_filter.h"

namespace patchlens {

enum class CollectionGroups : std::uint8_t { None, Duplicates, Variants };

class CollectionTable : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kGroupColumn = 0;
    static constexpr int kNameColumn = 1;
    static constexpr int kFileColumn = 2;
    static constexpr int kFirstModuleColumn = 3;
    static constexpr int kOtherFolderColumn = kFirstModuleColumn + static_cast<int>(kModuleCount);
    static constexpr int kColumnCount = kOtherFolderColumn + 1;

    explicit CollectionTable(QObject *parent = nullptr);
    Q_DISABLE_COPY(CollectionTable)

    // Starts an empty collection of the folders; the filter, groups and sort stay.
    void Reset(std::vector<std::filesystem::path> folders);
    // Adds the patches (in the scan's order) as entries; those the filter passes are shown, in their
    // place for the sort and groups chosen.
    void Add(std::vector<ScannedPatch> &patches);
    // Add in two steps, so that many batches taken in make one change of the rows: Take adds the
    // entries, ShowTaken shows those of them the filter passes.
    void Take(std::vector<ScannedPatch> &patches);
    void ShowTaken();

    void SetFilter(PatchFilter filter);
    void SetGroups(CollectionGroups groups);
    CollectionGroups groups() const { return m_groups; }
    // What each file is in another folder, by its relative path; empty: no folder compared.
    void SetOtherFolder(std::vector<QString> perEntry);
    bool hasOtherFolder() const { return !m_other.empty(); }

    const Collection &collection() const { return m_collection; }
    // The entry shown in the row.
    std::size_t EntryAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    // The entries shown, in the table's order.
    const std::vector<std::size_t> &shownEntries() const { return m_rows; }
    // The group number (from 1) of the entry, 0 when it is in none (or no groups are shown).
    std::size_t GroupOf(std::size_t entry) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Stable; the rows selected stay selected.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // The key the entry sorts by in the column chosen; made for every entry when the column changes.
    std::string SortKey(std::size_t entry) const;
    void MakeKeys(std::size_t from);
    void SortRows(std::vector<std::size_t> &rows) const;
    // The rows as the filter, groups and sort give them, from scratch.
    std::vector<std::size_t> OrderedRows() const;
    // Shows `rows`, keeping the rows selected (and the current one) on their entries.
    void ShowRows(std::vector<std::size_t> rows);

    Collection m_collection;
    PatchFilter m_filter;
    std::vector<char> m_passes;      // per entry: whether the filter passes it
    std::vector<std::size_t> m_rows; // the entries shown, in order
    std::size_t m_shownUpTo = 0;     // the entries before it are in m_rows when they pass
    CollectionGroups m_groups = CollectionGroups::None;
    std::vector<std::uint32_t> m_groupOf; // per entry: its group from 1, or 0
    EntryGroups m_groupList;
    std::vector<QString> m_other; // per entry: what it is in the other folder
    int m_sortColumn = -1;        // -1: the scan's order
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::vector<std::string> m_keys; // per entry, for the sort column
};

} // namespace patchlens
