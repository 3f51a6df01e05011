#include "viewer/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "collection/collection_window.h"
#include "compare/compare_window.h"
#include "files/whole_file.h"
#include "image/patch_picture.h"
#include "library/library_group.h"
#include "print/sheet_printer.h"
#include "search/search_window.h"
#include "sheet/sheet_output.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/event_hooks.h"
#include "toolkit/fonts.h"
#include "toolkit/help_key_filter.h"
#include "toolkit/line_lists.h"
#include "toolkit/text_conversion.h"
#include "toolkit/window_frame.h"
#include "viewer/module_panel_views.h"

// The window icon is compiled into the window library; a static library registers it itself.
static void InitIconResource() {
    Q_INIT_RESOURCE(icons);
}

namespace patchlens {

namespace {

constexpr QSize kOuterSize(800, 580);
const QString kCompareHint = QStringLiteral("Ctrl+click or Ctrl+Return: compare with the patch on screen");

// The local files a drag offers, in its order; anything else it offers is left aside.
QList<QUrl> LocalFiles(const QMimeData *data) {
    QList<QUrl> files;
    if (data == nullptr || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files << url;
    return files;
}

// The scale of a shared picture: sharp still when a forum or a chat shrinks it.
constexpr qreal kSharedImageScale = 2;

} // namespace

MainWindow::MainWindow(Dialogs &dialogs, ProgramPaths paths, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_paths(std::move(paths)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    InitIconResource();
    // The built-in icon, not the icon theme's: looking a name up in the themes reads every theme
    // folder and costs a sixth of the start (and finds nothing Qt can draw without its SVG module).
    // Read as the PNG it is: an image reader left to tell the format loads every image plug-in
    // to ask it.
    QImageReader iconReader(QStringLiteral(":/icons/patchlens.png"), "png");
    iconReader.setAutoDetectImageFormat(false);
    setWindowIcon(QIcon(QPixmap::fromImage(iconReader.read())));
    // The fixed-size frame: on Windows without the resizing border of other windows.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    KeepOuterSize(this, kOuterSize, [this]() -> std::optional<QPoint> {
        if (!m_placed)
            return std::nullopt;
        return CentredTopLeft();
    });
    setAcceptDrops(true);
    // The temporary files of writes that a crash or a kill interrupted.
    for (const std::string_view name : {kSettingsFileName, kLibraryFileName})
        RemoveStaleTemporaryFiles(m_paths.dataFolder, name, std::chrono::minutes(1));
    CreateControls();
    MarkFocus(this);
    m_helpKeys = new HelpKeyFilter([this] { OpenHelp(); }, this);
    qApp->installEventFilter(m_helpKeys);
    ReadSettings();
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(m_helpKeys);
}

SearchWindow &MainWindow::searchWindow() {
    if (m_search == nullptr) {
        m_search = new SearchWindow(this, m_dialogs, m_paths.programFolder);
        connect(m_search, &SearchWindow::patchChosen, this, &MainWindow::LoadPatchFile);
        connect(m_search, &SearchWindow::settingsChanged, this, &MainWindow::WriteSettings);
        connect(m_search, &SearchWindow::compareRequested, this, &MainWindow::ComparePatchFile);
        m_search->SetFolderAtStartUp(m_settings.searchFolder);
    }
    return *m_search;
}

CollectionWindow &MainWindow::collectionWindow() {
    if (m_collection == nullptr) {
        m_collection = new CollectionWindow(this, m_dialogs, CollectionSettingsFile());
        connect(m_collection, &CollectionWindow::patchChosen, this, &MainWindow::LoadPatchFile);
        connect(m_collection, &CollectionWindow::compareRequested, this, &MainWindow::ComparePatchFile);
        connect(m_collection, &CollectionWindow::compareFilesRequested, this, &MainWindow::ComparePatchFiles);
    }
    return *m_collection;
}

void MainWindow::CreateControls() {
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    const UiFonts &fonts = Fonts();

    m_loadPatchButton =
        MakeButton(QStringLiteral("Load Patch"), "loadPatchButton", {595, 10, 80, 20}, client);
    OnMouseUp(m_loadPatchButton, HookOrder::AfterControl, [this] { LoadPatch(); });
    OnActivationKeyUp(m_loadPatchButton, HookOrder::AfterControl, [this] { LoadPatch(); });

    m_loadFolderButton =
        MakeButton(QStringLiteral("Load Patch Folder"), "loadPatchFolderButton", {685, 10, 100, 20}, client);
    connect(m_loadFolderButton, &QPushButton::clicked, this, &MainWindow::LoadPatchFolder);

    m_searchButton =
        MakeButton(QStringLiteral("Search Patch"), "searchPatchButton", {10, 10, 168, 20}, client);
    connect(m_searchButton, &QPushButton::clicked, this, [this] { searchWindow().ShowSearchWindow(); });

    m_printButton = MakeButton(QStringLiteral("Print Patch"), "printPatchButton", {485, 10, 60, 20}, client);
    connect(m_printButton, &QPushButton::clicked, this, &MainWindow::PrintPatch);

    // In the third row of panels, in the place no module takes, above the library's rows.
    m_collectionButton =
        MakeButton(QStringLiteral("Collection..."), "collectionButton", {285, 345, 93, 20}, client);
    m_collectionButton->setToolTip(QStringLiteral("Every patch of a folder tree in one table (Ctrl+L)"));
    connect(m_collectionButton, &QPushButton::clicked, this,
            [this] { collectionWindow().ShowCollectionWindow(); });
    auto *openCollection = new QAction(QStringLiteral("Collection..."), this);
    openCollection->setObjectName(QStringLiteral("collectionAction"));
    openCollection->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    openCollection->setShortcutContext(Qt::WindowShortcut);
    connect(openCollection, &QAction::triggered, this, [this] { collectionWindow().ShowCollectionWindow(); });
    addAction(openCollection);

    m_numberField = new QLineEdit(QStringLiteral("01"), client);
    m_numberField->setObjectName(QStringLiteral("patchNumberField"));
    m_numberField->setFont(fonts.control);
    m_numberField->setMaxLength(2);
    m_numberField->setValidator(MakeWindows1252Validator(m_numberField));
    m_numberField->setTextMargins(0, 0, 0, 0);
    m_numberField->setToolTip(QStringLiteral("Enter Number used in RP350 -> Only for your reference"));
    m_numberField->setGeometry(550, 10, 23, 20);

    auto *patchGroup = new QGroupBox(QStringLiteral("[ Patches ]"), client);
    patchGroup->setObjectName(QStringLiteral("patchGroup"));
    patchGroup->setFont(fonts.standard);
    patchGroup->setGeometry(595, 35, 190, 490);

    m_patchList = new QListWidget(client);
    m_patchList->setObjectName(QStringLiteral("patchList"));
    m_patchList->setFont(fonts.standard);
    StyleLineList(m_patchList, QFontMetrics(fonts.standard).height(), Qt::ElideMiddle);
    m_patchList->setGeometry(602, 55, 175, 462);
    OnMouseUp(m_patchList, HookOrder::BeforeControl, [this] { LoadSelectedPatch(); });
    OnKeyUp(m_patchList, [this] { LoadSelectedPatch(); });
    OnControlClick(m_patchList, [this](int row) { ComparePatchFile(ListedPath(row)); });
    OnControlReturn(m_patchList, [this](int row) { ComparePatchFile(ListedPath(row)); });
    m_patchList->setToolTip(kCompareHint);

    m_panels = std::make_unique<ModulePanelViews>(client);
    m_nameField = m_panels->nameField();
    m_nameField->SetFullText(ToQString(m_patch.name));
    m_nameField->setObjectName(QStringLiteral("patchNameField"));
    auto *saveImage = new QAction(QStringLiteral("Save Image..."), this);
    saveImage->setObjectName(QStringLiteral("saveImageAction"));
    saveImage->setShortcut(QKeySequence::Save);
    saveImage->setShortcutContext(Qt::WindowShortcut);
    connect(saveImage, &QAction::triggered, this, &MainWindow::SaveImage);
    addAction(saveImage);
    auto *copyImage = new QAction(QStringLiteral("Copy Image"), this);
    copyImage->setObjectName(QStringLiteral("copyImageAction"));
    copyImage->setShortcut(QKeySequence::Copy);
    copyImage->setShortcutContext(Qt::WidgetShortcut); // only while a panel has the focus
    connect(copyImage, &QAction::triggered, this, &MainWindow::CopyImage);
    for (const ModuleInfo &info : Modules()) {
        for (QWidget *widget : {static_cast<QWidget *>(m_panels->list(info.module)),
                                static_cast<QWidget *>(m_panels->lamp(info.module))}) {
            widget->addAction(copyImage);
            widget->addAction(saveImage);
            widget->setContextMenuPolicy(Qt::ActionsContextMenu);
        }
    }
    m_library = new LibraryGroup(m_dialogs, m_patch, m_paths.dataFolder / kLibraryFileName, client);
    m_library->setGeometry(10, 450, 575, 75);
    m_library->rowPanel()->setGeometry(285, 397, 93, 120);

    statusBar()->setSizeGripEnabled(false);
    m_patchLabel = new ElidedLabel(Qt::ElideMiddle, statusBar());
    m_patchLabel->setObjectName(QStringLiteral("patchLabel"));
    statusBar()->addWidget(m_patchLabel, 1);
}

void MainWindow::ShowPatch() {
    m_nameField->SetFullText(ToQString(m_patch.name));
    m_panels->Show(m_patch.panels);
}

bool MainWindow::LoadPatchFile(const std::filesystem::path &path) {
    const Status load = LoadIntoViewer(m_patch, path);
    if (load.ok()) {
        m_shown = ShownPatch{m_patch.path, m_patch.text.bytes(), {}};
        m_patchLabel->SetFullText(QStringLiteral("Patch: ") + PathToQString(m_patch.path));
        ShowPatch();
    }
    HighlightShownEntry(!load.ok());
    if (!load.ok())
        m_dialogs.ShowMessage(this, MessageText(load.message()));
    return load.ok();
}

namespace {

bool SameFile(const std::filesystem::path &x, const std::filesystem::path &y) {
    std::error_code ec;
    return x.lexically_normal() == y.lexically_normal() || std::filesystem::equivalent(x, y, ec);
}

} // namespace

void MainWindow::ComparePatchFile(const std::filesystem::path &other) {
    if (!m_shown) {
        m_dialogs.ShowMessage(this, QStringLiteral("First Load a Patch!"));
        return;
    }
    std::erase_if(m_comparisons, [](const OpenComparison &open) { return open.window.isNull(); });
    for (const OpenComparison &open : m_comparisons)
        if (SameFile(open.a, m_shown->path) && SameFile(open.b, other)) {
            open.window->setWindowState(open.window->windowState() & ~Qt::WindowMinimized);
            open.window->raise();
            open.window->activateWindow();
            return;
        }
    FreshPatch a = DecodeFresh(m_shown->path, m_shown->bytes);
    if (!m_shown->readError.empty())
        a.outcome = Error::Unreadable(m_shown->readError);
    ShowComparison(a, DecodeFresh(ShownPath(other))); // named as the status bar names files
}

void MainWindow::ComparePatchFiles(const std::filesystem::path &a, const std::filesystem::path &b) {
    std::erase_if(m_comparisons, [](const OpenComparison &open) { return open.window.isNull(); });
    for (const OpenComparison &open : m_comparisons)
        if (SameFile(open.a, a) && SameFile(open.b, b)) {
            open.window->setWindowState(open.window->windowState() & ~Qt::WindowMinimized);
            open.window->raise();
            open.window->activateWindow();
            return;
        }
    ShowComparison(DecodeFresh(ShownPath(a)), DecodeFresh(ShownPath(b)));
}

void MainWindow::ShowComparison(const FreshPatch &a, const FreshPatch &b) {
    for (const FreshPatch *side : {static_cast<const FreshPatch *>(&a), &b}) {
        if (side->usable())
            continue;
        const Error &error = side->outcome.error();
        m_dialogs.ShowMessage(
            this, PathToQString(side->patch.path) + QStringLiteral("\ncannot be compared: ") +
                      (error.kind() == ErrorKind::Refused ? MessageText(error.message())
                                                          : ToQString(error.message()) + QLatin1Char('.')));
        return;
    }
    auto *window = new CompareWindow(ComparePatches(a.patch, b.patch),
                                     {PathToQString(a.patch.path), ToQString(a.patch.name)},
                                     {PathToQString(b.patch.path), ToQString(b.patch.name)}, this);
    connect(window, &CompareWindow::saveImageRequested, this,
            [this, window, a = a.patch.path, b = b.patch.path] {
                std::filesystem::path suggested = a.parent_path() / a.stem();
                suggested += " vs ";
                suggested += b.stem();
                suggested += ".png";
                SavePicture(window->Picture(kSharedImageScale), suggested, {a, b});
            });
    const QRect list(m_patchList->mapToGlobal(QPoint(0, 0)), m_patchList->size());
    std::vector<QPoint> taken;
    for (const OpenComparison &open : m_comparisons)
        taken.push_back(OuterTopLeft(open.window));
    const QRect area =
        screen() != nullptr ? screen()->availableGeometry() : QRect(QPoint(0, 0), window->size());
    // Two columns at least: narrower, the window had better cover the list.
    PlaceOuterRect(window, [window, area, list, taken](QMargins frame) {
        std::vector<QSize> sizes;
        for (int columns = CompareWindow::kMostColumns; columns >= 2; --columns)
            sizes.push_back(window->WholeSize(columns).grownBy(frame));
        return ChooseOuterRect(area, sizes, list, taken);
    });
    m_comparisons.push_back({a.patch.path, b.patch.path, window});
    window->show();
    window->raise();
    window->activateWindow();
}

std::vector<CompareWindow *> MainWindow::compareWindows() const {
    std::vector<CompareWindow *> open;
    for (const OpenComparison &comparison : m_comparisons)
        if (!comparison.window.isNull())
            open.push_back(comparison.window);
    return open;
}

void MainWindow::PrintPatch() {
    if (!m_patch.loaded) {
        m_dialogs.ShowMessage(this, QStringLiteral("No Patch Loaded!"));
        return;
    }
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageOrientation(QPageLayout::Landscape);
    }
    if (!m_dialogs.ChoosePrinter(this, *m_printer))
        return;
    const std::string number = TypedBytes(m_numberField->text());
    const std::string path = PathBytes(m_patch.path);
    const PatchSheet sheet = BuildPatchSheet({m_patch.panels, m_patch.name, number, path});
    if (!PrintSheet(*m_printer, sheet))
        m_dialogs.ShowMessage(this, QStringLiteral("Nothing was printed: the printer could not be opened."));
}

