#include "collection/collection_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <map>
#include <sstream>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "collection/collection_export.h"
#include "collection/collection_groups.h"
#include "collection/collection_table.h"
#include "compare/patch_compare.h"
#include "files/whole_file.h"
#include "patch/decode.h"
#include "print/sheet_printer.h"
#include "sheet/patch_sheet.h"
#include "sheet/sheet_output.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/fonts.h"
#include "toolkit/line_lists.h"
#include "toolkit/text_conversion.h"

namespace patchlens {

namespace {

constexpr QSize kInitialSize(1000, 600);
constexpr int kBatchIntervalMs = 16; // rows taken into the table about once a frame
constexpr int kBatchBudgetMs = 6;    // and for at most this long, so that the window keeps responding
constexpr std::size_t kChunk = 64;   // patches taken at once within that time
// The rows taken are shown (the table relaid out and repainted, the status line rewritten) at most
// this often while the scan runs: a repaint of the table costs about as much as taking in a batch,
// so showing every batch would keep the window busy with painting.
constexpr int kShowIntervalMs = 120;
// How many patches the scan may have handed on ahead of the table before it waits: it bounds the
// memory when the table takes them in more slowly than they are read.
constexpr std::size_t kMostPending = 8192;

// The scan's threads (the worker and the reading threads it starts, which take its priority over)
// give way to the user-interface thread, so that the window stays responsive on a busy machine.
void LowerThisThreadsPriority() {
#if defined(__linux__)
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5);
#endif
}

} // namespace

std::filesystem::path CollectionSettingsFile() {
    return PathFromQString(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)) /
           "collection.ini";
}

