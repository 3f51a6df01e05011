#include "collection/collection_table.h"

#include <QColor>
#include <algorithm>
#include <cstdio>

#include "patch/patch_folder.h"
#include "toolkit/text_conversion.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

namespace {

// Two colours taking turns from group to group, behind the group's number.
const QColor kGroupColours[] = {QColor(255, 241, 196), QColor(214, 232, 255)};
const QColor kRefusedColour(170, 0, 0);

Module ModuleOfColumn(int column) {
    return Modules()[static_cast<std::size_t>(column - CollectionTable::kFirstModuleColumn)].module;
}

bool IsModuleColumn(int column) {
    return column >= CollectionTable::kFirstModuleColumn && column < CollectionTable::kOtherFolderColumn;
}

// A refused file's reason on one line (the schema's message comes in three).
QString OneLine(std::string_view bytes) {
    QString text = ToQString(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return text;
}

// A tooltip of plain lines: the texts escaped, the lines kept as they are.
QString PlainTip(const QStringList &lines) {
    QStringList escaped;
    for (const QString &line : lines)
        escaped << line.toHtmlEscaped();
    return QStringLiteral("<p style='white-space:pre'>") + escaped.join(QStringLiteral("<br>")) +
           QStringLiteral("</p>");
}

std::string ListedKey(std::string_view bytes) {
    std::string key = ListingKey(bytes);
    key += '\0';
    key += bytes;
    return key;
}

} // namespace

CollectionTable::CollectionTable(QObject *parent) : QAbstractTableModel(parent) {}

void CollectionTable::Reset(std::vector<std::filesystem::path> folders) {
    beginResetModel();
    m_collection = Collection(std::move(folders));
    m_passes.clear();
    m_rows.clear();
    m_shownUpTo = 0;
    m_groupOf.clear();
    m_groupList.clear();
    m_other.clear();
    m_keys.clear();
    endResetModel();
}

void CollectionTable::Add(std::vector<ScannedPatch> &patches) {
    Take(patches);
    ShowTaken();
}

void CollectionTable::Take(std::vector<ScannedPatch> &patches) {
    const std::size_t first = m_collection.size();
    for (const ScannedPatch &patch : patches) {
        const std::size_t entry = m_collection.Add(patch);
        m_passes.push_back(m_filter.empty() || Matches(m_filter, m_collection.Facts(entry)) ? 1 : 0);
    }
    if (m_sortColumn >= 0)
        MakeKeys(first);
}

void CollectionTable::ShowTaken() {
    const std::size_t first = m_shownUpTo;
    if (first == m_collection.size())
        return;
    m_shownUpTo = m_collection.size();
    if (m_groups != CollectionGroups::None) {
        SetGroups(m_groups);
        return;
    }
    std::vector<std::size_t> added;
    for (std::size_t entry = first; entry < m_collection.size(); ++entry)
        if (m_passes[entry] != 0)
            added.push_back(entry);
    if (added.empty())
        return;
    if (m_sortColumn < 0) {
        const int row = rowCount();
        beginInsertRows({}, row, row + static_cast<int>(added.size()) - 1);
        m_shownUpTo = m_collection.size();
        m_rows.insert(m_rows.end(), added.begin(), added.end());
        endInsertRows();
        return;
    }
    // The new entries come after every entry shown, so a merge that takes the rows shown first
    // among equals is the stable sort of them all.
    SortRows(added);
    std::vector<std::size_t> merged;
    merged.reserve(m_rows.size() + added.size());
    const auto before = [this](std::size_t a, std::size_t b) {
        return m_sortOrder == Qt::AscendingOrder ? m_keys[a] < m_keys[b] : m_keys[b] < m_keys[a];
    };
    std::merge(m_rows.begin(), m_rows.end(), added.begin(), added.end(), std::back_inserter(merged), before);
    ShowRows(std::move(merged));
}

void CollectionTable::SetFilter(PatchFilter filter) {
    m_filter = std::move(filter);
    for (std::size_t entry = 0; entry < m_collection.size(); ++entry)
        m_passes[entry] = Matches(m_filter, m_collection.Facts(entry)) ? 1 : 0;
    ShowRows(OrderedRows());
}

void CollectionTable::SetGroups(CollectionGroups groups) {
    m_groups = groups;
    m_groupList.clear();
    if (groups == CollectionGroups::Duplicates)
        m_groupList = FindDuplicates(m_collection);
    else if (groups == CollectionGroups::Variants)
        m_groupList = FindVariants(m_collection);
    m_groupOf.assign(m_collection.size(), 0);
    for (std::size_t g = 0; g < m_groupList.size(); ++g)
        for (const std::size_t entry : m_groupList[g])
            m_groupOf[entry] = static_cast<std::uint32_t>(g + 1);
    if (m_sortColumn == kGroupColumn)
        MakeKeys(0);
    ShowRows(OrderedRows());
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

void CollectionTable::SetOtherFolder(std::vector<QString> perEntry) {
    m_other = std::move(perEntry);
    if (m_sortColumn == kOtherFolderColumn) {
        MakeKeys(0);
        ShowRows(OrderedRows());
    }
    if (!m_rows.empty())
        emit dataChanged(index(0, kOtherFolderColumn), index(rowCount() - 1, kOtherFolderColumn));
}

std::size_t CollectionTable::GroupOf(std::size_t entry) const {
    return entry < m_groupOf.size() ? m_groupOf[entry] : 0;
}

int CollectionTable::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CollectionTable::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CollectionTable::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::size_t entry = EntryAt(index.row());
    const CollectionEntry &item = m_collection.entry(entry);
    const int column = index.column();
    if (role == Qt::BackgroundRole) {
        const std::size_t group = GroupOf(entry);
        if (m_groups == CollectionGroups::None || group == 0)
            return {};
        return kGroupColours[group % 2];
    }
    if (IsModuleColumn(column)) {
        const Module module = ModuleOfColumn(column);
        const ModuleFacts facts = m_collection.ModuleOf(entry, module);
        switch (role) {
        case Qt::DisplayRole:
            return facts.lines.empty() ? QString() : ToQString(facts.lines.front());
        case Qt::ForegroundRole:
            return facts.lampOn && facts.enabled ? kLampOnColour : kLampOffColour;
        case Qt::ToolTipRole: {
            if (!item.accepted())
                return {};
            QStringList lines{
                QString::fromLatin1(
                    Modules()[static_cast<std::size_t>(module)].name.data(),
                    static_cast<qsizetype>(Modules()[static_cast<std::size_t>(module)].name.size())) +
                (facts.lampOn ? QStringLiteral(" (on)") : QStringLiteral(" (off)"))};
            for (const std::string_view line : facts.lines)
                lines << ToQString(line);
            return PlainTip(lines);
        }
        default:
            return {};
        }
    }
    if (role == Qt::ForegroundRole)
        return column == kNameColumn && !item.accepted() ? QVariant(kRefusedColour) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (column) {
    case kGroupColumn: {
        const std::size_t group = GroupOf(entry);
        return group == 0 ? QString() : QStringLiteral("#%1").arg(group);
    }
    case kNameColumn:
        if (item.accepted())
            return role == Qt::ToolTipRole ? PlainTip({ToQString(m_collection.Name(entry))})
                                           : ToQString(m_collection.Name(entry));
        if (role == Qt::ToolTipRole)
            return PlainTip(ToQString(m_collection.Reason(entry)).split(QStringLiteral("\r\n")));
        return OneLine(m_collection.Reason(entry));
    case kFileColumn:
        return role == Qt::ToolTipRole ? PlainTip({ToQString(m_collection.File(entry))})
                                       : ToQString(m_collection.File(entry));
    case kOtherFolderColumn:
        return entry < m_other.size() ? m_other[entry] : QString();
    default:
        return {};
    }
}

QVariant CollectionTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case kGroupColumn:
        return QStringLiteral("Group");
    case kNameColumn:
        return QStringLiteral("Name");
    case kFileColumn:
        return QStringLiteral("File");
    case kOtherFolderColumn:
        return QStringLiteral("In the other folder");
    default: {
        const std::string_view name = Modules()[static_cast<std::size_t>(section - kFirstModuleColumn)].name;
        return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    }
}

