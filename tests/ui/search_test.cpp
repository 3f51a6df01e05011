// The search window: its refusals and their focus, a search over a large tree, results that load,
// a search stopped halfway, its keys, and the folder kept in default.ini.

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "compare/compare_window.h"
#include "search/search_window.h"
#include "ui_test_support.h"

namespace patchlens {

using namespace test;

namespace {

// A patch whose Distortion is on or off with the given model.
std::string DistortionPatch(const std::string &name, bool on, const std::string &model) {
    auto param = [](const char *id, const char *key, const std::string &text) {
        return "    <Param>\r\n      <ID>" + std::string(id) +
               "</ID>\r\n      <Position>4</Position>\r\n      " + "<Value>0</Value>\r\n      <Name>" + key +
               "</Name>\r\n      <Text>" + text + "</Text>\r\n    </Param>\r\n";
    };
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RP350Preset SchemaVersion=\"1.2\">\r\n  <Name>" +
           name + "</Name>\r\n" + param("2433", "Dist Enable", on ? "On" : "Off") +
           param("2432", "Dist Type", model);
}

} // namespace

class SearchTest : public WindowTest {
    Q_OBJECT

private:
    SearchWindow &Search() { return Window().searchWindow(); }
    template <typename T> T *Control(const char *name) { return FindChild<T>(&Search(), name); }
    QLineEdit *Folder() { return Control<QLineEdit>("searchFolderField"); }
    QComboBox *Modules() { return Control<QComboBox>("searchModuleList"); }
    QComboBox *Models() { return Control<QComboBox>("searchModelList"); }
    QPushButton *Start() { return Control<QPushButton>("searchStartButton"); }
    QListWidget *Results() { return Control<QListWidget>("searchResultList"); }
    QProgressBar *Progress() { return Control<QProgressBar>("searchProgress"); }
    QString Status() { return Control<QLabel>("searchStatus")->text(); }
    std::filesystem::path Tree() const { return ProgramFolder(); } // the folder searched
    std::string Ini() const { return ReadBytes(DataFolder() / "default.ini"); }

    void OpenSearchWindow() {
        QTest::mouseClick(Find<QPushButton>("searchPatchButton"), Qt::LeftButton);
        QVERIFY(Search().isVisible());
    }
    // The search window set to look for an active Screamer distortion under the tree.
    void LookForScreamers() {
        OpenSearchWindow();
        Folder()->setText(PathToQString(Tree()));
        Choose(Modules(), QStringLiteral("Distortion"));
        Choose(Models(), QStringLiteral("Screamer"));
    }
    // `count` more entries beside `file`, each a hard link to it: far quicker to make than files.
    static void AddLinks(const std::filesystem::path &file, int count, const std::string &extension) {
        for (int i = 0; i < count; ++i) {
            const auto link = file.parent_path() / ("q" + std::to_string(i) + extension);
            std::error_code ec;
            std::filesystem::create_hard_link(file, link, ec);
            if (ec)
                std::filesystem::copy_file(file, link);
        }
    }
    // Starts a search and waits for its end.
    void RunSearch() {
        QSignalSpy finished(&Search(), &SearchWindow::searchFinished);
        QTest::mouseClick(Start(), Qt::LeftButton);
        if (Search().searching()) // else refused
            QVERIFY(finished.wait(60000));
    }

private slots:
    void theWindowStartsHiddenAndShowsItsLists() {
        QVERIFY(!Search().isVisible());
        OpenSearchWindow();
        QCOMPARE(Search().windowTitle(), QStringLiteral("Search Patch"));
        QCOMPARE(Texts(Modules()),
                 (QStringList{"Select Model", "Compressor", "Distortion", "Chorus/Fx", "Delay", "Reverb"}));
        QCOMPARE(Models()->count(), 0);
        Choose(Modules(), QStringLiteral("Delay"));
        QCOMPARE(Texts(Models()), (QStringList{"Select Type", "Analog", "DM-2", "Digital", "Modulated",
                                               "Pong", "Tape", "EchoPlex"}));
        Choose(Models(), QStringLiteral("Tape"));
        Choose(Modules(), QStringLiteral("Delay")); // confirming the same module starts over
        QCOMPARE(Models()->currentIndex(), 0);
        Choose(Modules(), QStringLiteral("Select Model"));
        QCOMPARE(Texts(Models()), QStringList{"Select Type"});
    }

