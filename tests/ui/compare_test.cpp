// The compare window: opened by Ctrl with a click in the patch list (or by a file dropped with Ctrl
// held) without touching the main window, its marks for a known pair, "Show only differences", and
// its independence from what the main window loads afterwards.

#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

#include "compare/compare_window.h"
#include "ui_test_support.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

using test::ClickRow;
using test::kSamples;

class CompareTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::WindowFixture> m_fixture;

    MainWindow &Window() { return m_fixture->Window(); }
    QListWidget *PatchList() { return m_fixture->Find<QListWidget>("patchList"); }
    QList<CompareWindow *> CompareWindows() { return Window().findChildren<CompareWindow *>(); }

    void ControlClickRow(QListWidget *list, int row) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, at);
    }

    template <typename T>
    static T *Part(CompareWindow *window, const char *kind, Module module, int row = -1) {
        QString name = QStringLiteral("compare.") + QLatin1String(kind) + QLatin1Char('.') +
                       ToQString(InfoOf(module).name);
        if (row >= 0)
            name += QLatin1Char('.') + QString::number(row);
        T *part = window->findChild<T *>(name);
        if (part == nullptr)
            qFatal("no %s", qPrintable(name));
        return part;
    }

    // Every mark and line of the window says what the comparison of the two files says.
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
    }

private slots:
    void init() { m_fixture = std::make_unique<test::WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void controlClickComparesWithoutTouchingTheMainWindow() {
        MainWindow &window = Window();
        window.ListPatchFolder(kSamples);
        ClickRow(PatchList(), 1);        // Clean Lead on screen
        ControlClickRow(PatchList(), 4); // Metal Rhythm
        QTRY_COMPARE(CompareWindows().size(), 1);
        QCOMPARE(PatchList()->currentRow(), 1);
        QCOMPARE(window.patch().name, std::string("Clean Lead"));
        QVERIFY(m_fixture->dialogs.messages.isEmpty());
        CompareWindow *compare = CompareWindows().front();
        QVERIFY(compare->isVisible());
        CheckMarks(compare, kSamples / "Clean Lead.rp350p", kSamples / "Metal Rhythm.rp350p");
        QVERIFY(compare->findChild<QLabel *>(QStringLiteral("compareSideA"))
                    ->text()
                    .contains(QStringLiteral("Clean Lead")));

        // Loading another patch in the main window leaves the comparison as it was.
        ClickRow(PatchList(), 6);
        QCOMPARE(window.patch().name, std::string("Rotary Organ"));
        CheckMarks(compare, kSamples / "Clean Lead.rp350p", kSamples / "Metal Rhythm.rp350p");

        // Only the modules that differ stay.
        compare->findChild<QCheckBox *>(QStringLiteral("compareOnlyDifferences"))->click();
        const PatchComparison expected = ComparePatches(DecodeFresh(kSamples / "Clean Lead.rp350p").patch,
                                                        DecodeFresh(kSamples / "Metal Rhythm.rp350p").patch);
        for (const ComparedModule &module : expected.modules)
            QCOMPARE(Part<QWidget>(compare, "module", module.module)->isVisibleTo(compare), module.differs);
    }

    void aFileDroppedWithCtrlIsComparedAndAnEqualCopyShowsTheSame() {
        QTemporaryDir folder;
        const auto copy = PathFromQString(folder.path()) / "copy.rp350p";
        std::filesystem::copy_file(kSamples / "Octave Fuzz.rp350p", copy);
        MainWindow &window = Window();
        window.LoadPatchFile(kSamples / "Octave Fuzz.rp350p");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(PathForDialog(copy))});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(CompareWindows().size(), 1);
        QCOMPARE(PathBytes(window.patch().path), PathBytes(kSamples / "Octave Fuzz.rp350p")); // not loaded
        CompareWindow *compare = CompareWindows().front();
        QCOMPARE(compare->findChild<QLabel *>(QStringLiteral("compareSummary"))->text(),
                 QStringLiteral("The two patches show the same."));
        CheckMarks(compare, kSamples / "Octave Fuzz.rp350p", copy);
    }

    // A side that cannot be compared says why; before any patch is on screen, there is nothing to compare.
    void nothingOrARefusedFileIsNotCompared() {
        MainWindow &window = Window();
        window.ListPatchFolder(kSamples);
        ControlClickRow(PatchList(), 0);
        QTRY_COMPARE(m_fixture->dialogs.messages, QStringList{"First Load a Patch!"});
        QTemporaryDir folder;
        const auto newer = PathFromQString(folder.path()) / "newer.rp350p";
        test::WriteBytes(newer, "x\r\n<R SchemaVersion=\"1.3\">\r\n");
        window.LoadPatchFile(kSamples / "Clean Lead.rp350p");
        window.ComparePatchFile(newer);
        QCOMPARE(m_fixture->dialogs.messages.size(), 2);
        QVERIFY(m_fixture->dialogs.messages.back().contains(QStringLiteral("Wrong Schema Version!: 1.3")));
        QVERIFY(CompareWindows().isEmpty());
    }
};

} // namespace patchlens

int main(int argc, char **argv) {
    return patchlens::test::RunOffscreen<patchlens::CompareTest>(argc, argv);
}

#include "compare_test.moc"