CollectionWindow::CollectionWindow(QWidget *mainWindow, Dialogs &dialogs, std::filesystem::path settingsFile)
    : CompanionWindow(mainWindow, Qt::Window), m_dialogs(dialogs), m_mainWindow(mainWindow),
      m_settingsFile(std::move(settingsFile)) {
    setObjectName(QStringLiteral("collectionWindow"));
    setWindowTitle(QStringLiteral("Collection"));
    setAttribute(Qt::WA_QuitOnClose, false);
    const UiFonts &fonts = Fonts();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->setSpacing(6);

    auto *folderRow = new QHBoxLayout;
    auto *folderLabel = new QLabel(QStringLiteral("Folder:"), this);
    folderLabel->setFont(fonts.standard);
    folderRow->addWidget(folderLabel);
    m_folderField = new QLineEdit(this);
    m_folderField->setObjectName(QStringLiteral("collectionFolderField"));
    m_folderField->setFont(fonts.standard);
    m_folderField->setReadOnly(true);
    folderRow->addWidget(m_folderField, 1);
    m_recursive = new QCheckBox(QStringLiteral("Include the folders below"), this);
    m_recursive->setObjectName(QStringLiteral("collectionRecursive"));
    m_recursive->setChecked(true);
    folderRow->addWidget(m_recursive);
    m_scanButton = MakeButton(QStringLiteral("Scan Folder..."), "collectionScanButton", {}, this);
    m_scanButton->setMinimumWidth(100);
    connect(m_scanButton, &QPushButton::clicked, this, &CollectionWindow::ChooseAndScan);
    folderRow->addWidget(m_scanButton);
    m_stopButton = MakeButton(QStringLiteral("Stop"), "collectionStopButton", {}, this);
    m_stopButton->setEnabled(false);
    connect(m_stopButton, &QPushButton::clicked, this, &CollectionWindow::StopScan);
    folderRow->addWidget(m_stopButton);
    layout->addLayout(folderRow);

    auto *filterRow = new QHBoxLayout;
    auto *filterLabel = new QLabel(QStringLiteral("Filter:"), this);
    filterLabel->setFont(fonts.standard);
    filterRow->addWidget(filterLabel);
    m_filterField = new QLineEdit(this);
    m_filterField->setObjectName(QStringLiteral("collectionFilterField"));
    m_filterField->setFont(fonts.standard);
    m_filterField->setPlaceholderText(
        QStringLiteral("e.g.  Delay Distortion=Scream  Reverb.DECAY < 3  name~blues"));
    m_filterField->setClearButtonEnabled(true);
    connect(m_filterField, &QLineEdit::textChanged, this, &CollectionWindow::FilterChanged);
    filterRow->addWidget(m_filterField, 1);
    m_onlyDuplicates = new QCheckBox(QStringLiteral("Only duplicates"), this);
    m_onlyDuplicates->setObjectName(QStringLiteral("collectionOnlyDuplicates"));
    connect(m_onlyDuplicates, &QCheckBox::toggled, this, [this] { GroupsChanged(m_onlyDuplicates); });
    filterRow->addWidget(m_onlyDuplicates);
    m_onlyVariants = new QCheckBox(QStringLiteral("Only variants"), this);
    m_onlyVariants->setObjectName(QStringLiteral("collectionOnlyVariants"));
    connect(m_onlyVariants, &QCheckBox::toggled, this, [this] { GroupsChanged(m_onlyVariants); });
    filterRow->addWidget(m_onlyVariants);
    layout->addLayout(filterRow);

    m_filterMessage = new QLabel(this);
    m_filterMessage->setObjectName(QStringLiteral("collectionFilterMessage"));
    m_filterMessage->setTextFormat(Qt::PlainText);
    m_filterMessage->setFont(fonts.standard);
    QPalette messagePalette = m_filterMessage->palette();
    messagePalette.setColor(QPalette::WindowText, QColor(170, 0, 0));
    m_filterMessage->setPalette(messagePalette);
    m_filterMessage->hide();
    layout->addWidget(m_filterMessage);

    m_table = new CollectionTable(this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("collectionTable"));
    m_view->setFont(fonts.standard);
    m_view->setModel(m_table);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(QFontMetrics(fonts.standard).height() + 6);
    m_view->horizontalHeader()->setSortIndicatorClearable(true);
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_view->setSortingEnabled(true);
    m_view->horizontalHeader()->setHighlightSections(false);
    const int moduleWidth = QFontMetrics(fonts.standard).horizontalAdvance(QStringLiteral("MMMMMM")) + 12;
    m_view->setColumnWidth(CollectionTable::kGroupColumn, 56);
    m_view->setColumnWidth(CollectionTable::kNameColumn, 160);
    m_view->setColumnWidth(CollectionTable::kFileColumn, 200);
    for (int column = CollectionTable::kFirstModuleColumn; column < CollectionTable::kOtherFolderColumn;
         ++column)
        m_view->setColumnWidth(column, moduleWidth);
    m_view->setColumnWidth(CollectionTable::kOtherFolderColumn, 220);
    m_view->setColumnHidden(CollectionTable::kGroupColumn, true);
    m_view->setColumnHidden(CollectionTable::kOtherFolderColumn, true);
    m_view->setToolTip(QStringLiteral("Return or double click: load  -  Ctrl+click or Ctrl+Return: compare "
                                      "with the patch on screen  -  Shift+click, Ctrl+Space: select rows"));
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit patchChosen(EntryPath(m_table->EntryAt(index.row())));
    });
    layout->addWidget(m_view, 1);

    auto *actionRow = new QHBoxLayout;
    m_compareButton = MakeButton(QStringLiteral("Compare"), "collectionCompareButton", {}, this);
    connect(m_compareButton, &QPushButton::clicked, this, &CollectionWindow::CompareSelectedRows);
    m_printButton = MakeButton(QStringLiteral("Print to PDF..."), "collectionPrintButton", {}, this);
    connect(m_printButton, &QPushButton::clicked, this, &CollectionWindow::PrintSelectedRows);
    m_exportButton = MakeButton(QStringLiteral("Export..."), "collectionExportButton", {}, this);
    connect(m_exportButton, &QPushButton::clicked, this, &CollectionWindow::ExportShownRows);
    m_compareFolderButton =
        MakeButton(QStringLiteral("Compare with folder..."), "collectionCompareFolderButton", {}, this);
    connect(m_compareFolderButton, &QPushButton::clicked, this, &CollectionWindow::CompareWithFolder);
    for (QPushButton *button : {m_compareButton, m_printButton, m_exportButton, m_compareFolderButton}) {
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 24);
        actionRow->addWidget(button);
    }
    actionRow->addStretch(1);
    layout->addLayout(actionRow);

    auto *statusBar = new QStatusBar(this);
    statusBar->setSizeGripEnabled(true);
    m_status = new ElidedLabel(Qt::ElideRight, statusBar);
    m_status->setObjectName(QStringLiteral("collectionStatus"));
    statusBar->addWidget(m_status, 1);
    m_progressBar = new QProgressBar(statusBar);
    m_progressBar->setObjectName(QStringLiteral("collectionProgress"));
    m_progressBar->setFixedWidth(
        m_progressBar->fontMetrics().horizontalAdvance(QStringLiteral("0000000 / 0000000")) + 24);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    statusBar->addPermanentWidget(m_progressBar);
    layout->addWidget(statusBar);

    m_batchTimer = new QTimer(this);
    m_batchTimer->setInterval(kBatchIntervalMs);
    connect(m_batchTimer, &QTimer::timeout, this, &CollectionWindow::TakeBatch);

    resize(kInitialSize);
    ReadSettings();
    ShowStatus();
}

