// The main window and the compare window driven by real mouse and key events on the offscreen
// platform, with the dialogs replaced by a recorder.

#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <cstring>

#include "../core/file_system_support.h"
#include "../core/unprivileged.h"
#include "compare/compare_window.h"
#include "library/library_file.h"
#include "toolkit/controls.h"
#include "toolkit/fonts.h"
#include "toolkit/window_frame.h"
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

class MainWindowTest : public WindowTest {
    Q_OBJECT

private:
    QListWidget *PatchList() { return Find<QListWidget>("patchList"); }
    QPushButton *LoadButton() { return Find<QPushButton>("loadPatchButton"); }
    QPushButton *FolderButton() { return Find<QPushButton>("loadPatchFolderButton"); }
    std::string NameShown() { return Find<QLabel>("patchNameField")->text().toStdString(); }
    QList<CompareWindow *> CompareWindows() { return Window().findChildren<CompareWindow *>(); }

    template <typename T>
    static T *Part(CompareWindow *window, const char *kind, Module module, int row = -1) {
        const QString name =
            QStringLiteral("compare.%1.%2").arg(QLatin1String(kind), ToQString(InfoOf(module).name)) +
            (row >= 0 ? QStringLiteral(".%1").arg(row) : QString());
        return FindChild<T>(window, name.toLatin1().constData());
    }

    // Every mark and line of the window, and with "Show only differences" its modules, say what the
    // comparison of the two files says.
    static void CheckMarks(CompareWindow *window, const std::filesystem::path &a,
                           const std::filesystem::path &b) {
        const PatchComparison expected = ComparePatches(DecodeFresh(a).patch, DecodeFresh(b).patch);
        const QString mark{QChar(kDifferenceMark)};
        for (const ComparedModule &module : expected.modules) {
            QCOMPARE(Part<QLabel>(window, "lampMark", module.module)->text(),
                     module.lampDiffers() ? mark : QString());
            QCOMPARE(Part<QLabel>(window, "lampA", module.module)->palette().color(QPalette::WindowText),
                     module.lampA ? kLampOnColour : kLampOffColour);
            auto *listB = Part<QListWidget>(window, "listB", module.module);
            QCOMPARE(listB->isEnabled(), module.enabledB);
            for (int row = 0; row < static_cast<int>(module.lines.size()); ++row) {
                const ComparedLine &line = module.lines[static_cast<std::size_t>(row)];
                QCOMPARE(Part<QLabel>(window, "mark", module.module, row)->text(),
                         line.differs ? mark : QString());
                QCOMPARE(Part<QListWidget>(window, "listA", module.module)->item(row)->text(),
                         ToQString(line.a));
                QCOMPARE(listB->item(row)->text(), ToQString(line.b));
                QCOMPARE(listB->item(row)->background().style() != Qt::NoBrush, line.differs);
            }
        }
        auto *only = FindChild<QCheckBox>(window, "compareOnlyDifferences");
        only->click();
        for (const ComparedModule &module : expected.modules)
            QCOMPARE(Part<QWidget>(window, "module", module.module)->isVisibleTo(window), module.differs);
        only->click();
    }

private slots:
    // The window starts as the front panel does, empty; its panels always show what the core's
    // panels hold: lines, selection, enabling and lamp.
    void startsEmptyAndMirrorsTheCorePanels() {
        MainWindow &window = Window();
        QCOMPARE(window.windowTitle(), QStringLiteral("Patchlens [ Version: 1.21 ]"));
        QCOMPARE(window.frameGeometry().size(), QSize(800, 580));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(PatchList()->geometry(), QRect(602, 55, 175, 462));
        auto *number = Find<QLineEdit>("patchNumberField");
        QCOMPARE(number->text(), QStringLiteral("01"));
        QCOMPARE(number->maxLength(), 2);
        QCOMPARE(number->toolTip(), QStringLiteral("Enter Number used in RP350 -> Only for your reference"));
        for (const char *sample : {"", "Clean Lead.rp350p"}) {
            if (*sample)
                window.LoadPatchFile(kSamples / sample);
            QCOMPARE(NameShown(), *sample ? std::string("Clean Lead") : std::string("------"));
            for (const ModuleInfo &info : Modules()) {
                const ModulePanel &panel = window.patch().panels[IndexOf(info.module)];
                QListWidget *list = window.panelViews().list(info.module);
                QStringList lines;
                for (const std::string &line : panel.list.lines)
                    lines << ToQString(line);
                QCOMPARE(Texts(list), lines);
                QCOMPARE(list->currentRow(),
                         panel.list.selected ? static_cast<int>(*panel.list.selected) : -1);
                QCOMPARE(list->isEnabled(), panel.list.enabled);
                const QPalette lamp = window.panelViews().lamp(info.module)->palette();
                QCOMPARE(lamp.color(QPalette::WindowText), panel.lampOn ? kLampOnColour : kLampOffColour);
                QCOMPARE(lamp.color(QPalette::Window), QColor(Qt::black));
            }
        }
        // The amplifier shows its six lines in its 100 pixels; Distortion is off.
        QListWidget *amp = window.panelViews().list(Module::AmplifierA);
        QCOMPARE(amp->count(), 6);
        QVERIFY(!amp->verticalScrollBar()->isVisible());
        QVERIFY(amp->visualItemRect(amp->item(5)).bottom() < amp->viewport()->height());
        QVERIFY(!window.panelViews().list(Module::Distortion)->isEnabled());
    }

