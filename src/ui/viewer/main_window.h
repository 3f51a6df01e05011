#pragma once
// The main window: the command buttons, the fifteen module panels, the patch list and the
// status bar. It owns the one Patch of the run and mirrors it into its widgets.

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compare/patch_compare.h"
#include "patch/decode.h"
#include "settings/settings_file.h"
#include "toolkit/program_folder.h"

class QImage;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;
class QPushButton;

namespace patchlens {

class CollectionWindow;
class CompareWindow;
class Dialogs;
class HelpKeyFilter;
class LibraryGroup;
class SearchWindow;
class ModulePanelViews;
class ElidedLabel;
class PatchPicture;

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
    // afresh (the patch on screen from the bytes it was shown from, not from its file again), and
    // nothing in this window changes. The window goes where it covers the patch list least, clear
    // of the compare windows open; the same two files compared again bring their window to the
    // front instead.
    void ComparePatchFile(const std::filesystem::path &other);
    // Compares two files, each decoded afresh from its file, in a compare window as above.
    void ComparePatchFiles(const std::filesystem::path &a, const std::filesystem::path &b);
    // The compare windows open, oldest first.
    std::vector<CompareWindow *> compareWindows() const;
    // Selects the patch list's first entry and loads it; nothing when the list is empty.
    void LoadFirstListedPatch();

    // "Print Patch": the print dialog, first on the default printer in landscape, keeping the
    // printer and settings chosen last; then the patch sheet as one page.
    void PrintPatch();

    // The patch on screen as a picture (the name, the fifteen panels, the file's name above), at
    // `scale` pixels per pixel. "Save Image..." (Ctrl+S) writes it as a PNG chosen in the save
    // dialog; "Copy Image" (Ctrl+C on a panel, or the panels' context menu) puts it on the
    // clipboard. Without a patch, a message.
    QImage PatchImage(qreal scale) const;
    void SaveImage();
    void CopyImage();
    // The save dialog for a picture (suggesting `suggested`), then the PNG, never over one of
    // `inputs`; a failed write is reported.
    void SavePicture(const QImage &picture, const std::filesystem::path &suggested,
                     const std::vector<std::filesystem::path> &inputs);

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
    LibraryGroup &library() const { return *m_library; }
    // The search window, made when first wanted: most starts never open it.
    SearchWindow &searchWindow();
    // The collection window, made when first wanted; "Collection..." (Ctrl+L) shows it.
    CollectionWindow &collectionWindow();

protected:
    void showEvent(QShowEvent *event) override;
    // Closes every compare window with this one.
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void CreateControls();
    void ShowPatch();
    // The file of the patch list's row: the listed folder and the entry's real name.
    std::filesystem::path ListedPath(int row) const;
    // Highlights the entry of the patch on screen, none when it is not listed; with `keepCursor`
    // (after a refusal) the keyboard's current entry stays where it is.
    void HighlightShownEntry(bool keepCursor);
    QPoint CentredTopLeft() const;
    // Shows the comparison of two patches decoded afresh (a refused one is named in a message).
    void ShowComparison(const FreshPatch &a, const FreshPatch &b);

    Dialogs &m_dialogs;
    ProgramPaths m_paths;
    Patch m_patch;
    // The patch on screen (a refused one is not): its file, the bytes it was decoded from, and why
    // the file could not be read (it then shows as the empty patch).
    struct ShownPatch {
        std::filesystem::path path;
        std::string bytes;
        std::string readError;
    };
    std::optional<ShownPatch> m_shown;
    struct OpenComparison {
        std::filesystem::path a, b;
        QPointer<CompareWindow> window; // null once closed
    };
    std::vector<OpenComparison> m_comparisons;
    ViewerSettings m_settings;
    std::optional<std::string> m_storedSettings; // default.ini as read or last written
    bool m_placed = false;

    QPushButton *m_loadPatchButton = nullptr;
    QPushButton *m_loadFolderButton = nullptr;
    QPushButton *m_searchButton = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_collectionButton = nullptr;
    ElidedLabel *m_nameField = nullptr;
    QLineEdit *m_numberField = nullptr;
    QListWidget *m_patchList = nullptr;
    ElidedLabel *m_patchLabel = nullptr;
    std::unique_ptr<ModulePanelViews> m_panels;
    HelpKeyFilter *m_helpKeys = nullptr;
    LibraryGroup *m_library = nullptr;
    SearchWindow *m_search = nullptr;
    CollectionWindow *m_collection = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    mutable std::unique_ptr<PatchPicture> m_picture; // made when a picture is first asked for
};

} // namespace patchlens
