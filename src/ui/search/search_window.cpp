#include "search/search_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/event_hooks.h"
#include "toolkit/fonts.h"
#include "toolkit/line_lists.h"
#include "toolkit/text_conversion.h"
#include "toolkit/window_frame.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

namespace {

constexpr QSize kOuterSize(600, 245);
constexpr int kBelowMainWindow = 335;
constexpr QSize kStatusMargins(8, 5);    // right and bottom
constexpr int kProgressIntervalMs = 200; // a few status updates per second, whatever the pace
constexpr int kResultPathRole = Qt::UserRole;

QString Text(std::string_view bytes) {
    return ToQString(bytes);
}

} // namespace

SearchWindow::SearchWindow(QWidget *mainWindow, Dialogs &dialogs, std::filesystem::path programFolder)
    : CompanionWindow(mainWindow, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_dialogs(dialogs), m_mainWindow(mainWindow), m_programFolder(std::move(programFolder)) {
    setObjectName(QStringLiteral("searchWindow"));
    setWindowTitle(QStringLiteral("Search Patch"));
    setAttribute(Qt::WA_QuitOnClose, false);
    const UiFonts &fonts = Fonts();

    auto *client = new QWidget(this);
    auto *statusBar = new QStatusBar(this);
    statusBar->setSizeGripEnabled(false);
    // The progress bar keeps off the window's right and bottom edges, its right edge under the
    // result list's.
    statusBar->setContentsMargins(0, 0, kStatusMargins.width(), kStatusMargins.height());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(client, 1);
    layout->addWidget(statusBar);

    auto *folderLabel = new QLabel(QStringLiteral("Search Path:"), client);
    folderLabel->setFont(fonts.standard);
    folderLabel->setGeometry(10, 2, 100, 15);

    m_folderField = new QLineEdit(client);
    m_folderField->setObjectName(QStringLiteral("searchFolderField"));
    m_folderField->setFont(fonts.standard);
    m_folderField->setGeometry(10, 20, 560, 20);

    m_browseButton = MakeButton(QStringLiteral("..."), "searchBrowseButton", {572, 19, 20, 20}, client);
    connect(m_browseButton, &QPushButton::clicked, this, &SearchWindow::BrowseSearchFolder);

    m_moduleList = new QComboBox(client);
    m_moduleList->setObjectName(QStringLiteral("searchModuleList"));
    m_moduleList->setFont(fonts.control);
    m_moduleList->addItem(Text(kModuleListPlaceholder));
    for (const SearchModule &module : SearchModules())
        m_moduleList->addItem(Text(module.entry));
    m_moduleList->setCurrentIndex(0);
    m_moduleList->setGeometry(10, 45, 150, 20);
    connect(m_moduleList, &QComboBox::activated, this, &SearchWindow::SelectSearchModule);

    m_modelList = new QComboBox(client);
    m_modelList->setObjectName(QStringLiteral("searchModelList"));
    m_modelList->setFont(fonts.control);
    m_modelList->setGeometry(170, 45, 250, 20);

    m_startButton =
        MakeButton(QStringLiteral("Start Search..."), "searchStartButton", {430, 45, 140, 20}, client);
    connect(m_startButton, &QPushButton::clicked, this, &SearchWindow::StartOrStopSearch);

    m_resultList = new QListWidget(client);
    m_resultList->setObjectName(QStringLiteral("searchResultList"));
    m_resultList->setFont(fonts.standard);
    StyleLineList(m_resultList, QFontMetrics(fonts.standard).height(), Qt::ElideMiddle);
    m_resultList->setGeometry(10, 75, 580, 110);
    OnMouseUp(m_resultList, HookOrder::BeforeControl, [this] { OpenSearchResult(); });
    OnKeyUp(m_resultList, [this] { OpenSearchResult(); });
    OnControlClick(m_resultList, [this](int row) {
        emit compareRequested(
            PathFromBytes(m_resultList->item(row)->data(kResultPathRole).toByteArray().toStdString()));
    });
    // After the release hooks, so that a key this window takes never reaches them.
    m_resultList->installEventFilter(this);
    m_resultList->setToolTip(QStringLiteral("Ctrl+click or Ctrl+Return: compare with the patch on screen"));

    m_statusLine = new ElidedLabel(Qt::ElideMiddle, statusBar);
    m_statusLine->setObjectName(QStringLiteral("searchStatus"));
    statusBar->addWidget(m_statusLine, 1);
    m_progressBar = new QProgressBar(statusBar);
    m_progressBar->setObjectName(QStringLiteral("searchProgress"));
    // Wide enough for "analyzed / found" in seven digits each, on one line.
    m_progressBar->setFixedWidth(
        m_progressBar->fontMetrics().horizontalAdvance(QStringLiteral("0000000 / 0000000")) + 24);
    // Empty until a search starts.
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    statusBar->addPermanentWidget(m_progressBar);

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressIntervalMs);
    connect(m_progressTimer, &QTimer::timeout, this, &SearchWindow::ShowProgress);

    KeepOuterSize(this, kOuterSize, [this]() -> std::optional<QPoint> {
        if (!m_placed)
            return std::nullopt;
        return m_mainTopLeft + QPoint(0, kBelowMainWindow);
    });
}