void CollectionTable::sort(int column, Qt::SortOrder order) {
    if (column >= kColumnCount)
        return;
    if (column < 0) { // no sort indicator: the scan's order
        m_sortColumn = -1;
        m_keys.clear();
        ShowRows(OrderedRows());
        return;
    }
    const bool newKeys = column != m_sortColumn;
    m_sortColumn = column;
    m_sortOrder = order;
    if (newKeys)
        MakeKeys(0);
    ShowRows(OrderedRows());
}

std::string CollectionTable::SortKey(std::size_t entry) const {
    switch (m_sortColumn) {
    case kGroupColumn: {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%020zu", GroupOf(entry));
        return digits;
    }
    case kNameColumn:
        return ListedKey(m_collection.entry(entry).accepted() ? m_collection.Name(entry)
                                                              : m_collection.Reason(entry));
    case kFileColumn:
        return ListedKey(m_collection.File(entry));
    case kOtherFolderColumn:
        return entry < m_other.size() ? m_other[entry].toStdString() : std::string();
    default: {
        const std::span<const std::string_view> lines =
            m_collection.ModuleLines(entry, ModuleOfColumn(m_sortColumn));
        return lines.empty() ? std::string() : std::string(lines.front());
    }
    }
}

void CollectionTable::MakeKeys(std::size_t from) {
    m_keys.resize(m_collection.size());
    for (std::size_t entry = from; entry < m_collection.size(); ++entry)
        m_keys[entry] = SortKey(entry);
}

