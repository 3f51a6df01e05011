// The search window: its refusals and their focus, a search over a small tree, results that
// load, a search stopped halfway, and the folder kept in default.ini.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "search/search_window.h"
#include "ui_test_support.h"

namespace patchlens {

using test::kSamples;
using test::ReadBytes;
using test::Texts;
using test::WriteBytes;

namespace {

// A patch whose Distortion is on or off with the given model.
std::string DistortionPatch(const std::string &name, bool on, const std::string &model) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RP350Preset SchemaVersion=\"1.2\">\r\n  <Name>" +
           name +
           "</Name>\r\n    <Param>\r\n      <ID>2433</ID>\r\n      <Position>4</Position>\r\n      "
           "<Value>1</Value>\r\n"
           "      <Name>Dist Enable</Name>\r\n      <Text>" +
           (on ? "On" : "Off") +
           "</Text>\r\n    </Param>\r\n    <Param>\r\n      <ID>2432</ID>\r\n      <Position>4</Position>\r\n"
           "      <Value>0</Value>\r\n      <Name>Dist Type</Name>\r\n      <Text>" +
           model + "</Text>\r\n    </Param>\r\n";
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::WindowFixture> m_fixture;
    std::unique_ptr<QTemporaryDir> m_tree;

    test::RecordingDialogs &Dialogs() { return m_fixture->dialogs; }
    SearchWindow &Search() { return m_fixture->Window().searchWindow(); }
    template <typename T> T *Find(const char *name) {
        T *found = Search().findChild<T *>(QString::fromLatin1(name));
        if (found == nullptr)
            qFatal("no control named %s", name);
        return found;
    }
    QLineEdit *Folder() { return Find<QLineEdit>("searchFolderField"); }
    QComboBox *Modules() { return Find<QComboBox>("searchModuleList"); }
    QComboBox *Models() { return Find<QComboBox>("searchModelList"); }
    QPushButton *Start() { return Find<QPushButton>("searchStartButton"); }
    QListWidget *Results() { return Find<QListWidget>("searchResultList"); }
    QString Status() { return Find<QLabel>("searchStatus")->text(); }
    std::filesystem::path Tree() const { return PathFromQString(m_tree->path()); }

