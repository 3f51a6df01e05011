// The collection window: its rows as the scan gives them, sorting, the filter (and a filter that
// cannot be read), the groups of duplicates and variants, loading and comparing rows, a PDF and an
// export of the rows, and another folder compared.

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>

#include "../core/patch_builder.h"
#include "collection/collection_table.h"
#include "collection/collection_window.h"
#include "ui_test_support.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

using namespace test;

class CollectionTest : public WindowTest {
    Q_OBJECT

public:
    CollectionTest() { QStandardPaths::setTestModeEnabled(true); }

private:
    std::filesystem::path Root() const { return ProgramFolder() / "tree"; }
    CollectionWindow &Collection() { return Window().collectionWindow(); }
    template <typename T> T *Control(const char *name) { return FindChild<T>(&Collection(), name); }
    QTableView *View() { return Control<QTableView>("collectionTable"); }
    CollectionTable &Table() { return Collection().table(); }
    QString Status() { return Control<QLabel>("collectionStatus")->text(); }
    QString Cell(int row, int column) { return Table().index(row, column).data().toString(); }
    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < Table().rowCount(); ++row)
            texts << Cell(row, column);
        return texts;
    }
    static QSet<QString> SetOf(const QStringList &texts) { return QSet<QString>(texts.begin(), texts.end()); }
    int RowOf(const QString &name) {
        return static_cast<int>(Column(CollectionTable::kNameColumn).indexOf(name));
    }
    int ModuleColumn(Module module) { return CollectionTable::kFirstModuleColumn + static_cast<int>(module); }
    void ClickCell(int row, int column, Qt::KeyboardModifiers modifiers = {}) {
        const QRect cell = View()->visualRect(Table().index(row, column));
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, modifiers, cell.center());
    }
    void ClickHeader(int column) {
        QHeaderView *header = View()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    // Clean Lead and Metal Rhythm; a renamed copy of Clean Lead (a duplicate) and one with its
    // drive turned up (a variant) in a folder below; a file of a newer schema.
    void MakeTree() {
        std::filesystem::remove(CollectionSettingsFile()); // as on a first run
        const std::string lead = ReadBytes(kSamples / "Clean Lead.rp350p");
        std::filesystem::create_directories(Root() / "sub");
        WriteBytes(Root() / "Clean Lead.rp350p", lead);
        WriteBytes(Root() / "Metal Rhythm.rp350p", ReadBytes(kSamples / "Metal Rhythm.rp350p"));
        WriteBytes(Root() / "sub" / "Lead Copy.rp350p", WithName(lead, "Lead Copy"));
        WriteBytes(Root() / "sub" / "Lead Drive.rp350p",
                   WithName(WithText(lead, "2434", "61"), "Lead Drive"));
        PatchBuilder newer;
        newer.schemaVersion = "9.0";
        WriteBytes(Root() / "sub" / "newer.rp350p", newer.Bytes());
    }
    // Opens the collection window from the main window's button, picks the tree and waits for the scan.
    void OpenAndScan() {
        MakeTree();
        Dialogs().folderAnswers.push_back(PathToQString(Root()));
        QSignalSpy finished(&Collection(), &CollectionWindow::scanFinished);
        QTest::mouseClick(Find<QPushButton>("collectionButton"), Qt::LeftButton);
        QVERIFY(Collection().isVisible());
        QVERIFY(finished.wait(10000));
    }

private slots:
    void rowsSortAndTheFolderRemembered() {
        OpenAndScan();
        QCOMPARE(Table().rowCount(), 5);
        QCOMPARE(Status(), QStringLiteral("5 of 5 patches shown"));
        // The scan's order: the folder's own files first, then those of the folder below.
        QCOMPARE(SetOf(Column(CollectionTable::kFileColumn)),
                 (QSet<QString>{"Clean Lead.rp350p", "Metal Rhythm.rp350p", "sub/Lead Copy.rp350p",
                                "sub/Lead Drive.rp350p", "sub/newer.rp350p"}));
        QVERIFY(Column(CollectionTable::kFileColumn).indexOf("sub/newer.rp350p") > 1);
        const int newer = static_cast<int>(Column(CollectionTable::kFileColumn).indexOf("sub/newer.rp350p"));
        QVERIFY(Cell(newer, CollectionTable::kNameColumn).startsWith("Wrong Schema Version!"));
        // A module cell: the model line, in the caption's colour, and its lines in the tooltip.
        const int lead = RowOf("Clean Lead");
        const QModelIndex distortion = Table().index(lead, ModuleColumn(Module::Distortion));
        QCOMPARE(distortion.data().toString(), QStringLiteral("SCREAM"));
        QCOMPARE(distortion.data(Qt::ForegroundRole).value<QColor>(), kLampOffColour);
        QCOMPARE(Table().index(lead, ModuleColumn(Module::Delay)).data(Qt::ForegroundRole).value<QColor>(),
                 kLampOnColour);
        QVERIFY(distortion.data(Qt::ToolTipRole).toString().contains("DRIVE_= 60"));
        QVERIFY(Table()
                    .index(RowOf("Lead Drive"), ModuleColumn(Module::Distortion))
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains("DRIVE_= 61"));

        // A header click sorts by the patch list's rule; equal rows keep the scan's order.
        ClickHeader(CollectionTable::kNameColumn);
        QCOMPARE(Column(CollectionTable::kNameColumn).mid(0, 4),
                 (QStringList{"Clean Lead", "Lead Copy", "Lead Drive", "Metal Rhythm"}));
        std::vector<std::pair<QString, QString>> scanned; // the Distortion's model line, the file
        for (std::size_t entry = 0; entry < Table().collection().size(); ++entry) {
            const auto lines = Table().collection().ModuleLines(entry, Module::Distortion);
            scanned.emplace_back(lines.empty() ? QString() : ToQString(lines.front()),
                                 ToQString(Table().collection().File(entry)));
        }
        const auto expected = [&](bool descending) {
            auto rows = scanned;
            std::stable_sort(rows.begin(), rows.end(), [descending](const auto &a, const auto &b) {
                return descending ? b.first < a.first : a.first < b.first;
            });
            QStringList files;
            for (const auto &row : rows)
                files << row.second;
            return files;
        };
        ClickHeader(ModuleColumn(Module::Distortion));
        QCOMPARE(Column(CollectionTable::kFileColumn), expected(false));
        ClickHeader(ModuleColumn(Module::Distortion));
        QCOMPARE(Column(CollectionTable::kFileColumn), expected(true));
        QVERIFY(expected(true) != expected(false));
        ClickHeader(ModuleColumn(Module::Distortion)); // a third click: the scan's order again
        QStringList files;
        for (const auto &row : scanned)
            files << row.second;
        QCOMPARE(Column(CollectionTable::kFileColumn), files);

        // Escape closes the window, as its close box does; opened again, it shows the same rows
        // without asking for a folder.
        const std::size_t asked = Dialogs().folderRequests.size();
        QTest::keyClick(View(), Qt::Key_Escape);
        QVERIFY(!Collection().isVisible());
        Collection().ShowCollectionWindow();
        QVERIFY(Collection().isVisible());
        QCOMPARE(Table().rowCount(), 5);
        QCOMPARE(Dialogs().folderRequests.size(), asked);

        // The folder is remembered for the next run, in a file of the collection's own.
        Window().close();
        m_fixture->window.reset();
        Dialogs().folderRequests.clear();
        Collection().ShowCollectionWindow();
        QCOMPARE(Dialogs().folderRequests.size(), std::size_t(1));
        QCOMPARE(Dialogs().folderRequests[0].startFolder, PathForDialog(Root()));
        QVERIFY(!std::filesystem::exists(DataFolder() / "collection.ini"));
    }

    void theFilterAndAFilterThatCannotBeRead() {
        OpenAndScan();
        auto *field = Control<QLineEdit>("collectionFilterField");
        auto *message = Control<QLabel>("collectionFilterMessage");
        field->setFocus();
        QTest::keyClicks(field, "Distortion.DRIVE > 60");
        QCOMPARE(Column(CollectionTable::kNameColumn), QStringList{"Lead Drive"});
        QCOMPARE(Status(), QStringLiteral("1 of 5 patches shown"));
        field->clear();
        QTest::keyClicks(field, "name~lead or file~metal");
        QCOMPARE(Table().rowCount(), 4);
        field->setText(field->text() + " Delay."); // pasted: no filter of the text up to "Delay" first
        // Marked, the reason shown, and the rows of the last filter read stay.
        QVERIFY(field->property("badFilter").toBool());
        QVERIFY(message->isVisibleTo(&Collection()));
        QCOMPARE(message->text(),
                 QStringLiteral(
                     "Filter not applied: after \"Delay.\": a label, a row number or a model expected"));
        QCOMPARE(Table().rowCount(), 4);
        QTest::keyClick(field, Qt::Key_Backspace);
        QVERIFY(!field->property("badFilter").toBool());
        QVERIFY(!message->isVisibleTo(&Collection()));
    }

    void duplicatesAndVariantsShowTheirGroupsTogether() {
        OpenAndScan();
        auto *duplicates = Control<QCheckBox>("collectionOnlyDuplicates");
        auto *variants = Control<QCheckBox>("collectionOnlyVariants");
        duplicates->click();
        QVERIFY(!View()->isColumnHidden(CollectionTable::kGroupColumn));
        QCOMPARE(SetOf(Column(CollectionTable::kNameColumn)), (QSet<QString>{"Clean Lead", "Lead Copy"}));
        QCOMPARE(Column(CollectionTable::kGroupColumn), (QStringList{"#1", "#1"}));
        QVERIFY(Table().index(0, CollectionTable::kNameColumn).data(Qt::BackgroundRole).isValid());
        variants->click();
        QVERIFY(!duplicates->isChecked());
        QCOMPARE(Table().rowCount(), 3);
        QCOMPARE(Column(CollectionTable::kGroupColumn), (QStringList{"#1", "#1", "#1"}));
        QVERIFY(RowOf("Lead Drive") >= 0);
        variants->click();
        QVERIFY(View()->isColumnHidden(CollectionTable::kGroupColumn));
        QCOMPARE(Table().rowCount(), 5);
    }

    void rowsLoadAndCompare() {
        OpenAndScan();
        ClickHeader(CollectionTable::kNameColumn); // Clean Lead, Lead Copy, Lead Drive, Metal Rhythm, ...
        View()->setFocus();
        const int metal = RowOf("Metal Rhythm");
        ClickCell(metal, CollectionTable::kNameColumn);
        QTest::keyClick(View(), Qt::Key_Return);
        QCOMPARE(Window().patch().name, std::string("Metal Rhythm"));
        QCOMPARE(Window().patchLabel()->text(),
                 QStringLiteral("Patch: ") + PathToQString(Root() / "Metal Rhythm.rp350p"));
        // Ctrl+click: the row against the patch on screen; the selection stays where it was.
        ClickCell(RowOf("Clean Lead"), CollectionTable::kFileColumn, Qt::ControlModifier);
        QTRY_COMPARE(Window().compareWindows().size(), std::size_t(1));
        QCOMPARE(View()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(View()->selectionModel()->selectedRows().front().row(), metal);
        QCOMPARE(Window().patch().name, std::string("Metal Rhythm"));
        // Two rows selected: "Compare" compares them with each other.
        ClickCell(RowOf("Clean Lead"), CollectionTable::kNameColumn);
        ClickCell(RowOf("Lead Copy"), CollectionTable::kNameColumn, Qt::ShiftModifier);
        QTest::mouseClick(Control<QPushButton>("collectionCompareButton"), Qt::LeftButton);
        QCOMPARE(Window().compareWindows().size(), std::size_t(2));
        QVERIFY(Dialogs().messages.isEmpty());
        // A double click loads as Return does.
        const QRect lead =
            View()->visualRect(Table().index(RowOf("Lead Copy"), CollectionTable::kNameColumn));
        QTest::mouseDClick(View()->viewport(), Qt::LeftButton, {}, lead.center());
        QCOMPARE(Window().patch().name, std::string("Lead Copy"));
    }

    void aPdfOfTheRowsSelectedAndAnExportOfTheRowsShown() {
        OpenAndScan();
        ClickHeader(CollectionTable::kNameColumn);
        ClickHeader(CollectionTable::kNameColumn);  // descending: Metal Rhythm, Lead Drive, Lead Copy, ...
        ClickCell(0, CollectionTable::kNameColumn); // the refused file, which no page shows
        ClickCell(3, CollectionTable::kNameColumn, Qt::ShiftModifier);
        const QString pdf = PathToQString(ProgramFolder() / "set list.pdf");
        Dialogs().saveAnswers.push_back(pdf);
        QTest::mouseClick(Control<QPushButton>("collectionPrintButton"), Qt::LeftButton);
        QVERIFY(Dialogs().messages.isEmpty());
        QProcess text;
        text.start(QStandardPaths::findExecutable("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split('\f');
        pages.removeLast();
        QCOMPARE(pages.size(), 3);
        QVERIFY(pages[0].contains("Metal Rhythm.rp350p") && pages[0].contains("page 1 of 3"));
        QVERIFY(pages[1].contains("Lead Drive.rp350p"));
        QVERIFY(pages[2].contains("Lead Copy.rp350p"));

        // The export: the rows shown, filter and order as on screen; in the scan's order the same
        // bytes as the command line's listing.
        Control<QLineEdit>("collectionFilterField")->setText("name~lead");
        const QString csv = PathToQString(ProgramFolder() / "rows.csv");
        Dialogs().saveAnswers.push_back(csv);
        QTest::mouseClick(Control<QPushButton>("collectionExportButton"), Qt::LeftButton);
        const QList<QByteArray> lines =
            QByteArray::fromStdString(ReadBytes(PathFromQString(csv))).split('\n');
        QCOMPARE(lines.size(), 5); // the header, three rows, the empty end
        QVERIFY(lines[1].startsWith("sub/Lead Drive.rp350p,Lead Drive,"));
        QVERIFY(lines[3].startsWith("Clean Lead.rp350p,Clean Lead,"));
        View()->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // back to the scan's order
        const QString json = PathToQString(ProgramFolder() / "rows.json");
        Dialogs().saveAnswers.push_back(json);
        QTest::mouseClick(Control<QPushButton>("collectionExportButton"), Qt::LeftButton);
        QProcess list;
        list.start(QStringLiteral(PATCHLENS_BINARY),
                   {QStringLiteral("--list"), PathToQString(Root()), QStringLiteral("--recursive"),
                    QStringLiteral("--json"), QStringLiteral("--where"), QStringLiteral("name~lead")});
        QVERIFY(list.waitForFinished(30000));
        QCOMPARE(QByteArray::fromStdString(ReadBytes(PathFromQString(json))), list.readAllStandardOutput());
        QVERIFY(Dialogs().messages.isEmpty());
    }

    void anotherFolderCompared() {
        OpenAndScan();
        // The other folder: an older state of the tree, Lead Drive under another name, another
        // sound under the name of Metal Rhythm, and a file gone since.
        const std::filesystem::path old = ProgramFolder() / "old";
        std::filesystem::create_directories(old / "sub");
        WriteBytes(old / "Clean Lead.rp350p", ReadBytes(Root() / "Clean Lead.rp350p"));
        WriteBytes(old / "Metal Rhythm.rp350p",
                   WithName(ReadBytes(kSamples / "Grunge Phaser.rp350p"), "Metal Rhythm"));
        WriteBytes(old / "Drive.rp350p", ReadBytes(Root() / "sub" / "Lead Drive.rp350p"));
        WriteBytes(old / "Gone.rp350p", ReadBytes(kSamples / "Octave Fuzz.rp350p"));
        Dialogs().folderAnswers.push_back(PathToQString(old));
        QSignalSpy finished(&Collection(), &CollectionWindow::folderCompareFinished);
        QTest::mouseClick(Control<QPushButton>("collectionCompareFolderButton"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QVERIFY(!View()->isColumnHidden(CollectionTable::kOtherFolderColumn));
        const auto other = [&](const char *name) {
            return Cell(RowOf(name), CollectionTable::kOtherFolderColumn);
        };
        QCOMPARE(other("Clean Lead"), QStringLiteral("same"));
        QVERIFY(other("Metal Rhythm").startsWith(QStringLiteral("changed: ")));
        QVERIFY(other("Metal Rhythm").contains(QStringLiteral("Distortion, Amplifier A")));
        QCOMPARE(other("Lead Drive"), QStringLiteral("moved from Drive.rp350p"));
        QCOMPARE(other("Lead Copy"), QStringLiteral("added"));
        QVERIFY(Status().contains("1 removed"));
    }
};

} // namespace patchlens

PATCHLENS_UI_TEST_MAIN(CollectionTest)
#include "collection_test.moc"
