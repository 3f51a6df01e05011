#pragma once
// The collection window: every patch file of a folder (and, by choice, the folders below it) in
// one table, read and decoded beside the window. The scan runs on a worker thread; the patches it
// hands on are gathered there and taken into the table in batches by a timer on the user-interface
// thread, so that the window stays responsive while rows arrive (scrolling, sorting, typing a
// filter). A progress bar, Stop and a status line "N of M patches shown" follow the scan.
//
// Rows load into the main window on Return or a double click; Ctrl+click (or Ctrl+Return)
// compares a row with the patch on screen, as the patch list does; "Compare" compares two rows
// selected; "Print to PDF..." writes the rows selected as one collection PDF in the table's order;
// "Export..." writes the rows shown, in their order, as CSV or JSON (the command line's bytes);
// "Compare with folder..." tells for each row what it is in another folder.

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collection/collection_scan.h"
#include "toolkit/companion_window.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace patchlens {

class CollectionTable;
class Dialogs;
class ElidedLabel;

// Where the collection window keeps its folder and its choice of the folders below: a settings
// file of its own in the per-user configuration folder.
std::filesystem::path CollectionSettingsFile();

class CollectionWindow : public CompanionWindow {
    Q_OBJECT

public:
    // Created hidden; the folder and the choice of the folders below are read from `settingsFile`.
    CollectionWindow(QWidget *mainWindow, Dialogs &dialogs, std::filesystem::path settingsFile);
    ~CollectionWindow() override;
    Q_DISABLE_COPY(CollectionWindow)

    // Shows and raises the window; the first time, asks for the folder to scan.
    void ShowCollectionWindow();
    // Asks for a folder (starting at the one remembered) and scans it; nothing when cancelled.
    void ChooseAndScan();
    // Scans the folder (and the folders below it when that box is ticked), replacing the rows.
    void Scan(const std::filesystem::path &folder);
    void StopScan();
    bool scanning() const { return m_worker.joinable(); }

    void LoadCurrentRow();
    void CompareSelectedRows();
    void PrintSelectedRows();
    void ExportShownRows();
    void CompareWithFolder();

    CollectionTable &table() const { return *m_table; }
    std::filesystem::path folder() const { return m_folder; }

signals:
    void patchChosen(const std::filesystem::path &path);      // a row to load
    void compareRequested(const std::filesystem::path &path); // a row to compare with the patch on screen
    void compareFilesRequested(const std::filesystem::path &a, const std::filesystem::path &b);
    void scanFinished();          // a scan has ended (run through or stopped), its rows all shown
    void folderCompareFinished(); // a folder comparison's results are shown

protected:
    void Closing() override; // stops a scan running
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ReadSettings();
    void WriteSettings() const;
    void FilterChanged();
    void GroupsChanged(QCheckBox *ticked);
    void TakeBatch();
    void FinishScan(ScanOutcome outcome);
    // Stops the scan and any folder comparison and waits for their threads.
    void StopWorkers();
    void ShowStatus();
    std::vector<std::size_t> SelectedEntries() const;
    std::filesystem::path EntryPath(std::size_t entry) const;
    void JoinWorkers();

    Dialogs &m_dialogs;
    QWidget *m_mainWindow;
    std::filesystem::path m_settingsFile;
    std::filesystem::path m_folder; // the folder scanned (or to scan)
    bool m_asked = false;           // whether the window has asked for its folder yet

    std::thread m_worker;
    std::thread m_comparer;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;                     // guards the fields below up to m_troubles, written by the worker
    std::condition_variable m_roomForMore; // the worker waits while many patches are pending
    std::deque<ScannedPatch> m_pending;    // handed on by the scan, not yet in the table
    ScanProgress m_progress;
    bool m_running = false;
    std::string m_troubles; // folders that could not be read, as the scan reported them
    QTimer *m_batchTimer = nullptr;
    QElapsedTimer m_sinceShown; // since the rows taken were last shown

    CollectionTable *m_table = nullptr;
    QTableView *m_view = nullptr;
    QLineEdit *m_folderField = nullptr;
    QPushButton *m_scanButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QCheckBox *m_recursive = nullptr;
    QLineEdit *m_filterField = nullptr;
    QLabel *m_filterMessage = nullptr;
    QCheckBox *m_onlyDuplicates = nullptr;
    QCheckBox *m_onlyVariants = nullptr;
    QPushButton *m_compareButton = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_compareFolderButton = nullptr;
    ElidedLabel *m_status = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QString m_folderCompareNote; // what the last folder comparison found beyond the rows
    bool m_scanEnded = false;    // the worker is done; the rows pending are the last
    unsigned m_scanNumber = 0;   // counts the scans started: the end of an earlier one is ignored
    std::vector<FolderTrouble> m_endTroubles;
};

} // namespace patchlens