    void Choose(QComboBox *list, const QString &entry) {
        const int index = list->findText(entry);
        QVERIFY2(index >= 0, qPrintable(entry));
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    void OpenSearchWindow() {
        QTest::mouseClick(m_fixture->Find<QPushButton>("searchPatchButton"), Qt::LeftButton);
        QVERIFY(Search().isVisible());
    }
    // The search window set to look for an active Screamer distortion under `root`.
    void LookForScreamersIn(const std::filesystem::path &root) {
        m_fixture->Window();
        OpenSearchWindow();
        Folder()->setText(PathToQString(root));
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
        if (!Search().searching())
            return; // refused
        QVERIFY(finished.wait(60000));
    }

private slots:
    void init() {
        m_fixture = std::make_unique<test::WindowFixture>();
        m_tree = std::make_unique<QTemporaryDir>();
    }
    void cleanup() { m_fixture.reset(); }

    void theWindowStartsHiddenAndShowsItsLists() {
        m_fixture->Window();
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

    void refusalsNameTheControlToCorrect() {
        m_fixture->Window();
        OpenSearchWindow();
        const QChar separator(std::filesystem::path::preferred_separator); // '\\' on Windows
        Folder()->setText(PathToQString(Tree()) + separator);
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Remove Traling '%1' character").arg(separator));
        QCOMPARE(Search().focusWidget(), Folder());

        Folder()->setText(QString());
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Could not find Search Path!"));
        Folder()->setText(PathToQString(Tree() / "missing"));
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Could not find Search Path!"));
        QCOMPARE(Search().focusWidget(), Folder());

        Folder()->setText(PathToQString(Tree()));
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Select Model"));
        QCOMPARE(Search().focusWidget(), Modules());

        Choose(Modules(), QStringLiteral("Distortion"));
        RunSearch();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Select Type"));
        QCOMPARE(Search().focusWidget(), Models());
        QCOMPARE(Dialogs().messages.size(), 5);
    }

    void aSearchListsTheMatchesLevelByLevelAndTheyLoad() {
        const std::filesystem::path root = Tree();
        std::filesystem::create_directories(root / "sub" / "deeper");
        WriteBytes(root / "a.rp350p", DistortionPatch("A", true, "Screamer"));
        WriteBytes(root / "c.rp350p", DistortionPatch("C", false, "Screamer"));
        WriteBytes(root / "d.RP350P", DistortionPatch("D", true, "Screamer"));
        WriteBytes(root / "notes.txt", "Screamer On");
        WriteBytes(root / "sub" / "b.rp350p", DistortionPatch("B", true, "Screamer"));
        WriteBytes(root / "sub" / "z.rp350p", DistortionPatch("Z", true, "808"));
        WriteBytes(root / "sub" / "deeper" / "e.rp350p.bak", DistortionPatch("E", true, "Screamer"));
        LookForScreamersIn(root);
        QCOMPARE(Start()->text(), QStringLiteral("Start Search..."));
        RunSearch();
        QVERIFY(!Search().lastSearchStopped());
        // The progress bar counts the patch files analyzed out of those found: a, c, b, z and e.
        QCOMPARE(Find<QProgressBar>("searchProgress")->maximum(), 5);
        QCOMPARE(Find<QProgressBar>("searchProgress")->value(), 5);
        QCOMPARE(Texts(Results()),
                 (QStringList{PathToQString(root / "a.rp350p"), PathToQString(root / "sub" / "b.rp350p"),
                              PathToQString(root / "sub" / "deeper" / "e.rp350p.bak")}));
        QCOMPARE(Start()->text(), QStringLiteral("Start Search..."));
        QVERIFY2(Status().startsWith(QStringLiteral("Last Patch: ")) ||
                     Status().startsWith(QStringLiteral("Analyze Patch -> ")),
                 qPrintable(Status()));

        // A click loads a result; walking on with the arrow keys loads each one when the key is released.
        test::ClickRow(Results(), 0);
        QCOMPARE(m_fixture->Window().patch().name, std::string("A"));
        Results()->setFocus();
        QTest::keyPress(Results(), Qt::Key_Down);
        QCOMPARE(m_fixture->Window().patch().name, std::string("A"));
        QTest::keyRelease(Results(), Qt::Key_Down);
        QCOMPARE(m_fixture->Window().patch().name, std::string("B"));
        QTest::keyClick(Results(), Qt::Key_Down);
        QCOMPARE(m_fixture->Window().patch().name, std::string("E"));
        QCOMPARE(m_fixture->Window().patchLabel()->text(),
                 QStringLiteral("Patch: ") + PathToQString(root / "sub" / "deeper" / "e.rp350p.bak"));
    }

    void anEmptyTreeKeepsThePreviousResults() {
        const std::filesystem::path root = Tree();
        WriteBytes(root / "a.rp350p", DistortionPatch("A", true, "Screamer"));
        LookForScreamersIn(root);
        RunSearch();
        QCOMPARE(Results()->count(), 1);
        QCOMPARE(Status(), QStringLiteral("Last Patch: 0 -> ") + PathToQString(root / "a.rp350p"));
        std::filesystem::create_directory(root / "empty");
        Folder()->setText(PathToQString(root / "empty"));
        RunSearch();
        QCOMPARE(Status(), QStringLiteral("No Patches Found!"));
        QCOMPARE(Results()->count(), 1);
    }

    void stopEndsASearchAndKeepsWhatWasFound() {
        // 20,000 patch files, one in two hundred matching: a search long enough to be stopped.
        const std::filesystem::path root = Tree();
        for (int folder = 0; folder < 100; ++folder) {
            const auto sub = root / ("folder" + std::to_string(folder));
            std::filesystem::create_directory(sub);
            WriteBytes(sub / "p.rp350p", DistortionPatch("P", true, "Screamer"));
            WriteBytes(sub / "off.rp350p", DistortionPatch("P", false, "Screamer"));
            AddLinks(sub / "off.rp350p", 198, ".rp350p");
        }
        LookForScreamersIn(root);
        RunSearch();
        const QStringList all = Texts(Results());
        QCOMPARE(all.size(), 100);

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
        const QStringList shown = Find<QProgressBar>("searchProgress")->text().split(QStringLiteral(" / "));
        QCOMPARE(Status(), QStringLiteral("Search stopped: %1 of %2 patch files analyzed")
                               .arg(shown.value(0), shown.value(1)));
    }

    // More entries than a search used to list, which then put up a message box for each folder it
    // left out: the tree is searched whole, without a message, and the results are listed in order.
    void aTreeOfMoreThan100001EntriesIsSearchedWholeWithoutAMessage() {
        const std::filesystem::path root = Tree();
        for (int folder = 0; folder < 1100; ++folder) {
            const auto sub = root / ("f" + std::to_string(folder));
            std::filesystem::create_directory(sub);
            WriteBytes(sub / "notes.txt", "");
            AddLinks(sub / "notes.txt", 94, ".txt");
            if (folder % 100 == 99)
                WriteBytes(sub / "x.rp350p", DistortionPatch("X", true, "Screamer"));
        }
        LookForScreamersIn(root);
        RunSearch();
        QVERIFY(!Search().lastSearchStopped());
        QVERIFY(Dialogs().messages.isEmpty());
        QStringList expected;
        for (const std::filesystem::path &path :
             RunPatchSearch(root, MakeSearchTarget(*FindSearchModule("Distortion"), "Screamer")).results)
            expected << PathToQString(path);
        QCOMPARE(expected.size(), 11);
        QCOMPARE(Texts(Results()), expected);
        QCOMPARE(Find<QProgressBar>("searchProgress")->value(), 11);
    }

    void closingHidesTheWindowAndKeepsTheFolderInDefaultIni() {
        WriteBytes(m_fixture->DataFolder() / "default.ini",
                   "/last\r\n/list\r\n" + PathBytes(Tree()) + "\r\n");
        m_fixture->Window();
        OpenSearchWindow();
        QCOMPARE(Folder()->text(), PathToQString(Tree()));
        Folder()->setText(QStringLiteral("/somewhere/else"));
        Search().close();
        QVERIFY(!Search().isVisible());
        const std::string kept = PathBytes(std::filesystem::path("/somewhere/else").make_preferred());
        QCOMPARE(ReadBytes(m_fixture->DataFolder() / "default.ini"), "/last\r\n/list\r\n" + kept + "\r\n");
        OpenSearchWindow();
        QCOMPARE(Folder()->text(), QStringLiteral("/somewhere/else")); // the same window, contents kept
    }

    void browseStartsInTheFolderKeptAtStartUp() {
        WriteBytes(m_fixture->DataFolder() / "default.ini", "\r\n\r\n/kept/at/start\r\n");
        m_fixture->Window();
        OpenSearchWindow();
        Folder()->setText(QStringLiteral("/typed"));
        Dialogs().folderAnswers = {PathToQString(Tree())};
        QTest::mouseClick(Find<QPushButton>("searchBrowseButton"), Qt::LeftButton);
        QCOMPARE(Dialogs().folderRequests.back().title, QStringLiteral("Select Search Folder..."));
        QCOMPARE(Dialogs().folderRequests.back().startFolder, QStringLiteral("/kept/at/start"));
        QCOMPARE(Folder()->text(), PathToQString(Tree()));
        QCOMPARE(ReadBytes(m_fixture->DataFolder() / "default.ini"), "\r\n\r\n" + PathBytes(Tree()) + "\r\n");
        QTest::mouseClick(Find<QPushButton>("searchBrowseButton"), Qt::LeftButton); // cancelled
        QCOMPARE(Dialogs().folderRequests.back().startFolder, QStringLiteral("/kept/at/start"));
        QCOMPARE(Folder()->text(), PathToQString(Tree()));
    }
};

} // namespace patchlens

int main(int argc, char **argv) {
    return patchlens::test::RunOffscreen<patchlens::SearchTest>(argc, argv);
}

#include "search_test.moc"
