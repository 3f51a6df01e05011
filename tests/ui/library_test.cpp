// The library group driven through its controls: every check and message with its focus move,
// saving, overwriting, renaming, showing and removing, and the cases that could lose a library.

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "library/library_commands.h"
#include "ui_test_support.h"

namespace patchlens {

using test::ClickRow;
using test::kSamples;
using test::ReadBytes;
using test::Texts;
using test::WriteBytes;

class LibraryTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::WindowFixture> m_fixture;

    test::RecordingDialogs &Dialogs() { return m_fixture->dialogs; }
    MainWindow &Window() { return m_fixture->Window(); }
    std::filesystem::path LibraryFile() const { return m_fixture->DataFolder() / "LibraryRP350.dat"; }
    QComboBox *Selector() { return m_fixture->Find<QComboBox>("libraryModuleSelector"); }
    QLineEdit *NameField() { return m_fixture->Find<QLineEdit>("libraryNameField"); }
    QListWidget *NameList() { return m_fixture->Find<QListWidget>("libraryNameList"); }
    QListWidget *RowView() { return m_fixture->Find<QListWidget>("libraryRowView"); }
    void Press(const char *button) {
        QTest::mouseClick(m_fixture->Find<QPushButton>(button), Qt::LeftButton);
    }
    void Add() { Press("libraryAddButton"); }
    void Remove() { Press("libraryRemoveButton"); }
    void Rename() { Press("libraryRenameButton"); }

    // Chooses a module as a user does: the selection is accepted, which rebuilds the name list.
    void Choose(const QString &module) {
        const int index = Selector()->findText(module);
        QVERIFY(index >= 0);
        Selector()->setCurrentIndex(index);
        emit Selector()->activated(index);
    }
    void Type(const QString &name) {
        NameField()->clear();
        QTest::keyClicks(NameField(), name);
    }
    void LoadSample(const char *name) { Window().LoadPatchFile(kSamples / name); }

    // The Delay of "Clean Lead" as the panel shows it.
    static std::string CleanLeadDelay(const std::string &name) {
        return "Delay," + name + ",ALGDLY,= 450 ms,REPEAT= 8,,,DLYLVL= 35,";
    }

private slots:
    void init() { m_fixture = std::make_unique<test::WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void addRefusesWithoutPatchModuleOrName() {
        Window();
        Type(QStringLiteral("Lead"));
        Add();
        QCOMPARE(Dialogs().messages, QStringList{"First Load a Patch!"});
        LoadSample("Clean Lead.rp350p");
        Add();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("First Select Library"));
        QCOMPARE(QApplication::focusWidget(), Selector());
        Choose(QStringLiteral("Delay"));
        NameField()->clear();
        Add();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Enter Name !"));
        QCOMPARE(QApplication::focusWidget(), NameField());
        QCOMPARE(ReadBytes(LibraryFile()), std::string());
    }

    void choosingAModuleCreatesAMissingFileEmpty() {
        Window();
        QVERIFY(!std::filesystem::exists(LibraryFile()));
        Choose(QStringLiteral("Wah"));
        QVERIFY(std::filesystem::exists(LibraryFile()));
        QCOMPARE(std::filesystem::file_size(LibraryFile()), std::uintmax_t{0});
        QCOMPARE(NameList()->count(), 0);
    }