CollectionWindow::~CollectionWindow() {
    StopWorkers();
}

void CollectionWindow::StopWorkers() {
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_roomForMore.notify_all();
    JoinWorkers();
}

void CollectionWindow::JoinWorkers() {
    if (m_worker.joinable())
        m_worker.join();
    if (m_comparer.joinable())
        m_comparer.join();
}

void CollectionWindow::ReadSettings() {
    const QSettings settings(PathToQString(m_settingsFile), QSettings::IniFormat);
    const QByteArray folder = settings.value(QStringLiteral("folder")).toByteArray();
    if (!folder.isEmpty()) {
        m_folder = PathFromBytes(folder.toStdString());
        m_folderField->setText(PathToQString(m_folder));
    }
    m_recursive->setChecked(settings.value(QStringLiteral("recursive"), true).toBool());
}

void CollectionWindow::WriteSettings() const {
    QSettings settings(PathToQString(m_settingsFile), QSettings::IniFormat);
    settings.setValue(QStringLiteral("folder"), QByteArray::fromStdString(PathBytes(m_folder)));
    settings.setValue(QStringLiteral("recursive"), m_recursive->isChecked());
}

void CollectionWindow::ShowCollectionWindow() {
    show();
    raise();
    activateWindow();
    if (!m_asked) {
        m_asked = true;
        ChooseAndScan();
    }
}

void CollectionWindow::ChooseAndScan() {
    m_asked = true;
    const QString picked =
        m_dialogs.PickFolder(this, QStringLiteral("Select Collection Folder..."), PathForDialog(m_folder));
    if (picked.isEmpty())
        return;
    Scan(PathFromQString(picked));
}

void CollectionWindow::Scan(const std::filesystem::path &folder) {
    StopWorkers();
    m_stop = false;
    m_scanEnded = false;
    m_endTroubles.clear();
    m_folder = folder;
    m_folderField->setText(PathToQString(folder));
    WriteSettings();
    {
        std::lock_guard lock(m_lock);
        m_pending.clear();
        m_progress = {};
        m_running = true;
        m_troubles.clear();
    }
    m_folderCompareNote.clear();
    m_view->setColumnHidden(CollectionTable::kOtherFolderColumn, true);
    m_table->Reset({folder});
    m_sinceShown.invalidate();
    m_stopButton->setEnabled(true);
    m_compareFolderButton->setEnabled(false);
    m_batchTimer->start();
    ShowStatus();

    ScanOptions options;
    options.recursive = m_recursive->isChecked();
    options.stop = &m_stop;
    options.keepEntries = false; // the table keeps them
    const unsigned number = ++m_scanNumber;
    m_worker = std::thread([this, folder, options, number] {
        LowerThisThreadsPriority();
        ScanObserver observer;
        observer.onPatch = [this](ScannedPatch &patch, const ScanProgress &progress) {
            std::unique_lock lock(m_lock);
            m_roomForMore.wait(lock, [this] { return m_pending.size() < kMostPending || m_stop; });
            m_pending.push_back(std::move(patch));
            m_progress = progress;
        };
        observer.onProgress = [this](const ScanProgress &progress) {
            std::lock_guard lock(m_lock);
            m_progress = progress;
        };
        observer.onTrouble = [this](const FolderTrouble &trouble) {
            std::lock_guard lock(m_lock);
            m_troubles += trouble.message;
            m_troubles += '\n';
        };
        const std::vector<std::filesystem::path> folders{folder};
        ScanOutcome outcome = ScanCollection(folders, options, &observer);
        QMetaObject::invokeMethod(
            this,
            [this, outcome = std::move(outcome), number]() mutable {
                if (number == m_scanNumber)
                    FinishScan(std::move(outcome));
            },
            Qt::QueuedConnection);
    });
}