SearchWindow::~SearchWindow() {
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

void SearchWindow::ShowSearchWindow() {
    if (!m_placed) {
        m_placed = true;
        PlaceBelowMainWindow();
    }
    // Opened, the window gives the focus to the control that had it, else to the folder field.
    if (!isVisible() && (focusWidget() == nullptr || focusWidget() == m_folderField))
        m_folderField->selectAll();
    showNormal();
    raise();
    activateWindow();
}

void SearchWindow::Closing() {
    emit settingsChanged();
}

bool SearchWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_resultList)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return ResultListKey(static_cast<QKeyEvent *>(event));
    case QEvent::FocusOut:
        m_compareKeys.clear();
        return false;
    default:
        return false;
    }
}

// True when the key is taken here, before the list and its release hooks see it.
bool SearchWindow::ResultListKey(QKeyEvent *key) {
    const bool isReturn = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (key->type() == QEvent::KeyRelease) {
        // The keys of a comparison load nothing when they are released.
        return !key->isAutoRepeat() && m_compareKeys.remove(key->key());
    }
    if (isReturn && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        m_compareKeys = {key->key(), Qt::Key_Control};
        if (!key->isAutoRepeat())
            CompareSelectedResult();
        return true;
    }
    // With nothing selected the list still has a current row (the first, once it has the focus),
    // and Down would go past it: from no row, Down goes to the first.
    if (key->key() == Qt::Key_Down && m_resultList->selectedItems().isEmpty())
        m_resultList->selectionModel()->clearCurrentIndex();
    return false;
}

void SearchWindow::CompareSelectedResult() {
    const QList<QListWidgetItem *> selected = m_resultList->selectedItems();
    if (selected.isEmpty())
        return;
    const std::filesystem::path path =
        PathFromBytes(selected.front()->data(kResultPathRole).toByteArray().toStdString());
    // Once the key's own handling is over, as a Ctrl+click waits for the end of the click.
    QTimer::singleShot(0, this, [this, path] { emit compareRequested(path); });
}

// Below the main window's top edge, at its left edge, as the main window stood when this window was
// first shown; placed again once the window manager has framed this window.
void SearchWindow::PlaceBelowMainWindow() {
    m_mainTopLeft = OuterTopLeft(m_mainWindow);
    PlaceOuterTopLeft(this, m_mainTopLeft + QPoint(0, kBelowMainWindow));
}

std::string SearchWindow::FolderBytes() const {
    return TypedPathBytes(m_folderField->text(), m_shownFolderBytes);
}

void SearchWindow::SetFolderField(const std::string &bytes) {
    m_shownFolderBytes = bytes;
    m_folderField->setText(ToQString(bytes));
}

void SearchWindow::SetFolderAtStartUp(const std::string &bytes) {
    m_startupFolder = bytes;
    SetFolderField(bytes);
}

std::filesystem::path SearchWindow::FolderPath() const {
    return PathFromBytes(FolderBytes());
}

void SearchWindow::BrowseSearchFolder() {
    const std::filesystem::path start =
        m_startupFolder.empty() ? m_programFolder : PathFromBytes(m_startupFolder);
    const QString picked =
        m_dialogs.PickFolder(this, QStringLiteral("Select Search Folder..."), PathForDialog(start));
    if (picked.isEmpty())
        return;
    SetFolderField(PathBytes(PathFromQString(picked)));
    emit settingsChanged();
}

void SearchWindow::SelectSearchModule() {
    m_modelList->clear();
    m_modelList->addItem(Text(kSelectTypeEntry));
    m_modelList->setCurrentIndex(0);
    if (const SearchModule *module = FindSearchModule(m_moduleList->currentText().toStdString())) {
        for (const std::string_view model : module->models)
            m_modelList->addItem(Text(model));
        m_target.enableId = std::string(module->enableId);
        m_target.typeId = std::string(module->typeId);
    }
}

