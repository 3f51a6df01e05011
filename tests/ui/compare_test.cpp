// The compare window: opened by Ctrl with a click in the patch list (or by a file dropped with Ctrl
// held) without touching the main window, its marks for a known pair, "Show only differences", and
// its independence from what the main window loads afterwards.

#include <QCheckBox>
#include <QLabel>

#include "compare/compare_window.h"
#include "ui_test_support.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

using namespace test;

class CompareTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> m_fixture;

    MainWindow &Window() { return m_fixture->Window(); }
    QListWidget *PatchList() { return m_fixture->Find<QListWidget>("patchList"); }
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
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void controlClickComparesWithoutTouchingTheMainWindow() {
        MainWindow &window = Window();
        window.ListPatchFolder(kSamples);
        ClickRow(PatchList(), 1);                                      // Clean Lead on screen
        ClickRow(PatchList(), 4, Qt::LeftButton, Qt::ControlModifier); // Metal Rhythm
        QTRY_COMPARE(CompareWindows().size(), 1);
        QCOMPARE(PatchList()->currentRow(), 1);
        QCOMPARE(window.patch().name, std::string("Clean Lead"));
        QVERIFY(m_fixture->dialogs.messages.isEmpty());
        CompareWindow *compare = CompareWindows().front();
        QVERIFY(compare->isVisible());
        QVERIFY(FindChild<QLabel>(compare, "compareSideA")->text().contains(QStringLiteral("Clean Lead")));
        CheckMarks(compare, kSamples / "Clean Lead.rp350p", kSamples / "Metal Rhythm.rp350p");
        // Loading another patch in the main window leaves the comparison as it was.
        ClickRow(PatchList(), 6);
        QCOMPARE(window.patch().name, std::string("Rotary Organ"));
        CheckMarks(compare, kSamples / "Clean Lead.rp350p", kSamples / "Metal Rhythm.rp350p");
    }

    void aFileDroppedWithCtrlIsComparedAndAnEqualCopyShowsTheSame() {
        QTemporaryDir folder;
        const auto copy = PathFromQString(folder.path()) / "copy.rp350p";
        std::filesystem::copy_file(kSamples / "Octave Fuzz.rp350p", copy);
        Window().LoadPatchFile(kSamples / "Octave Fuzz.rp350p");
        Drop(&Window(), copy, Qt::ControlModifier);
        QCOMPARE(CompareWindows().size(), 1);
        QCOMPARE(PathBytes(Window().patch().path), PathBytes(kSamples / "Octave Fuzz.rp350p")); // not loaded
        CompareWindow *compare = CompareWindows().front();
        QCOMPARE(FindChild<QLabel>(compare, "compareSummary")->text(),
                 QStringLiteral("The two patches show the same."));
        CheckMarks(compare, kSamples / "Octave Fuzz.rp350p", copy);
    }

    // A side that cannot be compared says why; before any patch is on screen, there is nothing to compare.
    void nothingOrARefusedFileIsNotCompared() {
        Window().ListPatchFolder(kSamples);
        ClickRow(PatchList(), 0, Qt::LeftButton, Qt::ControlModifier);
        QTRY_COMPARE(m_fixture->dialogs.messages, QStringList{"First Load a Patch!"});
        QTemporaryDir folder;
        const auto newer = PathFromQString(folder.path()) / "newer.rp350p";
        WriteBytes(newer, "x\r\n<R SchemaVersion=\"1.3\">\r\n");
        Window().LoadPatchFile(kSamples / "Clean Lead.rp350p");
        Window().ComparePatchFile(newer);
        QCOMPARE(m_fixture->dialogs.messages.size(), 2);
        QVERIFY(m_fixture->dialogs.messages.back().contains(QStringLiteral("Wrong Schema Version!: 1.3")));
        QVERIFY(CompareWindows().isEmpty());
    }
};

} // namespace patchlens

int main(int argc, char **argv) {
    return patchlens::RunOffscreen<patchlens::CompareTest>(argc, argv);
}

#include "compare_test.moc"