void CollectionWindow::StopScan() {
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    m_roomForMore.notify_all();
}

// Takes the patches pending into the table, a chunk at a time, for a few milliseconds at most;
// once the scan has ended and none is left, the scan is finished.
void CollectionWindow::TakeBatch() {
    QElapsedTimer budget;
    budget.start();
    bool drained = false;
    do {
        std::vector<ScannedPatch> chunk;
        {
            std::lock_guard lock(m_lock);
            const std::size_t count = std::min(kChunk, m_pending.size());
            chunk.reserve(count);
            for (std::size_t i = 0; i < count; ++i) {
                chunk.push_back(std::move(m_pending.front()));
                m_pending.pop_front();
            }
            drained = m_pending.empty();
        }
        m_roomForMore.notify_all();
        m_table->Take(chunk);
    } while (!drained && budget.elapsed() < kBatchBudgetMs);
    const bool finished = drained && m_scanEnded;
    if (!finished && m_table->rowCount() > 0 && m_sinceShown.isValid() &&
        m_sinceShown.elapsed() < kShowIntervalMs)
        return;
    m_table->ShowTaken();
    m_sinceShown.start();
    if (finished) {
        m_scanEnded = false;
        m_batchTimer->stop();
        {
            std::lock_guard lock(m_lock);
            m_running = false;
        }
        m_stopButton->setEnabled(false);
        m_compareFolderButton->setEnabled(true);
        if (!m_endTroubles.empty() && m_endTroubles.front().folder == 0 &&
            m_endTroubles.front().path == m_folder)
            m_dialogs.ShowMessage(this, ToQString(m_endTroubles.front().message));
        ShowStatus();
        emit scanFinished();
        return;
    }
    ShowStatus();
}

void CollectionWindow::FinishScan(ScanOutcome outcome) {
    if (m_worker.joinable())
        m_worker.join();
    {
        std::lock_guard lock(m_lock);
        m_progress = outcome.progress;
    }
    m_endTroubles = std::move(outcome.troubles);
    m_scanEnded = true;
    TakeBatch();
}

void CollectionWindow::ShowStatus() {
    ScanProgress progress;
    bool running = false;
    std::string troubles;
    {
        std::lock_guard lock(m_lock);
        progress = m_progress;
        running = m_running;
        troubles = m_troubles;
    }
    QString text =
        QStringLiteral("%1 of %2 patches shown").arg(m_table->rowCount()).arg(m_table->collection().size());
    if (running)
        text += QStringLiteral("  (scanning...)");
    else if (m_stop && !m_folder.empty() && progress.handed < progress.listed)
        text += QStringLiteral("  (scan stopped)");
    if (!m_folderCompareNote.isEmpty())
        text += QStringLiteral("  -  ") + m_folderCompareNote;
    if (!troubles.empty()) {
        const auto count = std::count(troubles.begin(), troubles.end(), '\n');
        text += QStringLiteral("  -  %1 folder(s) could not be read").arg(count);
    }
    m_status->SetFullText(text);
    m_status->setToolTip(ToQString(troubles));
    m_progressBar->setTextVisible(true);
    if (progress.listed == 0) {
        m_progressBar->setRange(0, running ? 0 : 1);
        m_progressBar->setValue(0);
        m_progressBar->setFormat(QStringLiteral("0 / 0"));
        return;
    }
    constexpr std::size_t kMost = std::numeric_limits<int>::max();
    m_progressBar->setRange(0, static_cast<int>(std::min(progress.listed, kMost)));
    m_progressBar->setValue(static_cast<int>(std::min(progress.handed, kMost)));
    m_progressBar->setFormat(QStringLiteral("%v / %m"));
}

void CollectionWindow::FilterChanged() {
    const std::string text = TypedBytes(m_filterField->text());
    Result<PatchFilter> filter = ParseFilter(text);
    const bool bad = !filter.ok();
    if (m_filterField->property("badFilter").toBool() != bad) {
        m_filterField->setProperty("badFilter", bad);
        // The mark of a filter that cannot be read: a red frame and a pale red field.
        m_filterField->setStyleSheet(bad ? QStringLiteral("QLineEdit { border: 2px solid rgb(200, 0, 0); "
                                                          "background: rgb(255, 228, 228); }")
                                         : QString());
    }
    if (bad) {
        // The rows of the last filter that could be read stay, so that nothing looks "not found".
        m_filterMessage->setText(QStringLiteral("Filter not applied: ") +
                                 ToQString(filter.error().message()));
        m_filterMessage->show();
        return;
    }
    m_filterMessage->hide();
    m_filterMessage->clear();
    m_table->SetFilter(std::move(filter).value());
    ShowStatus();
}

