// The commands that bring a patch into the viewer, the patch list and default.ini.

#include <QItemSelectionModel>
#include <QListWidget>
#include <algorithm>

#include "files/whole_file.h"
#include "patch/patch_folder.h"
#include "search/search_window.h"
#include "toolkit/dialogs.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

namespace patchlens {

namespace {

constexpr int kFileNameRole = Qt::UserRole; // the entry's real file name, as native bytes

std::filesystem::path SettingsPath(const ProgramPaths &paths) {
    return paths.dataFolder / kSettingsFileName;
}

} // namespace

void MainWindow::LoadPatch() {
    const QString start = m_settings.lastPatchFolder.empty()
                              ? QString()
                              : PathForDialog(PathFromBytes(m_settings.lastPatchFolder));
    const QString chosen = m_dialogs.ChoosePatchFile(this, start);
    if (chosen.isEmpty())
        return;
    OpenPath(PathFromQString(chosen));
}

void MainWindow::LoadPatchFolder() {
    const std::filesystem::path start =
        m_settings.patchFolder.empty() ? m_paths.programFolder : PathFromBytes(m_settings.patchFolder);
    const QString picked =
        m_dialogs.PickFolder(this, QStringLiteral("Select Patch Folder..."), PathForDialog(start));
    // Cancelling keeps the folder the list shows, so that its entries still load.
    if (picked.isEmpty())
        return;
    ListPatchFolder(PathFromQString(picked));
}

void MainWindow::ListPatchFolder(const std::filesystem::path &folder) {
    m_settings.patchFolder = PathBytes(folder);
    std::vector<std::filesystem::path> names = ListPatchFiles(folder);
    SortAsListed(names);
    m_patchList->clear();
    for (const std::filesystem::path &name : names) {
        auto *item = new QListWidgetItem(PathToQString(name), m_patchList);
        item->setData(kFileNameRole, QByteArray::fromStdString(PathBytes(name)));
    }
    HighlightShownEntry(false);
    WriteSettings();
}

void MainWindow::LoadSelectedPatch() {
    // A release over the blank part of the list, with nothing selected, loads nothing: it must
    // not replace the patch on screen with the empty one.
    const QList<QListWidgetItem *> selected = m_patchList->selectedItems();
    if (selected.isEmpty())
        return;
    LoadPatchFile(ListedPath(m_patchList->row(selected.front())));
}

std::filesystem::path MainWindow::ListedPath(int row) const {
    const std::string name = m_patchList->item(row)->data(kFileNameRole).toByteArray().toStdString();
    return PathFromBytes(m_settings.patchFolder) / PathFromBytes(name);
}

void MainWindow::LoadFirstListedPatch() {
    if (m_patchList->count() == 0)
        return;
    m_patchList->setCurrentRow(0);
    LoadSelectedPatch();
}

void MainWindow::OpenPath(const std::filesystem::path &path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        ListPatchFolder(path);
        return;
    }
    if (const Status refusal = OpenRefusal(path); !refusal.ok()) {
        m_dialogs.ShowMessage(this, MessageText(refusal.message()));
        return;
    }
    if (!LoadPatchFile(path))
        return;
    if (std::optional<std::string> folder = FolderOfChosenFile(PathBytes(m_patch.path)))
        m_settings.lastPatchFolder = std::move(*folder);
    WriteSettings();
}

void MainWindow::HighlightShownEntry(bool keepCursor) {
    const std::filesystem::path &shown = m_patch.path;
    int found = -1;
    if (!shown.empty() && !m_settings.patchFolder.empty() &&
        ShownPath(PathFromBytes(m_settings.patchFolder)) == shown.parent_path()) {
        const QByteArray name = QByteArray::fromStdString(PathBytes(shown.filename()));
        for (int row = 0; row < m_patchList->count() && found < 0; ++row)
            if (m_patchList->item(row)->data(kFileNameRole).toByteArray() == name)
                found = row;
    }
    const QModelIndex cursor = m_patchList->currentIndex();
    if (found < 0)
        m_patchList->clearSelection();
    m_patchList->setCurrentRow(found);
    // After a refusal the keyboard's place stays on the refused entry, so that the arrow keys
    // walk on past it instead of coming back to it.
    if (keepCursor && cursor.isValid())
        m_patchList->selectionModel()->setCurrentIndex(cursor, QItemSelectionModel::NoUpdate);
}

void MainWindow::ReadSettings() {
    if (const Result<std::string> file = ReadWholeFile(SettingsPath(m_paths)); file.ok()) {
        m_settings = ParseSettings(*file);
        m_storedSettings = *file;
    }
    // The search folder stays in m_settings until the search window is made (searchWindow()).
}

// The file is written only when what it would hold differs from what it holds: every write is a
// chance for a crash or a kill to leave a temporary file behind.
void MainWindow::WriteSettings() {
    if (m_search != nullptr)
        m_settings.searchFolder = m_search->FolderBytes();
    std::string bytes = FormatSettings(m_settings);
    if (m_storedSettings == bytes)
        return;
    if (WriteWholeFile(SettingsPath(m_paths), bytes).ok())
        m_storedSettings = std::move(bytes);
}

} // namespace patchlens