    // Each refusal names the control to correct and gives it the focus. An empty tree leaves the
    // results shown before.
    void refusalsNameTheControlToCorrect() {
        OpenSearchWindow();
        const QChar separator(std::filesystem::path::preferred_separator); // '\\' on Windows
        Folder()->setText(PathToQString(Tree()) + separator);
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Remove Traling '%1' character").arg(separator));
        QCOMPARE(Search().focusWidget(), Folder());
        for (const std::filesystem::path &missing : {std::filesystem::path(), Tree() / "missing"}) {
            Folder()->setText(PathToQString(missing));
            RunSearch();
            QCOMPARE(Dialogs().messages.last(), QStringLiteral("Could not find Search Path!"));
            QCOMPARE(Search().focusWidget(), Folder());
        }
        Folder()->setText(PathToQString(Tree()));
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Select Model"));
        QCOMPARE(Search().focusWidget(), Modules());
        Choose(Modules(), QStringLiteral("Distortion"));
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Select Type"));
        QCOMPARE(Search().focusWidget(), Models());
        QCOMPARE(Dialogs().messages.size(), 5);
        // A search with a result, then one without: "No Patches Found!", the results stay.
        WriteBytes(Tree() / "a.rp350p", DistortionPatch("A", true, "Screamer"));
        Choose(Models(), QStringLiteral("Screamer"));
        RunSearch();
        QCOMPARE(Status(), QStringLiteral("Last Patch: 0 -> ") + PathToQString(Tree() / "a.rp350p"));
        std::filesystem::create_directory(Tree() / "empty");
        Folder()->setText(PathToQString(Tree() / "empty"));
        RunSearch();
        QCOMPARE(Status(), QStringLiteral("No Patches Found!"));
        QCOMPARE(Texts(Results()), QStringList{PathToQString(Tree() / "a.rp350p")});
        // A tree with entries replaces them, also when it holds no patch file.
        WriteBytes(Tree() / "empty" / "notes.txt", "");
        RunSearch();
        QCOMPARE(Status(), QStringLiteral("No Patches Found!"));
        QCOMPARE(Results()->count(), 0);
        QCOMPARE(Dialogs().messages.size(), 5);
    }

    // A tree of more entries than a search used to list (it then put up a message box for each
    // folder it left out) is searched whole, without a message, its results listed in order; 20,000
    // of them patch files, one in two hundred matching, make a search long enough to be stopped.
    void stopEndsASearchAndKeepsWhatWasFound() {
        for (int folder = 0; folder < 100; ++folder) {
            const auto sub = Tree() / ("folder" + std::to_string(folder));
            std::filesystem::create_directory(sub);
            WriteBytes(sub / "p.rp350p", DistortionPatch("P", true, "Screamer"));
            WriteBytes(sub / "off.rp350p", DistortionPatch("P", false, "Screamer"));
            WriteBytes(sub / "notes.txt", "");
            AddLinks(sub / "off.rp350p", 198, ".rp350p");
            AddLinks(sub / "notes.txt", 800, ".txt");
        }
        LookForScreamers();
        RunSearch();
        QVERIFY(!Search().lastSearchStopped());
        QVERIFY(Dialogs().messages.isEmpty());
        QStringList all;
        for (const std::filesystem::path &path :
             RunPatchSearch(Tree(), MakeSearchTarget(*FindSearchModule("Distortion"), "Screamer")).results)
            all << PathToQString(path);
        QCOMPARE(all.size(), 100);
        QCOMPARE(Texts(Results()), all);
        // The progress bar counts the patch files analyzed out of those found.
        QCOMPARE(Progress()->maximum(), 20000);
        QCOMPARE(Progress()->value(), 20000);
        QVERIFY2(Status().startsWith(QStringLiteral("Last Patch: 19999 -> ")), qPrintable(Status()));
        // A click loads a result, and so does the release of an arrow key.
        ClickRow(Results(), 0);
        QCOMPARE(PathToQString(Window().patch().path), all[0]);
        Results()->setFocus();
        QTest::keyClick(Results(), Qt::Key_Down);
        QCOMPARE(Window().patchLabel()->text(), QStringLiteral("Patch: ") + all[1]);
        // Start, and stop at once: the button reads "Stop" while the search runs.
        QSignalSpy finished(&Search(), &SearchWindow::searchFinished);
        QTest::mouseClick(Start(), Qt::LeftButton);
        QCOMPARE(Start()->text(), QStringLiteral("Stop"));
        QTest::mouseClick(Start(), Qt::LeftButton);
        QVERIFY(finished.wait(60000));
        QVERIFY(Search().lastSearchStopped());
        QVERIFY(!Search().searching());
        QCOMPARE(Start()->text(), QStringLiteral("Start Search..."));
        // What is listed is what was found before the stop, in the order of a full search.
        const QStringList kept = Texts(Results());
        QCOMPARE(kept, all.mid(0, kept.size()));
        // The status tells how far it got, and the progress bar shows the same figures.
        const QStringList shown = Progress()->text().split(QStringLiteral(" / "));
        QCOMPARE(Status(), QStringLiteral("Search stopped: %1 of %2 patch files analyzed")
                               .arg(shown.value(0), shown.value(1)));
    }