void CollectionWindow::GroupsChanged(QCheckBox *ticked) {
    // The two boxes exclude each other: ticking one clears the other.
    QCheckBox *other = ticked == m_onlyDuplicates ? m_onlyVariants : m_onlyDuplicates;
    if (ticked->isChecked() && other->isChecked()) {
        const QSignalBlocker blocker(other);
        other->setChecked(false);
    }
    const CollectionGroups groups = m_onlyDuplicates->isChecked() ? CollectionGroups::Duplicates
                                    : m_onlyVariants->isChecked() ? CollectionGroups::Variants
                                                                  : CollectionGroups::None;
    m_table->SetGroups(groups);
    m_view->setColumnHidden(CollectionTable::kGroupColumn, groups == CollectionGroups::None);
    ShowStatus();
}

std::filesystem::path CollectionWindow::EntryPath(std::size_t entry) const {
    return m_table->collection().FullPath(entry);
}

std::vector<std::size_t> CollectionWindow::SelectedEntries() const {
    std::vector<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<std::size_t> entries;
    for (const int row : rows)
        entries.push_back(m_table->EntryAt(row));
    return entries;
}

void CollectionWindow::LoadCurrentRow() {
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid() && m_view->selectionModel()->isRowSelected(current.row(), {}))
        emit patchChosen(EntryPath(m_table->EntryAt(current.row())));
}

void CollectionWindow::CompareSelectedRows() {
    const std::vector<std::size_t> entries = SelectedEntries();
    if (entries.size() != 2) {
        m_dialogs.ShowMessage(this, QStringLiteral("Select two rows to compare."));
        return;
    }
    emit compareFilesRequested(EntryPath(entries[0]), EntryPath(entries[1]));
}

void CollectionWindow::PrintSelectedRows() {
    std::vector<std::filesystem::path> pages;
    for (const std::size_t entry : SelectedEntries())
        if (m_table->collection().entry(entry).accepted())
            pages.push_back(EntryPath(entry));
    if (pages.empty()) {
        m_dialogs.ShowMessage(this, QStringLiteral("Select the rows of the patches to print."));
        return;
    }
    const std::filesystem::path named = m_folder.has_filename() ? m_folder : m_folder.parent_path();
    const std::string title = PathBytes(named.filename());
    std::filesystem::path suggested = m_folder.parent_path() / m_folder.filename();
    suggested += ".pdf";
    const QString chosen = m_dialogs.ChooseSaveFile(this, QStringLiteral("Print to PDF"),
                                                    PathToQString(suggested), QStringLiteral("PDF (*.pdf)"));
    if (chosen.isEmpty())
        return;
    const std::filesystem::path output = PathFromQString(chosen);
    if (const Status refusal = OutputRefusal(output, pages, "a PDF"); !refusal.ok()) {
        m_dialogs.ShowMessage(this, ToQString(refusal.message()));
        return;
    }
    QStringList troubles;
    const std::string error = WriteSheetPdf(chosen, ToQString(title), pages.size(), [&](std::size_t k) {
        const FreshPatch fresh = DecodeFresh(pages[k]);
        if (!fresh.usable())
            troubles << PathToQString(pages[k]) + QStringLiteral(": ") +
                            ToQString(fresh.outcome.error().message());
        const std::string path = PathBytes(fresh.patch.path);
        const std::string number = CollectionPatchNumber("01", k);
        return BuildPatchSheet({fresh.patch.panels, fresh.patch.name, number, path, k + 1, pages.size()});
    });
    if (!error.empty())
        m_dialogs.ShowMessage(this, PathToQString(output) + QStringLiteral(": ") + ToQString(error));
    else if (!troubles.isEmpty())
        m_dialogs.ShowMessage(this,
                              QStringLiteral("Changed since the scan:\n") + troubles.join(QLatin1Char('\n')));
}