QImage MainWindow::PatchImage(qreal scale) const {
    if (!m_picture)
        m_picture = std::make_unique<PatchPicture>();
    m_picture->Show(PathToQString(m_patch.path.filename()), ToQString(m_patch.name), m_patch.panels);
    return m_picture->Render(scale);
}

void MainWindow::SaveImage() {
    if (!m_patch.loaded) {
        m_dialogs.ShowMessage(this, QStringLiteral("No Patch Loaded!"));
        return;
    }
    std::filesystem::path suggested = m_patch.path;
    suggested.replace_extension(".png");
    SavePicture(PatchImage(kSharedImageScale), suggested, {m_patch.path});
}

void MainWindow::SavePicture(const QImage &picture, const std::filesystem::path &suggested,
                             const std::vector<std::filesystem::path> &inputs) {
    const QString chosen = m_dialogs.ChooseImageFile(this, PathForDialog(suggested));
    if (chosen.isEmpty())
        return;
    // A picture never takes the place of a patch file.
    const Status refusal = OutputRefusal(PathFromQString(chosen), inputs, "a picture");
    const QString error = !refusal.ok() ? ToQString(refusal.message()) : SavePng(picture, chosen);
    if (!error.isEmpty())
        m_dialogs.ShowMessage(this, chosen + QStringLiteral("\nis not written: ") + error + QLatin1Char('.'));
}

