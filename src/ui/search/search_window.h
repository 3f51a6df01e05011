#pragma once
// The search window: finds, in a folder and every folder below it, the patch files in which a
// chosen module is on and uses a chosen model. The search runs off the user-interface thread, so
// the windows stay responsive; the status line and a progress bar follow it, "Stop" ends it with
// the results found so far, and the results appear in list order, as a search reading one file
// after the other would give them (search_run.h).

#include <QSet>
#include <QString>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "search/patch_search.h"
#include "toolkit/companion_window.h"

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace patchlens {

class Dialogs;
class ElidedLabel;

class SearchWindow : public CompanionWindow {
    Q_OBJECT

public:
    // Created hidden. `programFolder` is where the folder picker starts when no folder was kept.
    SearchWindow(QWidget *mainWindow, Dialogs &dialogs, std::filesystem::path programFolder);
    ~SearchWindow() override;
    Q_DISABLE_COPY(SearchWindow)

    // "Search Patch": shows and raises the window (placed below the main window the first time).
    // A window that opens with the focus in the folder field selects its text, so that a path
    // typed replaces it, as keyboard focus does.
    void ShowSearchWindow();
    // The folder field as default.ini stores it (native path bytes), and back. Setting it at
    // start-up also keeps the value as the folder picker's starting folder.
    std::string FolderBytes() const;
    void SetFolderAtStartUp(const std::string &bytes);

    void BrowseSearchFolder();
    void SelectSearchModule();
    // "Start Search..." or, while a search runs, "Stop".
    void StartOrStopSearch();
    void OpenSearchResult();

    bool searching() const { return m_worker.joinable(); }
    // Whether the last search ended by "Stop" rather than by running through.
    bool lastSearchStopped() const { return m_lastStopped; }

signals:
    // All emitted on the user-interface thread.
    void patchChosen(const std::filesystem::path &path);      // a result to load
    void compareRequested(const std::filesystem::path &path); // a result Ctrl+clicked or Ctrl+Return
    void settingsChanged(); // the folder field may hold a new folder: picked, or the window closed
    void searchFinished();  // a search has ended (finished or stopped)

protected:
    void Closing() override; // tells that the folder field may hold a new folder
    // The result list's keys: the first Down selects the first result; Ctrl+Return compares.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PlaceBelowMainWindow();
    void StartSearch();
    void StopSearch();
    void Finish(SearchOutcome outcome);
    void ShowProgress();
    void ShowCount(std::size_t analyzed, std::size_t patchFiles, bool running);
    bool ResultListKey(QKeyEvent *key);
    void CompareSelectedResult();
    std::filesystem::path FolderPath() const;
    void SetFolderField(const std::string &bytes);

    Dialogs &m_dialogs;
    QWidget *m_mainWindow;
    std::filesystem::path m_programFolder;
    std::string m_startupFolder;    // the picker's starting folder, as read at start-up
    std::string m_shownFolderBytes; // the bytes the folder field was last set from
    SearchTarget m_target;
    bool m_placed = false;
    QPoint m_mainTopLeft; // the main window's outer top-left corner when this window was placed
    bool m_lastStopped = false;
    QSet<int> m_compareKeys; // the keys of a Ctrl+Return still held, whose releases load nothing

    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::mutex m_progressLock; // guards the two fields below, written by the worker
    std::string m_latestStatus;
    SearchProgress m_latestProgress;
    QTimer *m_progressTimer = nullptr;

    QLineEdit *m_folderField = nullptr;
    QPushButton *m_browseButton = nullptr;
    QComboBox *m_moduleList = nullptr;
    QComboBox *m_modelList = nullptr;
    QPushButton *m_startButton = nullptr;
    QListWidget *m_resultList = nullptr;
    ElidedLabel *m_statusLine = nullptr;
    QProgressBar *m_progressBar = nullptr;
};

} // namespace patchlens
