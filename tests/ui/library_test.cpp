// The library group driven through its controls: every check and message with its focus move,
// saving, overwriting, renaming, showing and removing, and the cases that could lose a library.

#include <QLineEdit>
#include <QPushButton>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include "library/library_group.h"
#include "ui_test_support.h"

namespace patchlens {

using namespace test;

class LibraryTest : public WindowTest {
    Q_OBJECT

private:
    std::filesystem::path LibraryFile() const { return DataFolder() / "LibraryRP350.dat"; }
    QComboBox *Selector() { return Find<QComboBox>("libraryModuleSelector"); }
    QLineEdit *NameField() { return Find<QLineEdit>("libraryNameField"); }
    QListWidget *NameList() { return Find<QListWidget>("libraryNameList"); }
    QListWidget *RowView() { return Find<QListWidget>("libraryRowView"); }
    void Press(const char *button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    void Add() { Press("libraryAddButton"); }
    void Remove() { Press("libraryRemoveButton"); }
    void Rename() { Press("libraryRenameButton"); }
    void Choose(const char *module) { test::Choose(Selector(), QString::fromLatin1(module)); }
    void Type(const QString &name) {
        NameField()->clear();
        QTest::keyClicks(NameField(), name);
    }
    void LoadCleanLead() { Window().LoadPatchFile(kSamples / "Clean Lead.rp350p"); }
    // The Delay of "Clean Lead" as the panel shows it.
    static std::string CleanLeadDelay(const std::string &name) {
        return "Delay," + name + ",ALGDLY,= 450 ms,REPEAT= 8,,,DLYLVL= 35,";
    }

private slots:
    // Each refusal says what is missing and moves the focus to the control to correct.
    void refusalsMoveTheFocusToTheControlToCorrect() {
        WriteBytes(LibraryFile(), "Wah,Funky,CRYWAH,,,,,,\r\n");
        Window();
        Type(QStringLiteral("Lead"));
        Add();
        Remove();
        Rename();
        QCOMPARE(Dialogs().messages, (QStringList{"First Load a Patch!", "No Library Settings Available!",
                                                  "No Library Settings Available!"}));
        LoadCleanLead();
        Add();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("First Select Library"));
        QCOMPARE(QApplication::focusWidget(), Selector());
        Choose("Wah");
        Remove();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("First Select Library Setting!"));
        QCOMPARE(QApplication::focusWidget(), NameList());
        NameField()->clear();
        Add();
        QCOMPARE(Dialogs().messages.last(), QStringLiteral("Enter Name !"));
        QCOMPARE(QApplication::focusWidget(), NameField());
        QCOMPARE(Dialogs().messages.size(), 6);
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Wah,Funky,CRYWAH,,,,,,\r\n"));
    }

    // Add writes the panel's six lines as a new first line and keeps every other line byte for
    // byte; a name the module has already (a to z in any case) is replaced only when the user
    // agrees. The new entry is then selected and shown, unless its name holds a comma: the list
    // shows names up to the comma, as the file format reads them.
    void addWritesTheEntryFirstAndKeepsTheOtherLines_data() {
        QTest::addColumn<QByteArray>("before"); // the library file; none when null
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("answer"); // to the question to overwrite: -1 none asked, 0 Cancel, 1 OK
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<bool>("shown");
        const QByteArray kept = "Foreign,line,\xFF\r\n\r\nWah,Old,,,,,,,\r\nunterminated tail";
        QTest::newRow("new name") << kept << "Delay"
                                  << "Slapback" << -1
                                  << QByteArray::fromStdString(CleanLeadDelay("Slapback") + "\r\n") + kept
                                  << QStringList{"Slapback"} << true;
        const QByteArray funky = "Wah,x,,,,,,,\r\nDelay,Funky,old,,,,,,\r\n";
        QTest::newRow("same name, Cancel") << funky << "Delay"
                                           << "funky" << 0 << funky << QStringList{"Funky"} << false;
        QTest::newRow("same name, OK")
            << funky << "Delay"
            << "funky" << 1 << QByteArray::fromStdString(CleanLeadDelay("funky") + "\r\nWah,x,,,,,,,\r\n")
            << QStringList{"funky"} << true;
        // The Wah shows five lines: the sixth row is empty.
        QTest::newRow("name of another module, a short panel")
            << QByteArray("Reverb,Lead,x,,,,,,\r\n") << "Wah"
            << "Lead" << -1
            << QByteArray("Wah,Lead,CRYWAH,WAHMIN= 0,,,WAHLVL= 0 ,,\r\nReverb,Lead,x,,,,,,\r\n")
            << QStringList{"Lead"} << true;
        QTest::newRow("comma") << QByteArray() << "Delay"
                               << "a,b" << -1 << QByteArray::fromStdString(CleanLeadDelay("a,b") + "\r\n")
                               << QStringList{"a"} << false;
    }