void MainWindow::CopyImage() {
    if (!m_patch.loaded) {
        m_dialogs.ShowMessage(this, QStringLiteral("No Patch Loaded!"));
        return;
    }
    QGuiApplication::clipboard()->setImage(PatchImage(kSharedImageScale));
}

void MainWindow::OpenHelp() {
    const std::filesystem::path helpFile = m_paths.programFolder / kHelpFileName;
    std::error_code ec;
    // Without a help file, or a program to show it, the built-in manual.
    if (std::filesystem::is_regular_file(helpFile, ec) && m_dialogs.OpenDocument(PathForDialog(helpFile)))
        return;
    m_dialogs.ShowBuiltInHelp(this);
}

// The window is centred on its screen when it is shown the first time, and again once the window
// manager has framed it.
void MainWindow::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    PlaceOuterTopLeft(this, CentredTopLeft());
}

void MainWindow::closeEvent(QCloseEvent *event) {
    for (CompareWindow *window : compareWindows())
        window->close();
    QMainWindow::closeEvent(event);
}

QPoint MainWindow::CentredTopLeft() const {
    const QScreen *screen = this->screen();
    if (screen == nullptr)
        return OuterTopLeft(this);
    const QRect available = screen->availableGeometry();
    const QSize outer = kOuterSize.boundedTo(available.size());
    return {available.x() + (available.width() - outer.width()) / 2,
            available.y() + (available.height() - outer.height()) / 2};
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event) {
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

// One file or folder is opened: the first local one the drop offers; when it offers more, a
// message says which one was taken.
void MainWindow::dropEvent(QDropEvent *event) {
    const QList<QUrl> files = LocalFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    const std::filesystem::path path = PathFromQString(files.front().toLocalFile());
    const qsizetype offered = event->mimeData()->urls().size();
    if (offered > 1)
        m_dialogs.ShowMessage(this,
                              MessageText(OneOfManyDroppedMessage(path, static_cast<std::size_t>(offered))));
    std::error_code ec;
    if ((event->modifiers() & Qt::ControlModifier) && !std::filesystem::is_directory(path, ec)) {
        // A file dropped with Ctrl held is compared, not loaded.
        if (const Status refusal = OpenRefusal(path); !refusal.ok())
            m_dialogs.ShowMessage(this, MessageText(refusal.message()));
        else
            ComparePatchFile(path);
    } else {
        OpenPath(path);
    }
}

} // namespace patchlens
