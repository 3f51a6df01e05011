// The main window driven by real mouse and key events on the offscreen platform, with the dialogs
// replaced by a recorder.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>

#include "../core/file_system_support.h"
#include "../core/unprivileged.h"
#include "library/library_file.h"
#include "ui_test_support.h"
#include "viewer/module_panel_views.h"

namespace patchlens {
namespace {

using namespace test;

// A patch file with the given schema version and name and the Pickup switched off.
std::string SmallPatch(const std::string &version, const std::string &name) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RP350Preset SchemaVersion=\"" + version +
           "\">\r\n  <Name>" + name +
           "</Name>\r\n<ID>65</ID>\r\n1\r\n2\r\nPickup Enable\r\n<Text>Off</Text>\r\n";
}

// Counts the F1 presses that reach a widget.
struct KeySpy : QObject {
    int f1Presses = 0;
    bool eventFilter(QObject *, QEvent *event) override {
        f1Presses +=
            event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1;
        return false;
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> m_fixture;
    RecordingDialogs *m_dialogs = nullptr;

    std::filesystem::path DataFolder() const { return m_fixture->DataFolder(); }
    std::filesystem::path ProgramFolder() const { return m_fixture->ProgramFolder(); }
    MainWindow &Window() { return m_fixture->Window(); }
    template <typename T> T *Find(const char *name) { return m_fixture->Find<T>(name); }
    QListWidget *PatchList() { return Find<QListWidget>("patchList"); }
    QPushButton *LoadButton() { return Find<QPushButton>("loadPatchButton"); }
    std::string NameShown() { return Find<QLabel>("patchNameField")->text().toStdString(); }

private slots:
    void init() {
        m_fixture = std::make_unique<WindowFixture>();
        m_dialogs = &m_fixture->dialogs;
    }
    void cleanup() { m_fixture.reset(); }

    void startsEmptyAndLaidOutAsTheFrontPanel() {
        MainWindow &window = Window();
        QCOMPARE(window.windowTitle(), QStringLiteral("Patchlens [ Version: 1.21 ]"));
        QCOMPARE(window.frameGeometry().size(), QSize(800, 580));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(NameShown(), std::string("------"));
        auto *number = Find<QLineEdit>("patchNumberField");
        QCOMPARE(number->text(), QStringLiteral("01"));
        QCOMPARE(number->maxLength(), 2);
        QCOMPARE(number->toolTip(), QStringLiteral("Enter Number used in RP350 -> Only for your reference"));
        QCOMPARE(PatchList()->geometry(), QRect(602, 55, 175, 462));
        QCOMPARE(Find<QLabel>("lamp.Chorus/Fx")->text(), QStringLiteral("Chorus/Fx"));
        for (const ModuleInfo &info : Modules()) {
            const QPalette lamp = window.panelViews().lamp(info.module)->palette();
            QCOMPARE(lamp.color(QPalette::WindowText), kLampOffColour);
            QCOMPARE(lamp.color(QPalette::Window), QColor(Qt::black));
            QCOMPARE(window.panelViews().list(info.module)->count(), 0);
            QVERIFY(window.panelViews().list(info.module)->isEnabled());
        }
    }

    void panelsMirrorTheCoreStateAndShowSixLinesWithoutScrolling() {
        MainWindow &window = Window();
        window.LoadPatchFile(kSamples / "Clean Lead.rp350p");
        QCOMPARE(NameShown(), std::string("Clean Lead"));
        for (const ModuleInfo &info : Modules()) {
            const ModulePanel &panel = window.patch().panels[IndexOf(info.module)];
            QListWidget *list = window.panelViews().list(info.module);
            QStringList lines;
            for (const std::string &line : panel.list.lines)
                lines << ToQString(line);
            QCOMPARE(Texts(list), lines);
            QCOMPARE(list->currentRow(), panel.list.selected);
            QCOMPARE(list->isEnabled(), panel.list.enabled);
            QCOMPARE(window.panelViews().lamp(info.module)->palette().color(QPalette::WindowText),
                     panel.lampOn ? kLampOnColour : kLampOffColour);
        }
        // The amplifier shows its six lines in its 100 pixels.
        QListWidget *amp = window.panelViews().list(Module::AmplifierA);
        QCOMPARE(amp->count(), 6);
        QVERIFY(!amp->verticalScrollBar()->isVisible());
        QVERIFY(amp->visualItemRect(amp->item(5)).bottom() < amp->viewport()->height());
        QVERIFY(!window.panelViews().list(Module::Distortion)->isEnabled()); // Distortion is off
    }

    // The selection of a module that is off is grey, also where the system's palette gives a
    // disabled list the highlight of an enabled one (Windows).
    void anOffModulesSelectionIsGreyWhateverTheSystemPalette() {
        const QPalette system = QApplication::palette();
        QPalette windows = system;
        windows.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0, 120, 215));
        windows.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 120, 215));
        QApplication::setPalette(windows);
        Window().LoadPatchFile(kSamples / "Clean Lead.rp350p"); // Distortion off, a model selected
        QListWidget *list = Window().panelViews().list(Module::Distortion);
        const QImage shown = list->grab().toImage();
        QApplication::setPalette(system);
        const QColor colour = shown.pixelColor((list->viewport()->geometry().topLeft() + QPoint(1, 1)) *
                                               shown.devicePixelRatio());
        QVERIFY2(colour.red() == colour.green() && colour.green() == colour.blue(),
                 qPrintable(colour.name()));
    }

    // Every line of every sample, and a line longer than any the device shows, either shows whole
    // or ends in an ellipsis, measured with the font the list really uses; a line of up to eleven
    // characters always shows whole; the names and the path in the status bar are elided the same
    // way. (desktop_test.py looks at the pixels at the right border.)
    void noPanelLineNameOrPathShowsACutGlyph() {
        MainWindow &window = Window();
        auto checkPanels = [&](const QByteArray &what) {
            for (const ModuleInfo &info : Modules()) {
                QListWidget *list = window.panelViews().list(info.module);
                const QFontMetrics metrics(list->font());
                const int room = list->viewport()->width() - kRowTextLeft - kRowTextRight;
                const QStringList texts = Texts(list);
                for (int row = 0; row < list->count(); ++row) {
                    const QString full = texts.at(row), shown = ShownRowText(list, row);
                    const QByteArray where = what + ": " + full.toUtf8();
                    QVERIFY2(metrics.horizontalAdvance(shown) <= room, where);
                    QVERIFY2(full.size() <= 11
                                 ? shown == full
                                 : shown.endsWith(QChar(0x2026)) && full.startsWith(shown.chopped(1)),
                             where);
                }
            }
        };
        for (const auto &entry : std::filesystem::directory_iterator(kSamples)) {
            window.LoadPatchFile(entry.path());
            checkPanels(QByteArray::fromStdString(PathBytes(entry.path().filename())));
        }
        ModulePanels panels;
        panels[IndexOf(Module::Wah)].list = {{"WWWWWW= 1234 ms and more", "MIX___= 100", "X_OVER= 800 Hz"},
                                             0};
        window.panelViews().Show(panels);
        checkPanels("long lines");
        QListWidget *wah = window.panelViews().list(Module::Wah);
        QCOMPARE(ShownRowText(wah, 1), QStringLiteral("MIX___= 100"));
        // Hovering an elided line shows it whole.
        const QPoint at = wah->visualItemRect(wah->item(2)).center();
        QHelpEvent hover(QEvent::ToolTip, at, wah->viewport()->mapToGlobal(at));
        QApplication::sendEvent(wah->viewport(), &hover);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("X_OVER= 800 Hz"));

        window.LoadPatchFile(kSamples / "Screamer Blues.rp350p");
        auto *name = Find<ElidedLabel>("patchNameField");
        QVERIFY(QFontMetrics(name->font()).height() <= name->height()); // descenders included
        QVERIFY(name->ShownText().endsWith(QChar(0x2026)));
        QVERIFY(QFontMetrics(name->font()).horizontalAdvance(name->ShownText()) <=
                name->contentsRect().width());
        QCOMPARE(name->toolTip(), QStringLiteral("Screamer Blues"));
        QTemporaryDir deep;
        const auto folder =
            PathFromQString(deep.path() + QStringLiteral("/a folder with a long name").repeated(8));
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(kSamples / "Clean Lead.rp350p",
                                   folder / "Clean Lead with a long file name.rp350p");
        window.ListPatchFolder(folder);
        ClickRow(PatchList(), 0);
        ElidedLabel *status = window.patchLabel();
        QVERIFY(status->ShownText().contains(QChar(0x2026)));
        QVERIFY(status->ShownText().endsWith(QStringLiteral("name.rp350p"))); // elided in the middle
        QCOMPARE(status->toolTip(), status->text());
        QVERIFY(ShownRowText(PatchList(), 0).contains(QChar(0x2026)));
    }

    // Load Patch runs on a left or right release, not from the keyboard; Cancel changes nothing;
    // the dialog starts in the folder of the file opened last, which default.ini keeps.
    void loadPatchRunsOnAMouseReleaseAndKeepsTheFolder() {
        MainWindow &window = Window();
        QTest::mouseClick(LoadButton(), Qt::LeftButton); // cancelled
        QTRY_COMPARE(m_dialogs->openRequests.size(), 1);
        QVERIFY(!std::filesystem::exists(DataFolder() / "default.ini"));
        QCOMPARE(NameShown(), std::string("------"));
        QVERIFY(!window.patch().loaded);

        const QString sample = PathForDialog(kSamples / "Octave Fuzz.rp350p");
        m_dialogs->openAnswers = {sample};
        QTest::mouseClick(LoadButton(), Qt::RightButton, {}, QPoint(10, 10));
        QTRY_COMPARE(m_dialogs->openRequests.size(), 2);
        QCOMPARE(NameShown(), std::string("Octave Fuzz"));
        QCOMPARE(window.patchLabel()->text(), QStringLiteral("Patch: ") + sample);
        QCOMPARE(ReadBytes(DataFolder() / "default.ini"), PathBytes(kSamples) + "\r\n\r\n\r\n");

        LoadButton()->setFocus();
        QTest::keyClick(LoadButton(), Qt::Key_Space);
        QTest::keyClick(LoadButton(), Qt::Key_Return);
        QApplication::processEvents();
        QCOMPARE(m_dialogs->openRequests.size(), 2);
        QTest::mouseClick(LoadButton(), Qt::LeftButton);
        QTRY_COMPARE(m_dialogs->openRequests.size(), 3);
        QCOMPARE(m_dialogs->openRequests.at(2), PathForDialog(kSamples));
    }

    void settingsAreReadAtStartAndLine3IsKept() {
        const std::string ini = "/first/folder\r\n" + PathBytes(kSamples) + "\r\n/search \xE9 here\r\n";
        WriteBytes(DataFolder() / "default.ini", ini);
        Window();
        QTest::mouseClick(LoadButton(), Qt::LeftButton);
        QTRY_COMPARE(m_dialogs->openRequests, QStringList{"/first/folder"});
        m_dialogs->folderAnswers = {PathForDialog(kSamples)};
        QTest::mouseClick(Find<QPushButton>("loadPatchFolderButton"), Qt::LeftButton);
        QCOMPARE(m_dialogs->folderRequests.size(), std::size_t{1});
        QCOMPARE(m_dialogs->folderRequests.front().title, QStringLiteral("Select Patch Folder..."));
        QCOMPARE(m_dialogs->folderRequests.front().startFolder, PathForDialog(kSamples));
        QCOMPARE(ReadBytes(DataFolder() / "default.ini"), ini);
    }

    void folderPickerStartsInTheProgramFolderAndCancelKeepsTheList() {
        Window();
        m_dialogs->folderAnswers = {PathForDialog(kSamples)};
        QTest::mouseClick(Find<QPushButton>("loadPatchFolderButton"), Qt::LeftButton);
        QCOMPARE(m_dialogs->folderRequests.front().startFolder, PathForDialog(ProgramFolder()));
        QCOMPARE(PatchList()->count(), 8);
        QTest::mouseClick(Find<QPushButton>("loadPatchFolderButton"),
                          Qt::LeftButton); // cancelled
        QCOMPARE(PatchList()->count(), 8);
        QCOMPARE(Window().settings().patchFolder, PathBytes(kSamples));
        ClickRow(PatchList(), 2);
        QCOMPARE(NameShown(), std::string("Direct Whammy"));
    }

    // The patch list loads on the release of a mouse button or a key pressed on it. Releases whose
    // presses went elsewhere (the double-click that accepted a file dialog, the key that closed a
    // message box) and a click on its blank part with nothing selected load nothing.
    void patchListLoadsOnTheReleasesOfItsOwnPresses() {
        MainWindow &window = Window();
        window.ListPatchFolder(kSamples);
        QListWidget *list = PatchList();
        m_dialogs->openAnswers = {PathForDialog(kSamples / "Clean Lead.rp350p")};
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(50, 10));
        QTest::mouseRelease(LoadButton(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::keyRelease(list, Qt::Key_Return);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(50, 400));
        QApplication::processEvents();
        QVERIFY(!window.patch().loaded);
        QVERIFY(m_dialogs->openRequests.isEmpty());
        QCOMPARE(window.patchLabel()->text(), QString());

        QCOMPARE(list->item(0)->text(), QStringLiteral("Acoustic Strum.rp350p"));
        ClickRow(list, 0);
        QCOMPARE(NameShown(), std::string("Acoustic Strum"));
        list->setFocus();
        QTest::keyPress(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(NameShown(),
                 std::string("Acoustic Strum")); // not before the key is released
        QTest::keyRelease(list, Qt::Key_Down);
        QCOMPARE(NameShown(), std::string("Clean Lead"));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(NameShown(), std::string("Direct Whammy"));
        QCOMPARE(window.patchLabel()->text(),
                 QStringLiteral("Patch: ") + PathToQString(kSamples / "Direct Whammy.rp350p"));
    }

    void aMessageClosedByAKeyStaysClosed_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }

    void aMessageClosedByAKeyStaysClosed() {
        QFETCH(int, key);
        QTemporaryDir folder;
        const auto root = PathFromQString(folder.path());
        WriteBytes(root / "a.rp350p", SmallPatch("1.2", "Fine"));
        WriteBytes(root / "b.rp350p", SmallPatch("1.3", "Newer"));
        // Real message boxes, closed by a key press as a user closes them; the release of that key
        // goes to whatever has the focus once the box is gone.
        struct KeyClosedMessages : RecordingDialogs {
            int key = Qt::Key_Return;
            void ShowMessage(QWidget *owner, const QString &text) override {
                messages << text;
                QTimer::singleShot(
                    0, [this] { QTest::keyPress(QApplication::activeModalWidget(), Qt::Key(key)); });
                QtDialogs().ShowMessage(owner, text);
            }
        } dialogs;
        dialogs.key = key;
        MainWindow window(dialogs, ProgramPaths{root, root, {}});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.ListPatchFolder(root);
        auto *list = FindChild<QListWidget>(&window, "patchList");
        ClickRow(list, 0);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down); // onto the refused file
        QCOMPARE(dialogs.messages.size(), 1);
        QTest::keyRelease(list, Qt::Key(key));
        QApplication::processEvents();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(FindChild<QLabel>(&window, "patchNameField")->text(), QStringLiteral("Fine"));
    }

    // Patch files of any case, hidden ones included, sorted without regard to case; a name that is
    // not UTF-8 is listed by the display rule and loaded by its bytes; the folder goes to
    // default.ini.
    void theListHoldsPatchFilesOfAnyCaseAndName() {
        QTemporaryDir folder;
        const auto root = PathFromQString(folder.path());
        for (const char *name :
             {"b.RP350P", ".hidden.rp350p", "A.rp350p", "c.rp350p.bak", "notes.txt", "a2.Rp350p"})
            WriteBytes(root / name, SmallPatch("1.2", name));
        std::filesystem::create_directory(root / "folder.rp350p");
        const std::filesystem::path cafe = PathFromBytes("Caf\xE9 Lead.rp350p"); // Windows-1252 bytes
        WriteBytes(root / cafe, SmallPatch("1.2", "Cafe"));
        Window().ListPatchFolder(root);
        QCOMPARE(Texts(PatchList()), (QStringList{".hidden.rp350p", "A.rp350p", "a2.Rp350p", "b.RP350P",
                                                  QString::fromUtf8("Caf\xC3\xA9 Lead.rp350p")}));
        QCOMPARE(ReadBytes(DataFolder() / "default.ini"), "\r\n" + PathBytes(root) + "\r\n\r\n");
        ClickRow(PatchList(), 4);
        QCOMPARE(NameShown(), std::string("Cafe"));
        QCOMPARE(PathBytes(Window().patch().path), PathBytes(root / cafe));
        std::filesystem::remove(root / cafe); // a name the temporary folder cannot spell
    }

    // A program folder the user may not write: the files go to the user's folder, where the
    // installation's library and settings are copied first, so that nothing seems lost.
    void programFilesGoToTheUserFolderWhenTheProgramFolderTakesNoFiles() {
        if (!kPermissionsLockAccess)
            QSKIP(kNoAccessPermissions);
        QTemporaryDir folder;
        const auto root = PathFromQString(folder.path());
        const ProgramPaths writable = ChooseProgramPaths(root, root / "user");
        QCOMPARE(PathBytes(writable.dataFolder), PathBytes(root));
        QVERIFY(!std::filesystem::exists(root / "user"));

        const auto program = root / "program";
        std::filesystem::create_directories(program);
        WriteBytes(program / "LibraryRP350.dat", "Delay,Slap,DM2,,,,,,\r\n");
        WriteBytes(program / "default.ini", "/a\r\n/b\r\n/c\r\n");
        std::filesystem::create_directories(root / "user");
        using std::filesystem::perms;
        const perms readOnly = perms::owner_read | perms::owner_exec | perms::group_read | perms::group_exec |
                               perms::others_read | perms::others_exec;
        std::filesystem::permissions(root, readOnly | perms::owner_write);
        std::filesystem::permissions(root / "user", perms::all);
        std::filesystem::permissions(program, readOnly);
        const auto data = root / "user" / "Patchlens";
        QVERIFY(AsUnprivileged([&] {
            const ProgramPaths paths = ChooseProgramPaths(program, data);
            return PathBytes(paths.programFolder) == PathBytes(program) &&
                   PathBytes(paths.dataFolder) == PathBytes(data) && paths.copyProblems.empty() &&
                   ReadLibraryFile(data / "LibraryRP350.dat").text == "Delay,Slap,DM2,,,,,,\r\n";
        }));
        std::filesystem::permissions(program, perms::owner_all);
        QCOMPARE(ReadBytes(data / "default.ini"), std::string("/a\r\n/b\r\n/c\r\n"));
        QCOMPARE(ReadBytes(program / "LibraryRP350.dat"), std::string("Delay,Slap,DM2,,,,,,\r\n"));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(program), {}), 2);
    }

    void defaultIniIsWrittenOnlyWhenAFolderChangesAndStaleWritesAreCleared() {
        const auto stale = DataFolder() / ".default.ini.tmp-12345";
        WriteBytes(stale, "half a write");
        std::filesystem::last_write_time(stale, std::filesystem::file_time_type::clock::now() -
                                                    std::chrono::hours(1));
        MainWindow &window = Window();
        QVERIFY(!std::filesystem::exists(stale));
        window.ListPatchFolder(kSamples);
        WriteBytes(DataFolder() / "default.ini", "changed by hand\r\n");
        window.ListPatchFolder(kSamples); // the same folder: nothing to write
        QCOMPARE(ReadBytes(DataFolder() / "default.ini"), std::string("changed by hand\r\n"));
        window.ListPatchFolder(kSamples.parent_path());
        QCOMPARE(ReadBytes(DataFolder() / "default.ini"),
                 "\r\n" + PathBytes(kSamples.parent_path()) + "\r\n\r\n");
    }

    // A refused file leaves the patch on screen; texts from files show as plain text, never rich.
    void aRefusedFileKeepsThePreviousPatchOnScreen() {
        MainWindow &window = Window();
        window.LoadPatchFile(kSamples / "Metal Rhythm.rp350p");
        const QStringList distortion = Texts(window.panelViews().list(Module::Distortion));
        QVERIFY(!distortion.isEmpty());
        QTemporaryDir folder;
        const auto newer = PathFromQString(folder.path()) / "newer.rp350p";
        WriteBytes(newer, SmallPatch("1.3", "<b>x</b>"));
        window.LoadPatchFile(newer);
        QCOMPARE(
            m_dialogs->messages,
            QStringList{"Wrong Schema Version!: 1.3\nProgram Supports Version : 1.2\nAsk for New Version."});
        QCOMPARE(NameShown(), std::string("Metal Rhythm"));
        QCOMPARE(Texts(window.panelViews().list(Module::Distortion)), distortion);
        QCOMPARE(window.patchLabel()->text(), QStringLiteral("Patch: ") + PathToQString(newer));

        WriteBytes(newer, SmallPatch("1.2", "<b>x</b>"));
        window.LoadPatchFile(newer);
        QCOMPARE(NameShown(), std::string("<b>x</b>"));
        QCOMPARE(Find<QLabel>("patchNameField")->textFormat(), Qt::PlainText);
        QCOMPARE(window.patchLabel()->textFormat(), Qt::PlainText);
    }

    void aFileTooLargeForAPatchIsNamedInAMessage() {
        QTemporaryDir folder;
        const auto huge = PathFromQString(folder.path()) / "huge.rp350p";
        WriteBytes(huge, "x");
        std::error_code ec;
        ResizeSparse(huge, std::uintmax_t{1} << 40, ec);
        if (ec)
            QSKIP("this file system takes no sparse file of a terabyte");
        Window().LoadPatchFile(huge);
        QCOMPARE(m_dialogs->messages.size(), 1);
        QVERIFY(m_dialogs->messages.front().startsWith(PathToQString(huge)));
        QVERIFY(m_dialogs->messages.front().contains(QStringLiteral("too large: 1099511627776 bytes")));
        QCOMPARE(NameShown(), std::string(""));
    }

    void f1OpensTheHelpUnlessShiftCtrlOrAltIsHeld() {
        auto *field = Find<QLineEdit>("patchNumberField");
        field->setFocus();
        KeySpy spy;
        field->installEventFilter(&spy);
        QTest::keyClick(field, Qt::Key_F1);
        QCOMPARE(m_dialogs->builtInHelpShown, 1);
        QCOMPARE(spy.f1Presses, 0); // F1 never reaches the focused control

        QTest::keyPress(field, Qt::Key_Shift);
        QTest::keyClick(field, Qt::Key_F1, Qt::ShiftModifier);
        QCOMPARE(m_dialogs->builtInHelpShown, 1);
        QTest::keyRelease(field, Qt::Key_Shift);
        QTest::keyClick(field, Qt::Key_F1);
        QCOMPARE(m_dialogs->builtInHelpShown, 2);

        QTest::keyPress(field, Qt::Key_Control);
        QTest::keyPress(field,
                        Qt::Key_Control); // auto-repeat raises the count; one release resets it
        QTest::keyClick(field, Qt::Key_F1, Qt::ControlModifier);
        QTest::keyRelease(field, Qt::Key_Control);
        QTest::keyClick(field, Qt::Key_F1, Qt::AltModifier);
        QCOMPARE(m_dialogs->builtInHelpShown, 2);
        QTest::keyClick(field, Qt::Key_F1);
        QCOMPARE(m_dialogs->builtInHelpShown, 3);
        QCOMPARE(spy.f1Presses, 0);
        QCOMPARE(field->text(), QStringLiteral("01"));
    }

    void f1OpensTheHelpFileWhenTheProgramFolderHasOne() {
        WriteBytes(ProgramFolder() / "RP350Help.chm", "ITSF");
        QTest::keyClick(&Window(), Qt::Key_F1);
        QCOMPARE(m_dialogs->openedDocuments, QStringList{PathForDialog(ProgramFolder() / "RP350Help.chm")});
        QCOMPARE(m_dialogs->builtInHelpShown, 0);
        // A desktop without a program for help files: the built-in manual instead.
        m_dialogs->documentsOpen = false;
        QTest::keyClick(&Window(), Qt::Key_F1);
        QCOMPARE(m_dialogs->openedDocuments.size(), 2);
        QCOMPARE(m_dialogs->builtInHelpShown, 1);
        // The desktop's own answer, on a desktop that knows no program for .chm files.
        QTemporaryDir empty;
        for (const char *variable : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            qputenv(variable, empty.path().toLocal8Bit());
        QVERIFY(!QtDialogs().OpenDocument(PathForDialog(ProgramFolder() / "RP350Help.chm")));
        // The built-in help shows the manual.
        QtDialogs().ShowBuiltInHelp(&Window());
        const QString manual = FindChild<QTextBrowser>(&Window(), "helpBrowser")->toPlainText();
        QVERIFY2(manual.contains(QStringLiteral("Loading patches")), qPrintable(manual.left(200)));
    }

    void droppingAFileLoadsItAndAFolderListsIt() {
        Drop(&Window(), kSamples);
        QCOMPARE(PatchList()->count(), 8);
        Drop(&Window(), kSamples / "Rotary Organ.rp350p");
        QCOMPARE(NameShown(), std::string("Rotary Organ"));
        QCOMPARE(PatchList()->currentItem()->text(), QStringLiteral("Rotary Organ.rp350p"));
    }
};

} // namespace patchlens

int main(int argc, char **argv) {
    return patchlens::RunOffscreen<patchlens::MainWindowTest>(argc, argv);
}

#include "main_window_test.moc"