    // Opened, the window selects the folder field's text, so that a path typed replaces it; Escape
    // closes it as the close box does. The progress bar shows no figures before a search. The
    // first Down selects the first result, so that a single one loads from the keyboard, and
    // Ctrl+Return compares the selected result with the patch on screen, loading nothing.
    void theKeysOfTheWindowAndItsResults() {
        WriteBytes(DataFolder() / "default.ini", "\r\n\r\n" + PathBytes(Tree()) + "\r\n");
        WriteBytes(Tree() / "a.rp350p", DistortionPatch("A", true, "Screamer"));
        OpenSearchWindow();
        QCOMPARE(Folder()->selectedText(), PathToQString(Tree()));
        QVERIFY2(!Progress()->isTextVisible() || Progress()->text().isEmpty(),
                 qPrintable(Progress()->text()));
        Choose(Modules(), QStringLiteral("Distortion"));
        Choose(Models(), QStringLiteral("Screamer"));
        RunSearch();
        QCOMPARE(Results()->count(), 1);
        Results()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Results(), Qt::Key_Down);
        QCOMPARE(PathToQString(Window().patch().path), PathToQString(Tree() / "a.rp350p"));

        Window().LoadPatchFile(kSamples / "Clean Lead.rp350p");
        QTest::keyClick(Results(), Qt::Key_Return, Qt::ControlModifier); // Ctrl pressed and released too
        QTRY_COMPARE(Window().findChildren<CompareWindow *>().size(), 1);
        QCOMPARE(Window().patch().name, std::string("Clean Lead"));

        Folder()->setFocus();
        QTest::keyClick(Folder(), Qt::Key_Escape);
        QVERIFY(!Search().isVisible());
        OpenSearchWindow();
        QTest::keyClicks(Folder(), QStringLiteral("/typed"));
        QCOMPARE(Folder()->text(), QStringLiteral("/typed"));
    }

    // The window is made when first opened; settings written before keep the folder of line 3,
    // which the window then shows, and gives back byte for byte while it shows it.
    void theWindowIsMadeWhenFirstOpenedKeepingTheFolder() {
        const std::string folder = PathBytes(Tree()) + "/caf\xE9"; // Windows-1252
        WriteBytes(DataFolder() / "default.ini", "/last\r\n/list\r\n" + folder + "\r\n");
        QVERIFY(Window().findChildren<SearchWindow *>().isEmpty());
        Window().OpenPath(Tree()); // lists the folder, writing default.ini
        QCOMPARE(Ini(), "/last\r\n" + PathBytes(Tree()) + "\r\n" + folder + "\r\n");
        QVERIFY(Window().findChildren<SearchWindow *>().isEmpty());
        OpenSearchWindow();
        QCOMPARE(Folder()->text(), ToQString(folder));
        Search().close();
        QCOMPARE(Ini(), "/last\r\n" + PathBytes(Tree()) + "\r\n" + folder + "\r\n");
    }

    // The folder comes from line 3 of default.ini; Browse starts where it stood at start-up, and a
    // folder chosen there or left in the field when the window closes goes back to line 3.
    void theFolderIsKeptInLine3OfDefaultIni() {
        WriteBytes(DataFolder() / "default.ini", "/last\r\n/list\r\n" + PathBytes(Tree()) + "\r\n");
        OpenSearchWindow();
        QCOMPARE(Folder()->text(), PathToQString(Tree()));
        Folder()->setText(QStringLiteral("/typed"));
        Dialogs().folderAnswers = {PathToQString(Tree() / "chosen")};
        QTest::mouseClick(Control<QPushButton>("searchBrowseButton"), Qt::LeftButton);
        QCOMPARE(Dialogs().folderRequests.back().title, QStringLiteral("Select Search Folder..."));
        QCOMPARE(Dialogs().folderRequests.back().startFolder, PathToQString(Tree()));
        QCOMPARE(Folder()->text(), PathToQString(Tree() / "chosen"));
        QCOMPARE(Ini(), "/last\r\n/list\r\n" + PathBytes(Tree() / "chosen") + "\r\n");
        QTest::mouseClick(Control<QPushButton>("searchBrowseButton"), Qt::LeftButton); // cancelled
        QCOMPARE(Dialogs().folderRequests.back().startFolder, PathToQString(Tree()));
        QCOMPARE(Folder()->text(), PathToQString(Tree() / "chosen"));

        Folder()->setText(QStringLiteral("/somewhere/else"));
        Search().close();
        QVERIFY(!Search().isVisible());
        QCOMPARE(Ini(), "/last\r\n/list\r\n" +
                            PathBytes(std::filesystem::path("/somewhere/else").make_preferred()) + "\r\n");
        OpenSearchWindow();
        QCOMPARE(Folder()->text(), QStringLiteral("/somewhere/else")); // the same window, contents kept
    }
};

} // namespace patchlens

PATCHLENS_UI_TEST_MAIN(SearchTest)

#include "search_test.moc"
