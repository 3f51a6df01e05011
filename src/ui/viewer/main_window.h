#pragma once
// The main window: the command buttons, the fifteen module panels, the patch list and the
// status bar. It owns the one Patch of the run and mirrors it into its widgets.

#include <QMainWindow>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "patch/decode.h"
#include "settings/settings_file.h"
#include "toolkit/program_folder.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;
class QPushButton;

namespace patchlens {

class Dialogs;
class HelpKeyFilter;
class LibraryCommands;
class SearchWindow;
class ModulePanelViews;
class ElidedLabel;

inline constexpr const char *kWindowTitle = "Patchlens [ Version: 1.21 ]";
inline constexpr const char *kHelpFileName = "RP350Help.chm";

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Builds every control, then reads default.ini from the data folder. Nothing is loaded.
    MainWindow(Dialogs &dialogs, ProgramPaths paths, QWidget *parent = nullptr);
    ~MainWindow() override;
    Q_DISABLE_COPY(MainWindow)

    // The load sequence of every route: the file's patch, its absolute path in the status bar and
    // its entry highlighted in the list. A file that is missing, unreadable, too large or refused
    // by its schema version is named in a message and changes nothing on screen. True when shown.
    bool LoadPatchFile(const std::filesystem::path &path);

    // "Load Patch": the open dialog, then the chosen file (remembering its folder).
    void LoadPatch();
    // "Load Patch Folder": the folder picker, then the folder's patch files in the list.
    void LoadPatchFolder();
    // The patch list's selected entry, loaded from the listed folder.
    void LoadSelectedPatch();
    // Lists the folder's patch files and remembers it as the patch folder (written at once).
    void ListPatchFolder(const std::filesystem::path &folder);
    // A dropped or given file is loaded as if chosen in the open dialog, its folder remembered
    // once it is shown; a folder is listed. A missing file, or one whose name is not a patch
    // file's, is refused with a message.
    void OpenPath(const std::filesystem::path &path);
    // Compares the patch on screen with the file in a compare window of its own; both are decoded
    // afresh, and nothing in this window changes.
    void ComparePatchFile(const std::filesystem::path &other);
    // Selects the patch list's first entry and loads it; nothing when the list is empty.
    void LoadFirstListedPatch();

    // "Print Patch": the print dialog, first on the default printer in landscape, keeping the
    // printer and settings chosen last; then the patch sheet as one page.
    void PrintPatch();

    // F1: the help file in the program folder when there is one and the system can show it,
    // else the built-in help.
    void OpenHelp();

    void ReadSettings();
    void WriteSettings();

    const Patch &patch() const { return m_patch; }
    const ViewerSettings &settings() const { return m_settings; }
    const ProgramPaths &paths() const { return m_paths; }
    ModulePanelViews &panelViews() const { return *m_panels; }
    ElidedLabel *patchLabel() const { return m_patchLabel; }
    LibraryCommands &library() const { return *m_library; }
    SearchWindow &searchWindow() const { return *m_search; }

protected:
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void CreateControls();
    void ShowPatch();
    // The file of the patch list's row: the listed folder and the entry's real name.
    std::filesystem::path ListedPath(int row) const;
    // Makes the entry of the patch on screen the list's current one; none when it is not listed.
    void HighlightShownEntry();
    QPoint CentredTopLeft() const;

    Dialogs &m_dialogs;
    ProgramPaths m_paths;
    Patch m_patch;
    std::filesystem::path m_shownPath; // the file whose patch is on screen (a refused one is not)
    ViewerSettings m_settings;
    std::optional<std::string> m_storedSettings; // default.ini as read or last written
    bool m_placed = false;

    QPushButton *m_loadPatchButton = nullptr;
    QPushButton *m_loadFolderButton = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_printButton = nullptr;
    ElidedLabel *m_nameField = nullptr;
    QLineEdit *m_numberField = nullptr;
    QListWidget *m_patchList = nullptr;
    ElidedLabel *m_patchLabel = nullptr;
    std::unique_ptr<ModulePanelViews> m_panels;
    HelpKeyFilter *m_helpKeys = nullptr;
    LibraryCommands *m_library = nullptr;
    SearchWindow *m_search = nullptr;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace patchlens