    // The window's icon is its own, whatever an icon theme offers under that name: the themes are
    // not searched at the start.
    void theIconIsTheBuiltInOneWhateverTheIconTheme() {
        QTemporaryDir themes;
        const QString theme = themes.path() + QStringLiteral("/other");
        QVERIFY(QDir().mkpath(theme + QStringLiteral("/64x64/apps")));
        WriteBytes(PathFromQString(theme + QStringLiteral("/index.theme")),
                   "[Icon Theme]\nName=other\nDirectories=64x64/apps\n\n[64x64/apps]\nSize=64\n");
        QImage red(64, 64, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(theme + QStringLiteral("/64x64/apps/patchlens.png")));
        const QStringList paths = QIcon::themeSearchPaths();
        const QString name = QIcon::themeName();
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("other"));
        const QImage shown =
            Window().windowIcon().pixmap(64).toImage().convertToFormat(QImage::Format_ARGB32);
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(name);
        QCOMPARE(shown,
                 QImage(QStringLiteral(":/icons/patchlens.png")).convertToFormat(QImage::Format_ARGB32));
    }

    // Each font is the largest size whose line fits the cell (and whose digits fit the advance
    // given), as trying every size from the cell height down with QFontMetricsF finds it: at every
    // cell height, by the names asked for and by the installed names they are asked for by.
    void fontsAreTheLargestThatFitTheirCells() {
        for (const char *family :
             {"Courier", "Courier New", "MS Sans Serif", "Liberation Mono", "Liberation Sans"})
            for (int cell = 2; cell <= 40; ++cell)
                for (const qreal advance : {0.0, 8.0, 11.0}) {
                    QFont font{QString::fromLatin1(family)};
                    font.setWeight(QFont::Normal);
                    font.setStyleHint(QByteArray(family).contains("Mono") || *family == 'C'
                                          ? QFont::TypeWriter
                                          : QFont::SansSerif);
                    font.setHintingPreference(QFont::PreferVerticalHinting);
                    int expected = 2;
                    for (int pixels = cell; pixels >= 2; --pixels) {
                        font.setPixelSize(pixels);
                        const QFontMetricsF metrics(font);
                        if (metrics.height() <= cell &&
                            (advance <= 0 || metrics.horizontalAdvance(QLatin1Char('0')) <= advance)) {
                            expected = pixels;
                            break;
                        }
                    }
                    QCOMPARE(FontWithCellHeight(QString::fromLatin1(family), cell, advance, font.styleHint())
                                 .pixelSize(),
                             expected);
                }
    }

    // The window's fonts name installed families, so that no alias or fallback list is worked out
    // for a missing one, and they are the faces the font matching gives for the families wanted.
    void fontsNameTheFacesTheMatchingWouldGive() {
        const UiFonts &fonts = Fonts();
#ifdef Q_OS_WIN
        const char *courier = "Courier New", *sansSerif = "Microsoft Sans Serif";
#else
        const char *courier = "Courier", *sansSerif = "MS Sans Serif";
#endif
        const std::pair<const QFont *, const char *> wanted[] = {{&fonts.caption, courier},
                                                                 {&fonts.name, "Courier New"},
                                                                 {&fonts.control, "Courier New"},
                                                                 {&fonts.standard, sansSerif}};
        for (const auto &[font, family] : wanted) {
            QVERIFY2(QFontDatabase::hasFamily(font->family()), qPrintable(font->family()));
            QFont matched = *font;
            matched.setFamily(QString::fromLatin1(family));
            QCOMPARE(QFontInfo(*font).family(), QFontInfo(matched).family());
            QCOMPARE(font->family(), QFontInfo(matched).family());
        }
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

        // The name field fills its strip: eighteen of the widest characters show whole, more are elided.
        auto *name = Find<ElidedLabel>("patchNameField");
        QCOMPARE(name->geometry(), Find<QWidget>("nameStrip")->geometry().adjusted(2, 0, -2, 0));
        QVERIFY(QFontMetrics(name->font()).height() <= name->height()); // descenders included
        const auto named = DataFolder() / "named.rp350p";
        for (const char *text : {"WWWWWWWWWWWWWWWWWW", "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"}) {
            WriteBytes(named, SmallPatch("1.2", text));
            window.LoadPatchFile(named);
            const bool whole = std::strlen(text) <= 18;
            QCOMPARE(name->ShownText() == QString::fromLatin1(text), whole);
            QCOMPARE(name->ShownText().endsWith(QChar(0x2026)), !whole);
            QVERIFY(QFontMetrics(name->font()).horizontalAdvance(name->ShownText()) <=
                    name->contentsRect().width());
            QCOMPARE(name->toolTip(), whole ? QString() : QString::fromLatin1(text));
        }
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

    // Load Patch runs on a left or right release, and from the keyboard on the release of Space,
    // Return or Enter pressed on it (as every button does); Cancel changes nothing;
    // the dialog starts in the folder of the file opened last, which default.ini keeps; without a
    // folder there, the folder picker starts in the program folder.
    void loadPatchRunsOnAMouseReleaseAndKeepsTheFolder() {
        MainWindow &window = Window();
        QTest::mouseClick(LoadButton(), Qt::LeftButton); // cancelled
        QTRY_COMPARE(Dialogs().openRequests.size(), 1);
        QTest::mouseClick(FolderButton(), Qt::LeftButton); // cancelled
        QCOMPARE(Dialogs().folderRequests.front().startFolder, PathForDialog(ProgramFolder()));
        QVERIFY(!std::filesystem::exists(DataFolder() / "default.ini"));
        QCOMPARE(NameShown(), std::string("------"));
        QVERIFY(!window.patch().loaded);

        const QString sample = PathForDialog(kSamples / "Octave Fuzz.rp350p");
        Dialogs().openAnswers = {sample};
        QTest::mouseClick(LoadButton(), Qt::RightButton, {}, QPoint(10, 10));
        QTRY_COMPARE(Dialogs().openRequests.size(), 2);
        QCOMPARE(NameShown(), std::string("Octave Fuzz"));
        QCOMPARE(window.patchLabel()->text(), QStringLiteral("Patch: ") + sample);
        QCOMPARE(ReadBytes(DataFolder() / "default.ini"), PathBytes(kSamples) + "\r\n\r\n\r\n");

        LoadButton()->setFocus();
        QTest::keyRelease(LoadButton(), Qt::Key_Return); // its press closed a dialog
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(LoadButton(), key);
        QTRY_COMPARE(Dialogs().openRequests.size(), 5);
        QApplication::processEvents();
        QCOMPARE(Dialogs().openRequests.size(), 5);
        QCOMPARE(Dialogs().openRequests.at(4), PathForDialog(kSamples));
        FolderButton()->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(FolderButton(), key);
        QCOMPARE(Dialogs().folderRequests.size(), std::size_t{3});
    }

    // The dialogs start in the folders of default.ini's first two lines; line 3 is kept; a
    // cancelled folder picker keeps the list.
    void settingsAreReadAtStartAndLine3IsKept() {
        const std::string ini = "/first/folder\r\n" + PathBytes(kSamples) + "\r\n/search \xE9 here\r\n";
        WriteBytes(DataFolder() / "default.ini", ini);
        QTest::mouseClick(LoadButton(), Qt::LeftButton);
        QTRY_COMPARE(Dialogs().openRequests, QStringList{"/first/folder"});
        Dialogs().folderAnswers = {PathForDialog(kSamples)};
        QTest::mouseClick(FolderButton(), Qt::LeftButton);
        QTest::mouseClick(FolderButton(), Qt::LeftButton); // cancelled
        QCOMPARE(Dialogs().folderRequests.size(), std::size_t{2});
        QCOMPARE(Dialogs().folderRequests.front().title, QStringLiteral("Select Patch Folder..."));
        QCOMPARE(Dialogs().folderRequests.front().startFolder, PathForDialog(kSamples));
        QCOMPARE(ReadBytes(DataFolder() / "default.ini"), ini);
        QCOMPARE(PatchList()->count(), 8);
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
        Dialogs().openAnswers = {PathForDialog(kSamples / "Clean Lead.rp350p")};
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(50, 10));
        QTest::mouseRelease(LoadButton(), Qt::LeftButton, {}, QPoint(10, 10));
        QTest::keyRelease(list, Qt::Key_Return);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(50, 400));
        QApplication::processEvents();
        QVERIFY(!window.patch().loaded);
        QVERIFY(Dialogs().openRequests.isEmpty());
        QVERIFY(Dialogs().messages.isEmpty());
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

        // With a patch on screen and the selection gone, a click on the blank part keeps it.
        list->clearSelection();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(50, list->viewport()->height() - 2));
        QCOMPARE(NameShown(), std::string("Direct Whammy"));
        QVERIFY(Dialogs().messages.isEmpty());
    }

    // A message box closed by a key press stays closed: the release of that key goes to whatever
    // has the focus once the box is gone, and must not take it for a key of its own.
    void aMessageClosedByAKeyStaysClosed() {
        const auto root = DataFolder();
        WriteBytes(root / "a.rp350p", SmallPatch("1.2", "Fine"));
        WriteBytes(root / "b.rp350p", SmallPatch("1.3", "Newer"));
        struct KeyClosedMessages : RecordingDialogs { // real message boxes
            Qt::Key key = Qt::Key_Return;
            void ShowMessage(QWidget *owner, const QString &text) override {
                messages << text;
                QTimer::singleShot(0, [this] { QTest::keyPress(QApplication::activeModalWidget(), key); });
                QtDialogs().ShowMessage(owner, text);
            }
        } dialogs;
        MainWindow window(dialogs, ProgramPaths{root, root, {}});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.ListPatchFolder(root);
        auto *list = FindChild<QListWidget>(&window, "patchList");
        ClickRow(list, 0);
        list->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            dialogs.key = key;
            QTest::keyClick(list, Qt::Key_Down); // onto the refused file
            QCOMPARE(dialogs.messages.size(), key == Qt::Key_Return ? 1 : 2);
            QTest::keyRelease(list, key);
            QApplication::processEvents();
            QCOMPARE(dialogs.messages.size(), key == Qt::Key_Return ? 1 : 2);
            QCOMPARE(FindChild<QLabel>(&window, "patchNameField")->text(), QStringLiteral("Fine"));
            QTest::keyClick(list, Qt::Key_Up);
        }
    }

    // Patch files of any case, hidden ones included, sorted without regard to case; a name that is
    // not UTF-8 is listed by the display rule and loaded by its bytes.
    void theListHoldsPatchFilesOfAnyCaseAndName() {
        const auto root = ProgramFolder() / "patches";
        std::filesystem::create_directory(root);
        for (const char *name : {"b.RP350P", ".hidden.rp350p", "A.rp350p", "c.rp350p.bak", "a2.Rp350p"})
            WriteBytes(root / name, SmallPatch("1.2", name));
        const std::filesystem::path cafe = PathFromBytes("Caf\xE9 Lead.rp350p"); // Windows-1252 bytes
        WriteBytes(root / cafe, SmallPatch("1.2", "Cafe"));
        Window().ListPatchFolder(root);
        QCOMPARE(Texts(PatchList()), (QStringList{".hidden.rp350p", "A.rp350p", "a2.Rp350p", "b.RP350P",
                                                  QString::fromUtf8("Caf\xC3\xA9 Lead.rp350p")}));
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
                   ReadLibraryFile(data / "LibraryRP350.dat").value_or("") == "Delay,Slap,DM2,,,,,,\r\n";
        }));
        std::filesystem::permissions(program, perms::owner_all);
        QCOMPARE(ReadBytes(data / "default.ini"), std::string("/a\r\n/b\r\n/c\r\n"));
        QCOMPARE(ReadBytes(program / "LibraryRP350.dat"), std::string("Delay,Slap,DM2,,,,,,\r\n"));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(program), {}), 2);
    }

    // The installer's uninstaller removes only what it installed: an installed program keeps
    // nothing in its folder, even where it could write there; an older library there is copied.
    void anInstalledProgramKeepsItsFilesInTheUserFolder() {
        QTemporaryDir folder;
        const auto root = PathFromQString(folder.path());
        const auto installed = root / "installed";
        std::filesystem::create_directories(installed);
        WriteBytes(installed / kInstallationMarkerName, "");
        WriteBytes(installed / "LibraryRP350.dat", "Wah,Cry,CRYWAH,,,,,,\r\n");
        const ProgramPaths paths = ChooseProgramPaths(installed, root / "user");
        QCOMPARE(PathBytes(paths.dataFolder), PathBytes(root / "user"));
        QCOMPARE(ReadBytes(root / "user" / "LibraryRP350.dat"), std::string("Wah,Cry,CRYWAH,,,,,,\r\n"));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(installed), {}), 2);
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

    // A refused file (newer, missing, not a patch file, far too large) is named in a message and
    // changes nothing of what the window says is shown: panels, status bar, the list's highlight,
    // the patch's path and the remembered folder; texts from files show as plain text, never rich.
    int SelectedRow() {
        const QList<QListWidgetItem *> selected = PatchList()->selectedItems();
        return selected.isEmpty() ? -1 : PatchList()->row(selected.front());
    }

    void aRefusedFileKeepsThePreviousPatchOnScreen() {
        MainWindow &window = Window();
        const auto newer = DataFolder() / "newer.rp350p";
        WriteBytes(newer, SmallPatch("1.3", "<b>x</b>"));
        WriteBytes(DataFolder() / "a.rp350p", SmallPatch("1.2", "A"));
        WriteBytes(DataFolder() / "vanished.rp350p", SmallPatch("1.2", "Vanished"));
        WriteBytes(DataFolder() / "samples.pdf", "%PDF-1.4\n");
        window.ListPatchFolder(DataFolder());
        QCOMPARE(Texts(PatchList()), (QStringList{"a.rp350p", "newer.rp350p", "vanished.rp350p"}));
        std::filesystem::remove(DataFolder() / "vanished.rp350p");
        ClickRow(PatchList(), 1); // nothing on screen yet: nothing highlighted
        QCOMPARE(SelectedRow(), -1);
        QVERIFY(!window.patch().loaded);
        window.OpenPath(kSamples / "Metal Rhythm.rp350p");
        const QStringList distortion = Texts(window.panelViews().list(Module::Distortion));
        QVERIFY(!distortion.isEmpty());
        const QString status = QStringLiteral("Patch: ") + PathToQString(kSamples / "Metal Rhythm.rp350p");
        const QString ini = QString::fromStdString(ReadBytes(DataFolder() / "default.ini"));
        auto unchanged = [&] {
            QCOMPARE(NameShown(), std::string("Metal Rhythm"));
            QCOMPARE(Texts(window.panelViews().list(Module::Distortion)), distortion);
            QCOMPARE(window.patchLabel()->text(), status);
            QCOMPARE(PathBytes(window.patch().path), PathBytes(kSamples / "Metal Rhythm.rp350p"));
            QCOMPARE(window.settings().lastPatchFolder, PathBytes(kSamples));
            QCOMPARE(QString::fromStdString(ReadBytes(DataFolder() / "default.ini")), ini);
            QCOMPARE(CompareWindows().size(), 0);
        };
        ClickRow(PatchList(), 1);
        QCOMPARE(SelectedRow(), -1);
        unchanged();
        window.OpenPath(newer);
        unchanged();
        ClickRow(PatchList(), 0);
        // The arrow keys walk on past refused entries; the highlight stays on the patch shown.
        PatchList()->setFocus();
        QTest::keyClick(PatchList(), Qt::Key_Down); // newer
        QCOMPARE(SelectedRow(), 0);
        QTest::keyClick(PatchList(), Qt::Key_Down); // vanished since it was listed
        QCOMPARE(PatchList()->currentRow(), 2);
        QCOMPARE(SelectedRow(), 0);
        QCOMPARE(NameShown(), std::string("A"));
        window.OpenPath(kSamples / "Metal Rhythm.rp350p");
        QCOMPARE(SelectedRow(), -1);
        Drop(&window, DataFolder() / "samples.pdf");
        Drop(&window, DataFolder() / "samples.pdf", Qt::ControlModifier);
        window.OpenPath("/no/such/file");
        unchanged();
        const QString schema =
            "Wrong Schema Version!: 1.3\nProgram Supports Version : 1.2\nAsk for New Version.";
        const QString pdf = PathToQString(DataFolder() / "samples.pdf") +
                            "\nis not opened: it is not a patch file (*.rp350p).";
        QCOMPARE(Dialogs().messages, (QStringList{schema, schema, schema, schema,
                                                  PathToQString(DataFolder() / "vanished.rp350p") +
                                                      "\nis not read: no such file.",
                                                  pdf, pdf, "/no/such/file\nis not opened: no such file."}));
        Dialogs().messages.clear();

        WriteBytes(newer, SmallPatch("1.2", "<b>x</b>"));
        window.LoadPatchFile(newer);
        QCOMPARE(NameShown(), std::string("<b>x</b>"));
        QCOMPARE(Find<QLabel>("patchNameField")->textFormat(), Qt::PlainText);
        QCOMPARE(window.patchLabel()->textFormat(), Qt::PlainText);

        const auto huge = DataFolder() / "huge.rp350p";
        WriteBytes(huge, "x");
        std::error_code ec;
        ResizeSparse(huge, std::uintmax_t{1} << 40, ec);
        if (ec)
            QSKIP("this file system takes no sparse file of a terabyte");
        window.LoadPatchFile(huge);
        QCOMPARE(Dialogs().messages.size(), 1);
        QVERIFY(Dialogs().messages.last().startsWith(PathToQString(huge)));
        QVERIFY(Dialogs().messages.last().contains(QStringLiteral("too large: 1099511627776 bytes")));
        QCOMPARE(NameShown(), std::string("<b>x</b>"));
        QCOMPARE(PathBytes(window.patch().path), PathBytes(newer));
    }

    // F1 opens the help, unless Shift, Ctrl or Alt is held (a key held down repeats its press; one
    // release ends it); it never reaches the focused control.
    void f1OpensTheHelpUnlessShiftCtrlOrAltIsHeld() {
        auto *field = Find<QLineEdit>("patchNumberField");
        field->setFocus();
        KeySpy spy;
        field->installEventFilter(&spy);
        const struct {
            std::vector<Qt::Key> held;
            Qt::KeyboardModifiers modifiers;
            int shown;
        } presses[] = {{{}, {}, 1},
                       {{Qt::Key_Shift}, Qt::ShiftModifier, 1},
                       {{}, {}, 2},
                       {{Qt::Key_Control, Qt::Key_Control}, Qt::ControlModifier, 2},
                       {{}, Qt::AltModifier, 2},
                       {{}, {}, 3}};
        for (const auto &press : presses) {
            for (const Qt::Key key : press.held)
                QTest::keyPress(field, key);
            QTest::keyClick(field, Qt::Key_F1, press.modifiers);
            if (!press.held.empty())
                QTest::keyRelease(field, press.held.front());
            QCOMPARE(Dialogs().builtInHelpShown, press.shown);
        }
        QCOMPARE(spy.f1Presses, 0);
        QCOMPARE(field->text(), QStringLiteral("01"));
    }

    void f1OpensTheHelpFileWhenTheProgramFolderHasOne() {
        WriteBytes(ProgramFolder() / "RP350Help.chm", "ITSF");
        QTest::keyClick(&Window(), Qt::Key_F1);
        QCOMPARE(Dialogs().openedDocuments, QStringList{PathForDialog(ProgramFolder() / "RP350Help.chm")});
        QCOMPARE(Dialogs().builtInHelpShown, 0);
        // A desktop without a program for help files: the built-in manual instead.
        Dialogs().documentsOpen = false;
        QTest::keyClick(&Window(), Qt::Key_F1);
        QCOMPARE(Dialogs().openedDocuments.size(), 2);
        QCOMPARE(Dialogs().builtInHelpShown, 1);
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

    // Ctrl with a click in the patch list compares that file with the patch on screen (before there
    // is one, a refused file included, there is nothing to compare); the main window stays as it
    // was, and the comparison stays as it was when the main window loads another patch. A side that
    // cannot be compared says why. A file dropped with Ctrl held is compared too. Side A is the
    // patch on screen, decoded afresh from the bytes it was shown from, whatever became of its file.
    void controlClickComparesWithoutTouchingTheMainWindow() {
        MainWindow &window = Window();
        window.ListPatchFolder(kSamples);
        const auto newer = DataFolder() / "newer.rp350p";
        WriteBytes(newer, "x\r\n<R SchemaVersion=\"1.3\">\r\n");
        window.LoadPatchFile(newer);
        ClickRow(PatchList(), 0, Qt::LeftButton, Qt::ControlModifier);
        QTRY_COMPARE(Dialogs().messages.size(), 2);
        QCOMPARE(Dialogs().messages.back(), QStringLiteral("First Load a Patch!"));
        ClickRow(PatchList(), 1);                                      // Clean Lead on screen
        ClickRow(PatchList(), 4, Qt::LeftButton, Qt::ControlModifier); // Metal Rhythm
        QTRY_COMPARE(CompareWindows().size(), 1);
        QCOMPARE(PatchList()->currentRow(), 1);
        QCOMPARE(window.patch().name, std::string("Clean Lead"));
        QCOMPARE(Dialogs().messages.size(), 2);
        CompareWindow *compare = CompareWindows().front();
        QVERIFY(compare->isVisible());
        QVERIFY(FindChild<QLabel>(compare, "compareSideA")->text().contains(QStringLiteral("Clean Lead")));
        CheckMarks(compare, kSamples / "Clean Lead.rp350p", kSamples / "Metal Rhythm.rp350p");
        ClickRow(PatchList(), 6);
        QCOMPARE(window.patch().name, std::string("Rotary Organ"));
        CheckMarks(compare, kSamples / "Clean Lead.rp350p", kSamples / "Metal Rhythm.rp350p");

        window.ComparePatchFile(newer);
        QCOMPARE(Dialogs().messages.size(), 3);
        QVERIFY(Dialogs().messages.back().contains(QStringLiteral("Wrong Schema Version!: 1.3")));
        QCOMPARE(CompareWindows().size(), 1);

        const auto copy = DataFolder() / "copy.rp350p";
        std::filesystem::copy_file(kSamples / "Rotary Organ.rp350p", copy);
        Drop(&window, copy, Qt::ControlModifier);
        QCOMPARE(CompareWindows().size(), 2);
        QCOMPARE(PathBytes(window.patch().path), PathBytes(kSamples / "Rotary Organ.rp350p")); // not loaded
        compare = CompareWindows().back();
        QCOMPARE(FindChild<QLabel>(compare, "compareSummary")->text(),
                 QStringLiteral("The two patches show the same."));
        CheckMarks(compare, kSamples / "Rotary Organ.rp350p", copy);

        window.LoadPatchFile(copy);
        std::filesystem::copy_file(kSamples / "Metal Rhythm.rp350p", copy,
                                   std::filesystem::copy_options::overwrite_existing);
        for (const char *other : {"Octave Fuzz.rp350p", "Grunge Phaser.rp350p"}) { // changed, then gone
            window.ComparePatchFile(kSamples / other);
            CheckMarks(window.compareWindows().back(), kSamples / "Rotary Organ.rp350p", kSamples / other);
            std::filesystem::remove(copy);
        }
        QCOMPARE(window.compareWindows().size(), std::size_t{4});
        QCOMPARE(Dialogs().messages.size(), 3);
    }

    // Compare windows stand clear of the patch list, wholly on the screen, each new one a cascade
    // step from the others; the same two files again bring their window back. The modules flow into
    // the columns the width takes and scroll, never cut, at any size. Escape and Ctrl+W close one;
    // closing the main window closes them all.
    void compareWindowsStandBesideThePatchListFitAnySizeAndClose() {
        MainWindow &window = Window();
        window.ListPatchFolder(kSamples);
        ClickRow(PatchList(), 1);
        for (const int row : {4, 5, 4})
            ClickRow(PatchList(), row, Qt::LeftButton, Qt::ControlModifier);
        QTRY_COMPARE(window.compareWindows().size(), std::size_t{2});
        const std::vector<CompareWindow *> open = window.compareWindows();
        const QRect list(PatchList()->mapToGlobal(QPoint(0, 0)), PatchList()->size());
        for (CompareWindow *compare : open) {
            QTRY_VERIFY(!compare->frameGeometry().intersects(list)); // placed once framed
            QVERIFY(window.screen()->availableGeometry().contains(compare->frameGeometry()));
        }
        const QPoint step = open[1]->frameGeometry().topLeft() - open[0]->frameGeometry().topLeft();
        QVERIFY(std::max(std::abs(step.x()), std::abs(step.y())) >= kCascadeStep);

        CompareWindow *compare = open[0];
        auto *scroll = FindChild<QScrollArea>(compare, "compareScroll");
        const QSize whole = compare->WholeSize(CompareWindow::kMostColumns);
        for (const auto &[size, columns] :
             {std::pair{QSize(1010, 730), 4}, {QSize(300, 200), 1}, {whole, 5}}) {
            compare->resize(size);
            QApplication::processEvents();
            QCOMPARE(compare->size(), size);
            QCOMPARE(compare->columns(), columns);
            const QWidget *panels = scroll->widget();
            for (const ModuleInfo &info : Modules()) {
                const QWidget *box = Part<QWidget>(compare, "module", info.module);
                QVERIFY(panels->rect().contains(box->geometry()));
                QVERIFY(box->width() >= box->sizeHint().width());
            }
            QVERIFY(panels->width() <= scroll->viewport()->width() ||
                    scroll->horizontalScrollBar()->maximum() > 0);
        }
        QCOMPARE(scroll->verticalScrollBar()->maximum(), 0); // the whole size shows every module

        QTest::keyClick(open[1], Qt::Key_Escape);
        QTRY_COMPARE(window.compareWindows().size(), std::size_t{1});
        window.ComparePatchFile(kSamples / "Grunge Phaser.rp350p");
        QTest::keyClick(window.compareWindows().back(), Qt::Key_W, Qt::ControlModifier);
        QTRY_COMPARE(window.compareWindows().size(), std::size_t{1});
        window.ComparePatchFile(kSamples / "Grunge Phaser.rp350p");
        window.close();
        QTRY_COMPARE(window.compareWindows().size(), std::size_t{0});
    }

    // Of the sizes offered, the largest that stands clear of the list; the next window a cascade
    // step away and below; a screen too small for any to stand clear: the largest, covering least.
    void placesCoverTheListLeastAndCascade() {
        const QRect area(0, 0, 1024, 768), list(715, 169, 175, 462);
        const std::vector<QSize> sizes = {{1108, 600}, {680, 768}, {460, 768}};
        const QRect first = ChooseOuterRect(area, sizes, list, {});
        QCOMPARE(first, QRect(715 - 680, 0, 680, 768));
        const QRect second = ChooseOuterRect(area, sizes, list, {first.topLeft()});
        QCOMPARE(second.size(), first.size());
        QVERIFY(!second.intersects(list));
        QCOMPARE(second.topLeft(), first.topLeft() - QPoint(kCascadeStep, 0));
        const QRect lower = ChooseOuterRect(QRect(0, 0, 1280, 1024), sizes, list, {QPoint(35, 100)});
        QVERIFY(lower.top() >= 100 + kCascadeStep && !lower.intersects(list));
        const QRect cramped = ChooseOuterRect(QRect(0, 0, 800, 600), sizes, QRect(200, 0, 400, 600), {});
        QCOMPARE(cramped.size(), QSize(800, 600));
    }

    // A dropped file loads and a folder is listed; of several, the first local one is taken and a
    // message says so; a drag that offers no local file (an empty list, only web addresses) is
    // refused as it enters.
    void droppingAFileLoadsItAndAFolderListsIt() {
        Drop(&Window(), kSamples);
        QCOMPARE(PatchList()->count(), 8);
        Drop(&Window(), kSamples / "Rotary Organ.rp350p");
        QCOMPARE(NameShown(), std::string("Rotary Organ"));
        QCOMPARE(PatchList()->currentItem()->text(), QStringLiteral("Rotary Organ.rp350p"));

        for (const QList<QUrl> &urls : {QList<QUrl>{}, QList<QUrl>{QUrl("https://example.com/a.rp350p")}}) {
            QMimeData data;
            data.setData(QStringLiteral("text/uri-list"),
                         urls.isEmpty() ? QByteArray() : urls.front().toEncoded());
            QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(&Window(), &enter);
            QVERIFY(!enter.isAccepted());
        }
        QCOMPARE(NameShown(), std::string("Rotary Organ"));
        QVERIFY(Dialogs().messages.isEmpty());

        QMimeData several;
        several.setUrls({QUrl("https://example.com/x"),
                         QUrl::fromLocalFile(PathForDialog(kSamples / "Clean Lead.rp350p")),
                         QUrl::fromLocalFile(PathForDialog(kSamples / "Octave Fuzz.rp350p"))});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &several, Qt::LeftButton, {});
        QApplication::sendEvent(&Window(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &several, Qt::LeftButton, {});
        QApplication::sendEvent(&Window(), &drop);
        QCOMPARE(NameShown(), std::string("Clean Lead"));
        QCOMPARE(Dialogs().messages, QStringList{"3 files were dropped; only one is opened at a time:\n" +
                                                 PathToQString(kSamples / "Clean Lead.rp350p")});
    }

    // The keyboard reaches everything: Ctrl with the arrow keys walks the patch list without
    // loading, Ctrl+Return compares the entry with the patch on screen, and the control with the
    // focus carries the focus mark.
    void theKeyboardComparesAndTheFocusIsMarked() {
        MainWindow &window = Window();
        window.ListPatchFolder(kSamples);
        ClickRow(PatchList(), 1); // Clean Lead
        PatchList()->setFocus();
        QTest::keyPress(PatchList(), Qt::Key_Down);
        QTest::keyRelease(PatchList(), Qt::Key_Down);
        QCOMPARE(NameShown(), std::string("Direct Whammy"));
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) // onto Metal Rhythm
            QTest::keyClick(PatchList(), key, Qt::ControlModifier);
        QCOMPARE(PatchList()->currentRow(), 4);
        QTRY_COMPARE(CompareWindows().size(), 1);
        QCOMPARE(NameShown(), std::string("Direct Whammy"));
        QVERIFY(
            FindChild<QLabel>(CompareWindows().front(), "compareSideA")->text().contains("Direct Whammy"));

        for (const char *name : {"libraryNameList", "libraryAddButton", "patchNumberField", "patchList"}) {
            auto *control = Find<QWidget>(name);
            window.activateWindow();
            control->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(control->hasFocus());
            auto *ring =
                control->findChild<QWidget *>(QStringLiteral("focusRing"), Qt::FindDirectChildrenOnly);
            QVERIFY2(ring != nullptr && ring->isVisible(), name);
            const QImage shown = control->grab().toImage();
            QCOMPARE(shown.pixelColor(QPoint(1, control->height() / 2) * shown.devicePixelRatio()),
                     kFocusRingColour);
            QCOMPARE(window.findChildren<QWidget *>(QStringLiteral("focusRing")).size(), 1);
        }
    }

    // The status bar names the file by its absolute path, also when it was given relative.
    // The status bar and the compare window name files by their absolute paths.
    void theStatusBarShowsTheAbsolutePath() {
        const std::filesystem::path before = std::filesystem::current_path();
        std::filesystem::current_path(kSamples);
        Window().OpenPath("./Screamer Blues.rp350p");
        Window().ComparePatchFile("Clean Lead.rp350p"); // the compare window names both sides alike
        std::filesystem::current_path(before);
        QVERIFY(Find<ElidedLabel>("compareSideB")
                    ->text()
                    .endsWith(PathToQString(kSamples / "Clean Lead.rp350p")));
        QCOMPARE(Window().patchLabel()->text(),
                 QStringLiteral("Patch: ") + PathToQString(kSamples / "Screamer Blues.rp350p"));
        QCOMPARE(PathBytes(Window().patch().path), PathBytes(kSamples / "Screamer Blues.rp350p"));
    }
};

} // namespace patchlens

PATCHLENS_UI_TEST_MAIN(MainWindowTest)

#include "main_window_test.moc"
