// Printing the patch sheet: the refusal before a load, the print dialog and its kept settings,
// and the sheet as it comes out, as PDF text and as pixels, from the window and the command line.
// The patch as a picture to share: the window's own panels, saved, copied and written alike.

#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

#include <QAction>
#include <QClipboard>
#include <QLabel>

#include "compare/compare_window.h"
#include "image/patch_picture.h"
#include "print/sheet_printer.h"
#include "ui_test_support.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

using namespace test;

namespace {

// The PDF's pages and text are read with poppler-utils, which the Windows build has not: there only
// the start of the file is looked at.
#ifdef _WIN32
#define SKIP_WITHOUT_PDF_TOOLS()                                                                             \
    QSKIP("no pdfinfo or pdftotext here: the PDF's pages and text are checked on Linux")
#else
#define SKIP_WITHOUT_PDF_TOOLS()
#endif

QString RunTool(const char *tool, const QStringList &arguments) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty())
        qFatal("%s is missing; `make test` installs it (Debian package poppler-utils)", tool);
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page of a PDF, laid out as printed (pdftotext ends each page with a form feed).
QStringList PdfPages(const QString &pdf) {
    QStringList pages =
        RunTool("pdftotext", {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).split('\f');
    pages.removeLast();
    return pages;
}

// What a widget paints at `scale` pixels per pixel, as plain pixels.
QImage Painted(QWidget *widget, qreal scale) {
    QImage image((QSizeF(widget->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::magenta);
    widget->render(&image);
    image.setDevicePixelRatio(1);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage Part(const QImage &image, const QRect &rect) {
    QImage part = image.copy(rect);
    part.setDevicePixelRatio(1);
    return part.convertToFormat(QImage::Format_RGB32);
}

bool HasColour(const QImage &image, const QColor &colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

bool IsPdf(const QString &path) {
    return ReadBytes(PathFromQString(path)).rfind("%PDF-", 0) == 0;
}

} // namespace

class PrintTest : public WindowTest {
    Q_OBJECT

private:
    void Print() { QTest::mouseClick(Find<QPushButton>("printPatchButton"), Qt::LeftButton); }
    QString PdfPath(const char *name) const { return m_fixture->data.filePath(QString::fromLatin1(name)); }

private slots:
    // Before a load there is nothing to print. The sheet comes out as one landscape page; Cancel
    // prints nothing, and the next dialog shows the printer as the user left it.
    void theSheetComesOutAsOneLandscapePage() {
        Print();
        QCOMPARE(Dialogs().messages, QStringList{"No Patch Loaded!"});
        QVERIFY(Dialogs().printDialogs.empty());
        Window().LoadPatchFile(kSamples / "Clean Lead.rp350p");
        Print(); // cancelled
        QVERIFY(!QFile::exists(PdfPath("sheet.pdf")));
        QCOMPARE(Dialogs().printDialogs.front()->pageLayout().orientation(), QPageLayout::Landscape);
        Dialogs().printAnswers = {PdfPath("sheet.pdf"), PdfPath("portrait.pdf")};
        Print();
        QCOMPARE(Dialogs().printDialogs.front()->docName(), QStringLiteral("Digitech RP350 Patch"));
        Dialogs().printDialogs.front()->setPageOrientation(QPageLayout::Portrait); // the user's choice
        Print();
        QCOMPARE(Dialogs().printDialogs.size(), std::size_t{3});
        QCOMPARE(Dialogs().printDialogs[2], Dialogs().printDialogs[0]);
        QCOMPARE(Dialogs().printDialogs[2]->pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(Dialogs().messages.size(), 1);
        QVERIFY(IsPdf(PdfPath("sheet.pdf")));
        SKIP_WITHOUT_PDF_TOOLS();
        const QStringList pages = PdfPages(PdfPath("sheet.pdf"));
        QCOMPARE(pages.size(), 1);
        QVERIFY2(
            pages[0].contains(QRegularExpression(QStringLiteral("Patch Name: Clean Lead +PATCH NUMBER: 01"))),
            qPrintable(pages[0]));
        // On portrait paper the whole sheet shrinks to fit the page's width.
        const QString portrait = PdfPages(PdfPath("portrait.pdf")).value(0);
        for (const char *expected : {"Patch Location: ", "Clean Lead.rp350p", "Amplifier A___", "65TWIN",
                                     "TWN212", "LFO 2_______", "NOLINK", "Printed with Patchlens 1.21"}) {
            QVERIFY2(pages[0].contains(QString::fromLatin1(expected)), expected);
            QVERIFY2(portrait.contains(QString::fromLatin1(expected)), expected);
        }
    }

    // A long path keeps the whole location readable on the page, measured with the fonts the sheet
    // is really painted in.
    void theLocationFitsThePageInTheFontsOfTheSheet() {
        std::string path = "/home/guitarist";
        for (int i = 0; i < 12; ++i)
            path += "/a rather long folder name " + std::to_string(i);
        int lines = 0;
        for (const SheetText &text :
             BuildPatchSheet({ModulePanels(), "x", "01", path + "/Clean.rp350p"}).texts) {
            if (text.font != SheetFont::Location)
                continue;
            ++lines;
            const QFontMetrics metrics(SheetTextFont(text));
            QVERIFY(text.x + metrics.horizontalAdvance(ToQString(text.text)) <= kSheetRight);
            QVERIFY(text.y + metrics.height() <= kBlocksTop);
        }
        QVERIFY(lines > 1);
    }

    // The number field takes what Windows-1252 holds, as the names do, and prints it as typed
    // beside a name stored in Windows-1252.
    void typedTextPrintsAsTyped() {
        std::string patch = ReadBytes(kSamples / "Clean Lead.rp350p");
        patch.replace(patch.find("Clean Lead"), 10, "Caf\xE9");
        WriteBytes(DataFolder() / "cafe.rp350p", patch);
        Window().LoadPatchFile(DataFolder() / "cafe.rp350p");
        auto *number = Find<QLineEdit>("patchNumberField");
        number->clear();
        TypeText(number, QString::fromUtf8("\xE2\x82\xAC\xE2\x9C\x93\xC3\xA9")); // "€✓é": no tick there
        QCOMPARE(number->text(), QString::fromUtf8("\xE2\x82\xAC\xC3\xA9"));
        Dialogs().printAnswers = {PdfPath("typed.pdf")};
        Print();
        QVERIFY(IsPdf(PdfPath("typed.pdf")));
        SKIP_WITHOUT_PDF_TOOLS();
        const QString text = PdfPages(PdfPath("typed.pdf")).value(0);
        QVERIFY2(text.contains(QString::fromUtf8("Caf\xC3\xA9")), qPrintable(text));
        QVERIFY2(text.contains(QString::fromUtf8("PATCH NUMBER: \xE2\x82\xAC\xC3\xA9")), qPrintable(text));
    }

    // `patchlens --sheet-pdf` writes the pages the window prints, one per patch: a folder stands for
    // its patches in the patch list's order; a refused file is skipped with its reason and takes no
    // number; the numbers count on past 99; the PDF is named after the first folder; with no page
    // left there is no PDF.
    void theCommandLineWritesTheSamePages() {
        const std::filesystem::path data = DataFolder(), set = data / "Set List";
        std::filesystem::create_directories(set);
        WriteBytes(set / "B.rp350p", ReadBytes(kSamples / "Octave Fuzz.rp350p"));
        WriteBytes(set / "a.rp350p", ReadBytes(kSamples / "Clean Lead.rp350p"));
        WriteBytes(data / "newer.rp350p", "x\r\n<R SchemaVersion=\"1.3\">\r\n");
        auto run = [](const QStringList &arguments) {
            QProcess patchlens;
            patchlens.start(QStringLiteral(PATCHLENS_BINARY), QStringList{"--sheet-pdf"} + arguments);
            patchlens.waitForFinished(30000);
            return std::pair{patchlens.exitCode(), QString::fromUtf8(patchlens.readAllStandardError())};
        };
        QCOMPARE(run({PdfPath("one.pdf"), "--number", "42", PathToQString(kSamples / "Octave Fuzz.rp350p")}),
                 std::pair(0, QString()));
        const auto refused = run({PdfPath("none.pdf"), PathToQString(data / "newer.rp350p")});
        QCOMPARE(refused.first, 1);
        QVERIFY2(refused.second.contains(QStringLiteral("Wrong Schema Version!: 1.3")),
                 qPrintable(refused.second));
        QVERIFY(!QFile::exists(PdfPath("none.pdf")));
        const auto [status, errors] =
            run({PdfPath("set.pdf"), "--number", "98", PathToQString(set),
                 PathToQString(data / "newer.rp350p"), PathToQString(kSamples / "Metal Rhythm.rp350p")});
        QCOMPARE(status, 1);
        QVERIFY2(errors.contains(QStringLiteral("newer.rp350p: Wrong Schema Version!: 1.3")),
                 qPrintable(errors));
        QVERIFY(IsPdf(PdfPath("one.pdf")) && IsPdf(PdfPath("set.pdf")));
        SKIP_WITHOUT_PDF_TOOLS();
        const QStringList one = PdfPages(PdfPath("one.pdf"));
        QCOMPARE(one.size(), 1);
        for (const char *expected :
             {"PATCH NUMBER: 42", "Octave Fuzz", "CLASFZ", "OCT-OCT 2", "Printed with Patchlens 1.21"})
            QVERIFY2(one[0].contains(QString::fromLatin1(expected)), expected);
        const QStringList pages = PdfPages(PdfPath("set.pdf"));
        QCOMPARE(pages.size(), 3);
        const char *expected[][2] = {{"Clean Lead", "98"}, {"Octave Fuzz", "99"}, {"Metal Rhythm", "100"}};
        for (int k = 0; k < 3; ++k)
            QVERIFY2(
                pages[k].contains(QRegularExpression(QStringLiteral("Patch Name: %1 +PATCH NUMBER: %2\\n")
                                                         .arg(expected[k][0], expected[k][1]))) &&
                    pages[k].contains(QStringLiteral("page %1 of 3").arg(k + 1)),
                qPrintable(pages[k]));
        QVERIFY(RunTool("pdfinfo", {PdfPath("set.pdf")})
                    .contains(QRegularExpression(QStringLiteral("Title:\\s+Set List\n"))));
    }

    // The PDF is renamed over its name only once written whole: a write that fails (at a file size
    // limit here, as on a full disk) leaves the earlier file as it was and no other. Both programs
    // refuse a patch given as the PDF before writing anything.
    void aCollectionPdfReplacesAnEarlierFileOnlyWhenWhole() {
        const std::filesystem::path folder = DataFolder() / "pdf";
        std::filesystem::create_directories(folder);
        WriteBytes(folder / "set.pdf", "earlier");
        const QString pdf = PathToQString(folder / "set.pdf");
        const ModulePanels panels;
        const PatchSheet page = BuildPatchSheet({panels, "x", "01", "p"});
        auto write = [&] {
            return WriteSheetPdf(pdf, QStringLiteral("t"), 20, [&](std::size_t) { return page; });
        };
        auto entries = [&] {
            return std::distance(std::filesystem::directory_iterator(folder),
                                 std::filesystem::directory_iterator());
        };
#ifndef _WIN32
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 4096;
        const auto signalBefore = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const std::string error = write();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, signalBefore);
        QVERIFY(!error.empty());
        QCOMPARE(ReadBytes(folder / "set.pdf"), std::string("earlier"));
        QCOMPARE(entries(), 1);
#endif
        QCOMPARE(write(), std::string());
        QVERIFY(IsPdf(pdf));
        QCOMPARE(entries(), 1);
        WriteBytes(folder / "a.rp350p", ReadBytes(kSamples / "Clean Lead.rp350p"));
        QStringList programs{QStringLiteral(PATCHLENS_BINARY)};
#ifndef _WIN32
        // The front alone, without the window program beside it: it refuses before handing over.
        const QString front = PathToQString(DataFolder() / "patchlens");
        QVERIFY(QFile::copy(programs[0], front));
        programs =
            QStringList{front, QFileInfo(programs[0]).absolutePath() + QStringLiteral("/patchlens-window")};
#endif
        for (const QString &program : programs) {
            QProcess patchlens;
            patchlens.start(program,
                            {"--sheet-pdf", PathToQString(folder / "a.rp350p"), PathToQString(folder)});
            patchlens.waitForFinished(30000);
            QCOMPARE(patchlens.exitCode(), 2);
            QVERIFY(
                QString::fromUtf8(patchlens.readAllStandardError()).contains(QStringLiteral("not written")));
            QCOMPARE(ReadBytes(folder / "a.rp350p"), ReadBytes(kSamples / "Clean Lead.rp350p"));
        }
    }

    // Each lamp and panel of the picture is what the window's own lamp and list paint at that
    // scale, in its place; the lamps of the modules that are on, and only those, show the on colour.
    void thePictureIsThePanelsTheWindowDraws() {
        MainWindow &window = Window();
        window.LoadPatchFile(kSamples / "Clean Lead.rp350p");
        if (QWidget *focused = QApplication::focusWidget())
            focused->clearFocus(); // a focus mark is the window's, not the patch's
        for (const qreal scale : {1.0, 2.0, 3.0}) {
            const QImage picture = window.PatchImage(scale);
            QCOMPARE(picture.size(), (QSizeF(595, 474) * scale).toSize());
            for (const ModuleInfo &info : Modules()) {
                QLabel *lamp = window.panelViews().lamp(info.module);
                for (QWidget *widget : {static_cast<QWidget *>(lamp),
                                        static_cast<QWidget *>(window.panelViews().list(info.module))}) {
                    const QImage own = Painted(widget, scale);
                    const QPoint at = PatchPicture::FromClient(widget->geometry().topLeft()) * scale;
                    QVERIFY2(Part(picture, QRect(at, own.size())) == own, widget->objectName().toLatin1());
                }
                const QImage shownLamp = Part(picture, QRect(PatchPicture::FromClient(lamp->pos()) * scale,
                                                             Painted(lamp, scale).size()));
                QCOMPARE(HasColour(shownLamp, kLampOnColour), window.patch().panels[IndexOf(info.module)].lampOn);
            }
        }
    }

    void aPictureIsSavedOrCopiedOfThePatchOnScreenOnly() {
        MainWindow &window = Window();
        auto *save = Find<QAction>("saveImageAction");
        save->trigger();
        QCOMPARE(Dialogs().messages, QStringList{QStringLiteral("No Patch Loaded!")});
        QVERIFY(Dialogs().imageRequests.isEmpty());

        const auto patch = DataFolder() / "Clean Lead.rp350p";
        WriteBytes(patch, ReadBytes(kSamples / "Clean Lead.rp350p"));
        window.LoadPatchFile(patch);
        const QString png = PathToQString(DataFolder() / "shared.png");
        Dialogs().imageAnswers = {png, PathToQString(patch), QString()};
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(Dialogs().imageRequests, QStringList{PathToQString(DataFolder() / "Clean Lead.png")});
        const QImage expected = window.PatchImage(2);
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), expected);
        // A patch's name is refused, whatever the dialog allowed; a cancel writes nothing.
        save->trigger();
        QCOMPARE(Dialogs().messages.size(), 2);
        QVERIFY2(Dialogs().messages.back().contains(QStringLiteral("is not written: the name of a patch file")),
                 qPrintable(Dialogs().messages.back()));
        QCOMPARE(ReadBytes(patch), ReadBytes(kSamples / "Clean Lead.rp350p"));
        save->trigger();
        QCOMPARE(std::distance(std::filesystem::directory_iterator(DataFolder()), {}), 2);

        // Ctrl+C copies the picture while a panel has the focus, and only then.
        QGuiApplication::clipboard()->clear();
        Find<QListWidget>("patchList")->setFocus();
        QTest::keyClick(Find<QListWidget>("patchList"), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->image().isNull());
        QListWidget *delay = window.panelViews().list(Module::Delay);
        delay->setFocus();
        QTest::keyClick(delay, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), expected);
    }

    // `--image` writes the picture the window saves; a refused patch, or a patch's name as the
    // output, writes nothing.
    void theCommandLineWritesTheSamePicture() {
        MainWindow &window = Window();
        window.LoadPatchFile(kSamples / "Metal Rhythm.rp350p");
        WriteBytes(DataFolder() / "newer.rp350p", "x\r\n<R SchemaVersion=\"1.3\">\r\n");
        auto run = [](const QStringList &arguments) {
            QProcess patchlens;
            patchlens.start(QStringLiteral(PATCHLENS_BINARY), arguments);
            patchlens.waitForFinished(30000);
            return std::pair{patchlens.exitCode(), QString::fromUtf8(patchlens.readAllStandardError())};
        };
        const QString png = PathToQString(DataFolder() / "metal.png");
        const QString sample = PathToQString(kSamples / "Metal Rhythm.rp350p");
        QCOMPARE(run({"--image", png, "--scale", "1", sample}), std::pair(0, QString()));
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), window.PatchImage(1));
        QCOMPARE(run({"--image", png, sample}), std::pair(0, QString()));
        QCOMPARE(QImage(png).size(), QSize(1190, 948));

        const QString refused = PathToQString(DataFolder() / "refused.png");
        const auto newer = run({"--image", refused, PathToQString(DataFolder() / "newer.rp350p")});
        QCOMPARE(newer.first, 1);
        QVERIFY2(newer.second.contains(QStringLiteral("Wrong Schema Version!: 1.3")), qPrintable(newer.second));
        const auto overPatch = run({"--image", PathToQString(DataFolder() / "newer.rp350p"), sample});
        QCOMPARE(overPatch.first, 2);
        QVERIFY(!QFile::exists(refused));
        QCOMPARE(ReadBytes(DataFolder() / "newer.rp350p"), std::string("x\r\n<R SchemaVersion=\"1.3\">\r\n"));
        QCOMPARE(run({"--image", png, "--scale", "9", sample}).first, 2);
    }

    // The compare window's picture: whole in five columns at any window size, saved and copied
    // from the window, and the same from `--compare-image`.
    void theComparisonIsSharedAsAPictureToo() {
        MainWindow &window = Window();
        const auto a = kSamples / "Clean Lead.rp350p", b = kSamples / "Metal Rhythm.rp350p";
        window.LoadPatchFile(a);
        window.ComparePatchFile(b);
        CompareWindow *compare = window.findChild<CompareWindow *>();
        QVERIFY(compare != nullptr);
        compare->resize(300, 200); // scrolls on screen; the picture does not
        const QImage picture = compare->Picture(1);
        QCOMPARE(compare->Picture(2).size(), picture.size() * 2);
        QVERIFY2(picture.width() > 5 * 200 && picture.height() > 3 * 120,
                 qPrintable(QStringLiteral("%1 x %2").arg(picture.width()).arg(picture.height())));

        const QString png = PathToQString(DataFolder() / "compared.png");
        Dialogs().imageAnswers = {png};
        Find<QAction>("compareSaveImageAction")->trigger();
        QCOMPARE(Dialogs().imageRequests, QStringList{PathToQString(kSamples / "Clean Lead vs Metal Rhythm.png")});
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), compare->Picture(2));
        QGuiApplication::clipboard()->clear();
        compare->findChild<QAction *>(QStringLiteral("compareCopyImageAction"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), compare->Picture(2));

        QProcess patchlens;
        patchlens.start(QStringLiteral(PATCHLENS_BINARY),
                        {"--compare-image", png, "--scale", "1", PathToQString(a), PathToQString(b)});
        patchlens.waitForFinished(30000);
        QCOMPARE(patchlens.exitCode(), 0);
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), picture);
    }

    void onRowsPrintBlackAndOffRowsGrey() {
        MainWindow &window = Window();
        window.LoadPatchFile(kSamples / "Clean Lead.rp350p"); // Compressor on, Distortion off
        const PatchSheet sheet = BuildPatchSheet({window.patch().panels, window.patch().name, "01", "p"});
        constexpr double scale = 0.25; // 150 dpi
        QImage image(static_cast<int>(6000 * scale), static_cast<int>(4500 * scale), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PaintSheet(painter, sheet, scale);
        }
        // The darkest grey level (0 black, 255 white) in a row of a block, given in sheet units.
        auto row = [&](int left, int top) {
            int darkest = 255;
            for (int y = static_cast<int>(top * scale); y < static_cast<int>((top + 90) * scale); ++y)
                for (int x = static_cast<int>(left * scale); x < static_cast<int>((left + 500) * scale); ++x)
                    darkest = std::min(darkest, qGray(image.pixel(x, y)));
            return darkest;
        };
        QVERIFY(row(2010, 735) < 60);   // "DIGCMP", black
        const int off = row(3010, 735); // "SCREAM", grey
        QVERIFY2(off >= 170 && off <= 200, qPrintable(QString::number(off)));
        QVERIFY(row(3010, 1235) < 255); // grey text is there
        QCOMPARE(row(3010, 1035), 255); // an empty row: nothing drawn
        QCOMPARE(qGray(image.pixel(static_cast<int>(3000 * scale), static_cast<int>(1200 * scale))),
                 0); // the box
    }
};

} // namespace patchlens

PATCHLENS_UI_TEST_MAIN(PrintTest)

#include "print_test.moc"