void CollectionWindow::ExportShownRows() {
    std::filesystem::path suggested = m_folder.parent_path() / m_folder.filename();
    suggested += ".csv";
    const QString chosen = m_dialogs.ChooseSaveFile(this, QStringLiteral("Export"), PathToQString(suggested),
                                                    QStringLiteral("CSV (*.csv);;JSON (*.json)"));
    if (chosen.isEmpty())
        return;
    const std::filesystem::path output = PathFromQString(chosen);
    const ExportFormat format = chosen.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)
                                    ? ExportFormat::Json
                                    : ExportFormat::Csv;
    if (HasPatchFileName(output)) {
        m_dialogs.ShowMessage(this,
                              PathToQString(output) + QStringLiteral(": not written over a patch file."));
        return;
    }
    std::ostringstream out;
    WriteCollectionExport(out, format, m_table->collection(), m_table->shownEntries());
    if (const Status written = WriteWholeFile(output, out.str()); !written.ok())
        m_dialogs.ShowMessage(this, ToQString(written.message()));
}

void CollectionWindow::CompareWithFolder() {
    if (scanning() || m_comparer.joinable() || m_folder.empty())
        return;
    const QString picked = m_dialogs.PickFolder(this, QStringLiteral("Select the Folder to Compare with..."),
                                                PathForDialog(m_folder.parent_path()));
    if (picked.isEmpty())
        return;
    const std::filesystem::path other = PathFromQString(picked);
    const std::filesystem::path folder = m_folder;
    m_compareFolderButton->setEnabled(false);
    m_folderCompareNote = QStringLiteral("comparing with ") + PathToQString(other) + QStringLiteral("...");
    ShowStatus();
    m_comparer = std::thread([this, folder, other] {
        LowerThisThreadsPriority();
        // This folder is the new one, the other the old one (a backup, say).
        const std::vector<std::filesystem::path> folders{folder, other};
        ScanOptions options;
        options.stop = &m_stop;
        const ScanOutcome outcome = ScanCollection(folders, options);
        const Collection &both = outcome.collection;
        OldFolderNotes notes = NotesAgainstOldFolder(both, CompareFolders(both, 1, 0));
        const QString note =
            outcome.troubles.empty()
                ? QStringLiteral("compared with %1: %2 removed").arg(PathToQString(other)).arg(notes.removed)
                : ToQString(outcome.troubles.front().message);
        QMetaObject::invokeMethod(
            this,
            [this, what = std::move(notes.byFile), note, failed = !outcome.troubles.empty()] {
                if (m_comparer.joinable())
                    m_comparer.join();
                const Collection &shown = m_table->collection();
                std::vector<QString> perEntry(shown.size());
                for (std::size_t entry = 0; entry < shown.size(); ++entry) {
                    const auto found = what.find(shown.File(entry));
                    perEntry[entry] = found != what.end() ? ToQString(found->second) : QStringLiteral("same");
                }
                if (!failed) {
                    m_table->SetOtherFolder(std::move(perEntry));
                    m_view->setColumnHidden(CollectionTable::kOtherFolderColumn, false);
                }
                m_folderCompareNote = note;
                m_compareFolderButton->setEnabled(true);
                ShowStatus();
                emit folderCompareFinished();
            },
            Qt::QueuedConnection);
    });
}

void CollectionWindow::Closing() {
    StopScan();
}

bool CollectionWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const QModelIndex current = m_view->currentIndex();
        if (modifiers == Qt::ControlModifier) {
            if (current.isValid() && !key->isAutoRepeat()) {
                const std::filesystem::path path = EntryPath(m_table->EntryAt(current.row()));
                QTimer::singleShot(0, this, [this, path] { emit compareRequested(path); });
            }
            return true;
        }
        if (modifiers == Qt::NoModifier) {
            if (!key->isAutoRepeat())
                LoadCurrentRow();
            return true;
        }
        return false;
    }
    if (watched == m_view->viewport()) {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick)
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ControlModifier))
            return false;
        // A Ctrl+click is the comparison's alone: the selection does not move.
        if (type == QEvent::MouseButtonPress) {
            const QModelIndex at = m_view->indexAt(mouse->position().toPoint());
            if (at.isValid()) {
                const std::filesystem::path path = EntryPath(m_table->EntryAt(at.row()));
                QTimer::singleShot(0, this, [this, path] { emit compareRequested(path); });
            }
        }
        return true;
    }
    return false;
}

} // namespace patchlens