void CollectionTable::SortRows(std::vector<std::size_t> &rows) const {
    if (m_sortColumn < 0)
        return;
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(rows.begin(), rows.end(),
                         [this](std::size_t a, std::size_t b) { return m_keys[a] < m_keys[b]; });
    else
        std::stable_sort(rows.begin(), rows.end(),
                         [this](std::size_t a, std::size_t b) { return m_keys[b] < m_keys[a]; });
}

std::vector<std::size_t> CollectionTable::OrderedRows() const {
    std::vector<std::size_t> rows;
    if (m_groups == CollectionGroups::None) {
        for (std::size_t entry = 0; entry < m_collection.size(); ++entry)
            if (m_passes[entry] != 0)
                rows.push_back(entry);
        SortRows(rows);
        return rows;
    }
    std::vector<std::vector<std::size_t>> shown;
    for (const std::vector<std::size_t> &group : m_groupList) {
        std::vector<std::size_t> members;
        for (const std::size_t entry : group)
            if (m_passes[entry] != 0)
                members.push_back(entry);
        if (members.empty())
            continue;
        SortRows(members);
        shown.push_back(std::move(members));
    }
    if (m_sortColumn >= 0) {
        std::stable_sort(shown.begin(), shown.end(), [this](const auto &a, const auto &b) {
            return m_sortOrder == Qt::AscendingOrder ? m_keys[a.front()] < m_keys[b.front()]
                                                     : m_keys[b.front()] < m_keys[a.front()];
        });
    }
    for (const std::vector<std::size_t> &members : shown)
        rows.insert(rows.end(), members.begin(), members.end());
    return rows;
}

void CollectionTable::ShowRows(std::vector<std::size_t> rows) {
    if (rows == m_rows) {
        m_shownUpTo = m_collection.size();
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> rowOf(m_collection.size(), -1);
    for (std::size_t row = 0; row < rows.size(); ++row)
        rowOf[rows[row]] = static_cast<int>(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before) {
        const int row = old.row() < rowCount() ? rowOf[EntryAt(old.row())] : -1;
        after << (row < 0 ? QModelIndex() : createIndex(row, old.column()));
    }
    m_rows = std::move(rows);
    m_shownUpTo = m_collection.size();
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace patchlens