    void removeAndRenameRefuseWithoutNamesOrSelection() {
        WriteBytes(LibraryFile(), "Wah,Funky,CRYWAH,,,,,,\r\n");
        Window();
        Remove();
        Rename();
        QCOMPARE(Dialogs().messages,
                 (QStringList{"No Library Settings Available!", "No Library Settings Available!"}));
        Choose(QStringLiteral("Wah"));
        Remove();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("First Select Library Setting!"));
        QCOMPARE(QApplication::focusWidget(), NameList());
        Selector()->setFocus();
        Rename();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("First Select Library Setting!"));
        QCOMPARE(QApplication::focusWidget(), NameList());
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Wah,Funky,CRYWAH,,,,,,\r\n"));
    }

    void addSavesTheDisplayedLinesAndShowsThem() {
        WriteBytes(LibraryFile(), "Foreign,line,\xFF\r\n\r\nWah,Old,,,,,,,\r\nunterminated tail");
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        Type(QStringLiteral("Slapback"));
        Add();
        QCOMPARE(ReadBytes(LibraryFile()),
                 CleanLeadDelay("Slapback") +
                     "\r\nForeign,line,\xFF\r\n\r\nWah,Old,,,,,,,\r\nunterminated tail");
        QCOMPARE(Texts(NameList()), QStringList{"Slapback"});
        QCOMPARE(NameList()->currentRow(), 0);
        QCOMPARE(NameField()->text(), QStringLiteral("Slapback"));
        QCOMPARE(Texts(RowView()), (QStringList{"ALGDLY", "= 450 ms", "REPEAT= 8", "", "", "DLYLVL= 35"}));
        QVERIFY(Dialogs().questions.isEmpty());
    }

    void addOfAnExistingNameAsksBeforeOverwriting() {
        WriteBytes(LibraryFile(), "Wah,x,,,,,,,\r\nDelay,Funky,old,,,,,,\r\n");
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        Type(QStringLiteral("funky"));
        Add(); // Cancel
        QCOMPARE(Dialogs().questions,
                 (QStringList{"Add Setting To Library ", "Library Name already Exists, Overwrite?"}));
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Wah,x,,,,,,,\r\nDelay,Funky,old,,,,,,\r\n"));
        Dialogs().questionAnswers = {true};
        Add(); // OK: one entry, under the name as typed now, at the top
        QCOMPARE(ReadBytes(LibraryFile()), CleanLeadDelay("funky") + "\r\nWah,x,,,,,,,\r\n");
        QCOMPARE(Texts(NameList()), QStringList{"funky"});
    }

    void aNameSavedOnlyForAnotherModuleAddsWithoutAQuestion() {
        WriteBytes(LibraryFile(), "Reverb,Lead,x,,,,,,\r\n");
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        Type(QStringLiteral("Lead"));
        Add();
        QVERIFY(Dialogs().questions.isEmpty());
        QCOMPARE(ReadBytes(LibraryFile()), CleanLeadDelay("Lead") + "\r\nReverb,Lead,x,,,,,,\r\n");
    }

    void anEmptyPanelSavesSixEmptyRows() {
        Window().LoadPatchFile(m_fixture->DataFolder() / "missing.rp350p"); // the empty patch
        Choose(QStringLiteral("Equalizer B"));
        Type(QStringLiteral("Flat"));
        Add();
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Equalizer B,Flat,,,,,,,\r\n"));
    }

    void showRenameAndRemove() {
        WriteBytes(LibraryFile(), "Wah,Bee,b0,b1,,,,,\r\nWah,alpha,a0,a1,,,,,\r\nDelay,Other,,,,,,,\r\n");
        Window();
        Choose(QStringLiteral("Wah"));
        QCOMPARE(Texts(NameList()), (QStringList{"alpha", "Bee"})); // sorted without regard to case
        ClickRow(NameList(), 1, Qt::RightButton);
        QCOMPARE(NameField()->text(), QStringLiteral("Bee"));
        QCOMPARE(Texts(RowView()).mid(0, 2), (QStringList{"b0", "b1"}));

        // The keyboard moves the selection without showing; Rename keeps the selected entry's rows.
        NameList()->setFocus();
        QTest::keyClick(NameList(), Qt::Key_Up);
        QCOMPARE(NameList()->currentRow(), 0);
        QCOMPARE(NameField()->text(), QStringLiteral("Bee"));
        Type(QStringLiteral("Aleph"));
        Rename();
        QCOMPARE(ReadBytes(LibraryFile()),
                 std::string("Wah,Aleph,a0,a1,,,,,\r\nWah,Bee,b0,b1,,,,,\r\nDelay,Other,,,,,,,\r\n"));
        QCOMPARE(NameList()->currentItem()->text(), QStringLiteral("Aleph"));
        QCOMPARE(Texts(RowView()).mid(0, 2), (QStringList{"a0", "a1"}));

        // Renaming to the name it has moves it to the top and changes nothing else.
        ClickRow(NameList(), 1);
        Rename();
        QCOMPARE(ReadBytes(LibraryFile()),
                 std::string("Wah,Bee,b0,b1,,,,,\r\nWah,Aleph,a0,a1,,,,,\r\nDelay,Other,,,,,,,\r\n"));

        // An empty name is allowed, and listed as an empty entry.
        NameField()->clear();
        Rename();
        QCOMPARE(ReadBytes(LibraryFile()),
                 std::string("Wah,,b0,b1,,,,,\r\nWah,Aleph,a0,a1,,,,,\r\nDelay,Other,,,,,,,\r\n"));
        QCOMPARE(Texts(NameList()), (QStringList{"", "Aleph"}));

        // Remove at once, without a question; the row view empties, the name field keeps its text.
        ClickRow(NameList(), 1);
        Remove();
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Wah,,b0,b1,,,,,\r\nDelay,Other,,,,,,,\r\n"));
        QCOMPARE(RowView()->count(), 0);
        QCOMPARE(NameField()->text(), QStringLiteral("Aleph"));
        QVERIFY(Dialogs().questions.isEmpty());
    }

    void aNameWithACommaIsSavedButListedUpToTheComma() {
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        Type(QStringLiteral("a,b"));
        Add();
        QCOMPARE(ReadBytes(LibraryFile()), CleanLeadDelay("a,b") + "\r\n");
        QCOMPARE(Texts(NameList()), QStringList{"a"});
        QCOMPARE(NameList()->selectedItems().size(), 0);
        QCOMPARE(NameField()->text(), QString());
        QCOMPARE(RowView()->count(), 0);
    }

    void choosingAnotherModuleKeepsTheRowViewAndTheName() {
        WriteBytes(LibraryFile(), "Wah,Bee,b0,,,,,,\r\nDelay,D,,,,,,,\r\n");
        Window();
        Choose(QStringLiteral("Wah"));
        ClickRow(NameList(), 0);
        Choose(QStringLiteral("Delay"));
        QCOMPARE(Texts(NameList()), QStringList{"D"});
        QCOMPARE(NameField()->text(), QStringLiteral("Bee"));
        QCOMPARE(RowView()->item(0)->text(), QStringLiteral("b0"));
    }

    void namesAreStoredAsWindows1252AndOnlySuchCharactersCanBeTyped() {
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        NameField()->clear();
        test::TypeText(NameField(), QString::fromUtf8("Caf\xC3\xA9 \xCE\xA9 \xE2\x82\xAC")); // é, Ω, €
        QCOMPARE(NameField()->text(), QString::fromUtf8("Caf\xC3\xA9  \xE2\x82\xAC"));
        Add();
        QCOMPARE(ReadBytes(LibraryFile()), CleanLeadDelay("Caf\xE9  \x80") + "\r\n");
        QCOMPARE(NameField()->maxLength(), 21);
    }

    void anUnreadableLibraryIsNeverWritten() {
        std::filesystem::create_directory(LibraryFile()); // a folder by that name
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        QCOMPARE(Dialogs().messages.size(), 1);
        QVERIFY(Dialogs().messages.front().contains(PathToQString(LibraryFile())));
        QVERIFY(Dialogs().messages.front().contains(QStringLiteral("cannot be read")));
        Type(QStringLiteral("Lead"));
        Add();
        QCOMPARE(Dialogs().messages.size(), 2);
        QVERIFY(Dialogs().messages.last().contains(QStringLiteral("cannot be read")));
        QVERIFY(std::filesystem::is_directory(LibraryFile()));
    }

    void aFailedWriteIsReportedAndTheListShowsWhatIsStored() {
        WriteBytes(LibraryFile(), "Delay,Kept,,,,,,,\r\n");
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
#ifdef _WIN32
        // Another program holds the file open and lets no one replace it while the entry is added.
        const HANDLE held = ::CreateFileW(LibraryFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(held != INVALID_HANDLE_VALUE);
        Type(QStringLiteral("Lead"));
        Add();
        ::CloseHandle(held);
#else
        // The disk fills up: no file may grow beyond 40 bytes while the entry is added.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = 40;
        ::setrlimit(RLIMIT_FSIZE, &tight);
        Type(QStringLiteral("Lead"));
        Add();
        ::setrlimit(RLIMIT_FSIZE, &saved);
#endif
        QCOMPARE(Dialogs().messages.size(), 1);
        QVERIFY(Dialogs().messages.front().contains(QStringLiteral("cannot be written")));
        QVERIFY(Dialogs().messages.front().contains(PathToQString(LibraryFile())));
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Delay,Kept,,,,,,,\r\n"));
        QCOMPARE(Texts(NameList()), QStringList{"Kept"});
        QCOMPARE(std::distance(std::filesystem::directory_iterator(m_fixture->DataFolder()),
                               std::filesystem::directory_iterator()),
                 1); // no temporary file left behind
    }

    void aReadOnlyFolderKeepsTheLibraryAndReportsTheFailure() {
#ifdef _WIN32
        QSKIP("permissions here only set the read-only attribute, which a folder's files ignore");
#else
        if (::geteuid() == 0)
            QSKIP("permissions do not bind root");
#endif
        WriteBytes(LibraryFile(), "Delay,Kept,,,,,,,\r\n");
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        std::filesystem::permissions(m_fixture->DataFolder(),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        Type(QStringLiteral("Lead"));
        Add();
        std::filesystem::permissions(m_fixture->DataFolder(), std::filesystem::perms::owner_all);
        QCOMPARE(Dialogs().messages.size(), 1);
        QVERIFY(Dialogs().messages.front().contains(QStringLiteral("cannot be written")));
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Delay,Kept,,,,,,,\r\n"));
        QCOMPARE(Texts(NameList()), QStringList{"Kept"});
    }

    void aFileChangedByAnotherProgramIsNotOverwritten() {
        WriteBytes(LibraryFile(), "Delay,Mine,,,,,,,\r\n");
        LoadSample("Clean Lead.rp350p");
        Choose(QStringLiteral("Delay"));
        WriteBytes(LibraryFile(), "Delay,Theirs,,,,,,,\r\nDelay,Mine,,,,,,,\r\n");
        Type(QStringLiteral("Lead"));
        Add();
        QCOMPARE(Dialogs().messages.size(), 1);
        QVERIFY(Dialogs().messages.front().contains(QStringLiteral("changed by another program")));
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Delay,Theirs,,,,,,,\r\nDelay,Mine,,,,,,,\r\n"));
        QCOMPARE(Texts(NameList()), (QStringList{"Mine", "Theirs"}));
        Add(); // the list now shows the file: the command goes through
        QCOMPARE(ReadBytes(LibraryFile()),
                 CleanLeadDelay("Lead") + "\r\nDelay,Theirs,,,,,,,\r\nDelay,Mine,,,,,,,\r\n");
    }
};

} // namespace patchlens

int main(int argc, char **argv) {
    return patchlens::test::RunOffscreen<patchlens::LibraryTest>(argc, argv);
}

#include "library_test.moc"