void SearchWindow::StartOrStopSearch() {
    if (searching())
        StopSearch();
    else
        StartSearch();
}

void SearchWindow::StartSearch() {
    const std::optional<SearchRefusal> refusal =
        CheckSearchStart(FolderPath(), m_moduleList->currentIndex() != 0, m_modelList->currentIndex() != 0);
    if (refusal) {
        // The message belongs to this window, which stays in front for the correction.
        m_dialogs.ShowMessage(this, Text(refusal->error.message()));
        switch (refusal->focus) {
        case SearchFocus::FolderField:
            m_folderField->setFocus();
            break;
        case SearchFocus::ModuleList:
            m_moduleList->setFocus();
            break;
        case SearchFocus::ModelList:
            m_modelList->setFocus();
            break;
        }
        return;
    }
    m_target.model = m_modelList->currentText().toStdString();
    m_stop = false;
    {
        std::lock_guard lock(m_progressLock);
        m_latestStatus = std::string(kSearchingStatus);
        m_latestProgress = {};
    }
    m_statusLine->SetFullText(Text(kSearchingStatus));
    ShowCount(0, 0, true);
    m_startButton->setText(QStringLiteral("Stop"));
    m_progressTimer->start();

    const std::filesystem::path root = FolderPath();
    const SearchTarget target = m_target;
    m_worker = std::thread([this, root, target] {
        SearchObserver observer;
        observer.onStatus = [this](std::string_view status) {
            std::lock_guard lock(m_progressLock);
            m_latestStatus = std::string(status);
        };
        observer.onResultsReplaced = [this] {
            QMetaObject::invokeMethod(
                this, [this] { m_resultList->clear(); }, Qt::QueuedConnection);
        };
        observer.onProgress = [this](const SearchProgress &progress) {
            std::lock_guard lock(m_progressLock);
            m_latestProgress = progress;
        };
        observer.onResult = [this](const std::filesystem::path &path) {
            QMetaObject::invokeMethod(
                this,
                [this, path] {
                    auto *item = new QListWidgetItem(PathToQString(path), m_resultList);
                    item->setData(kResultPathRole, QByteArray::fromStdString(PathBytes(path)));
                },
                Qt::QueuedConnection);
        };
        SearchOptions options;
        options.stop = &m_stop;
        options.keepResults = false; // the result list holds them
        SearchOutcome outcome = RunPatchSearch(root, target, options, &observer);
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)]() mutable { Finish(std::move(outcome)); },
            Qt::QueuedConnection);
    });
}

void SearchWindow::StopSearch() {
    m_stop = true;
}

void SearchWindow::ShowProgress() {
    std::lock_guard lock(m_progressLock);
    m_statusLine->SetFullText(Text(m_latestStatus));
    ShowCount(m_latestProgress.analyzed, m_latestProgress.patchFiles, true);
}

// Patch files analyzed out of those found so far; busy while none was found and the search runs.
void SearchWindow::ShowCount(std::size_t analyzed, std::size_t patchFiles, bool running) {
    m_progressBar->setTextVisible(true);
    if (patchFiles == 0) {
        m_progressBar->setRange(0, running ? 0 : 1);
        m_progressBar->setValue(0);
        m_progressBar->setFormat(QStringLiteral("0 / 0"));
        return;
    }
    constexpr std::size_t kMost = std::numeric_limits<int>::max();
    m_progressBar->setRange(0, static_cast<int>(std::min(patchFiles, kMost)));
    m_progressBar->setValue(static_cast<int>(std::min(analyzed, kMost)));
    m_progressBar->setFormat(QStringLiteral("%v / %m"));
}

void SearchWindow::Finish(SearchOutcome outcome) {
    if (m_worker.joinable())
        m_worker.join();
    m_progressTimer->stop();
    m_statusLine->SetFullText(Text(outcome.status));
    ShowCount(outcome.analyzed, outcome.patchFiles, false);
    m_startButton->setText(QStringLiteral("Start Search..."));
    m_lastStopped = outcome.stopped;
    emit searchFinished();
}

void SearchWindow::OpenSearchResult() {
    // With nothing selected (a release over the blank part of the list) nothing loads.
    const QList<QListWidgetItem *> selected = m_resultList->selectedItems();
    if (selected.isEmpty())
        return;
    const std::string path = selected.front()->data(kResultPathRole).toByteArray().toStdString();
    emit patchChosen(PathFromBytes(path));
}

} // namespace patchlens