    void addWritesTheEntryFirstAndKeepsTheOtherLines() {
        QFETCH(QByteArray, before);
        QFETCH(QString, module);
        QFETCH(QString, name);
        QFETCH(int, answer);
        if (!before.isNull())
            WriteBytes(LibraryFile(), before.toStdString());
        LoadCleanLead();
        test::Choose(Selector(), module);
        QCOMPARE(ReadBytes(LibraryFile()), before.toStdString()); // a missing file is made empty
        if (answer >= 0)
            Dialogs().questionAnswers = {answer == 1};
        Type(name);
        Add();
        const QStringList question{"Add Setting To Library ", "Library Name already Exists, Overwrite?"};
        QCOMPARE(Dialogs().questions, answer < 0 ? QStringList() : question);
        QTEST(QByteArray::fromStdString(ReadBytes(LibraryFile())), "after");
        QTEST(Texts(NameList()), "listed");
        // The new entry is selected and its rows shown.
        QFETCH(QByteArray, after);
        QFETCH(bool, shown);
        QCOMPARE(NameList()->selectedItems().size(), shown ? 1 : 0);
        if (shown) {
            QCOMPARE(NameField()->text(), name);
            QCOMPARE(Texts(RowView()),
                     QString::fromLatin1(after.left(after.indexOf("\r\n"))).split(',').mid(2, 6));
        } else {
            QCOMPARE(RowView()->count(), 0);
        }
    }

    void showRenameAndRemove() {
        WriteBytes(LibraryFile(), "Wah,Bee,b0,b1,,,,,\r\nWah,alpha,a0,a1,,,,,\r\nDelay,Other,,,,,,,\r\n");
        Choose("Wah");
        QCOMPARE(Texts(NameList()), (QStringList{"alpha", "Bee"})); // sorted without regard to case
        ClickRow(NameList(), 1, Qt::RightButton);
        QCOMPARE(NameField()->text(), QStringLiteral("Bee"));
        QCOMPARE(Texts(RowView()).mid(0, 2), (QStringList{"b0", "b1"}));
        // Another module lists its names; the row view and the name field keep what they show.
        Choose("Delay");
        QCOMPARE(Texts(NameList()), QStringList{"Other"});
        QCOMPARE(NameField()->text(), QStringLiteral("Bee"));
        QCOMPARE(Texts(RowView()).mid(0, 2), (QStringList{"b0", "b1"}));
        Choose("Wah");
        ClickRow(NameList(), 1);
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
        // An empty name is allowed, and listed as an empty entry.
        ClickRow(NameList(), 1);
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

    void namesAreStoredAsWindows1252AndOnlySuchCharactersCanBeTyped() {
        LoadCleanLead();
        Choose("Delay");
        TypeText(NameField(), QString::fromUtf8("Caf\xC3\xA9 \xCE\xA9 \xE2\x82\xAC")); // é, Ω, €
        QCOMPARE(NameField()->text(), QString::fromUtf8("Caf\xC3\xA9  \xE2\x82\xAC"));
        Add();
        QCOMPARE(ReadBytes(LibraryFile()), CleanLeadDelay("Caf\xE9  \x80") + "\r\n");
        QCOMPARE(NameField()->maxLength(), 21);
    }

    // A name shown from the file keeps its bytes while the field is unchanged, though it shows as
    // UTF-8 and typed text is stored as Windows-1252.
    void aShownNameKeepsItsBytes() {
        WriteBytes(LibraryFile(), "Delay,Caf\xC3\xA9,old,,,,,,\r\n");
        LoadCleanLead();
        Choose("Delay");
        ClickRow(NameList(), 0);
        QCOMPARE(NameField()->text(), QString::fromUtf8("Caf\xC3\xA9"));
        Dialogs().questionAnswers = {true};
        Add();
        QCOMPARE(ReadBytes(LibraryFile()), CleanLeadDelay("Caf\xC3\xA9") + "\r\n");
    }

    void anUnreadableLibraryIsNeverWritten() {
        std::filesystem::create_directory(LibraryFile()); // a folder by that name
        LoadCleanLead();
        Choose("Delay");
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
        LoadCleanLead();
        Choose("Delay");
        Type(QStringLiteral("Lead"));
#ifdef _WIN32
        // Another program holds the file open and lets no one replace it while the entry is added.
        const HANDLE held = ::CreateFileW(LibraryFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(held != INVALID_HANDLE_VALUE);
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
        Add();
        ::setrlimit(RLIMIT_FSIZE, &saved);
#endif
        QCOMPARE(Dialogs().messages.size(), 1);
        QVERIFY(Dialogs().messages.front().contains(QStringLiteral("cannot be written")));
        QVERIFY(Dialogs().messages.front().contains(PathToQString(LibraryFile())));
        QCOMPARE(ReadBytes(LibraryFile()), std::string("Delay,Kept,,,,,,,\r\n"));
        QCOMPARE(Texts(NameList()), QStringList{"Kept"});
        // No temporary file left behind.
        QCOMPARE(std::distance(std::filesystem::directory_iterator(DataFolder()), {}), 1);
    }

    void aFileChangedByAnotherProgramIsNotOverwritten() {
        WriteBytes(LibraryFile(), "Delay,Mine,,,,,,,\r\n");
        LoadCleanLead();
        Choose("Delay");
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

PATCHLENS_UI_TEST_MAIN(LibraryTest)

#include "library_test.moc"
