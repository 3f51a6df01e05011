// Printing the patch sheet: the refusal before a load, the print dialog and its kept settings,
// and the sheet as it comes out, as PDF text and as pixels.

#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include "print/sheet_printer.h"
#include "ui_test_support.h"

namespace patchlens {

using test::kSamples;

namespace {

QString RunTool(const QString &tool, const QStringList &arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        qFatal("%s is missing; `make test` installs it (Debian package poppler-utils)", qPrintable(tool));
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The PDF's pages and text are read with poppler-utils, which the Windows build has not: there only
// the start of the file is looked at.
#ifdef _WIN32
constexpr bool kPdfTools = false;
#else
constexpr bool kPdfTools = true;
#endif
constexpr const char *kNoPdfTools =
    "no pdfinfo or pdftotext here: the PDF's pages and text are checked on Linux";

bool IsPdf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-";
}

// The darkest grey level (0 black, 255 white) in a rectangle of the image.
int Darkest(const QImage &image, const QRect &rect) {
    int darkest = 255;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

} // namespace

class PrintTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::WindowFixture> m_fixture;
    test::RecordingDialogs &Dialogs() { return m_fixture->dialogs; }
    void Print() { QTest::mouseClick(m_fixture->Find<QPushButton>("printPatchButton"), Qt::LeftButton); }
    QString PdfPath(const char *name) const { return m_fixture->data->filePath(QString::fromLatin1(name)); }

private slots:
    void init() { m_fixture = std::make_unique<test::WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void printingBeforeAnyLoadOpensNoDialog() {
        m_fixture->Window();
        Print();
        QCOMPARE(Dialogs().messages, QStringList{"No Patch Loaded!"});
        QVERIFY(Dialogs().printDialogs.empty());
    }

    void theSheetComesOutAsOneLandscapePage() {
        m_fixture->Window().LoadPatchFile(kSamples / "Clean Lead.rp350p");
        Dialogs().printAnswers = {PdfPath("sheet.pdf")};
        Print();
        QCOMPARE(Dialogs().printDialogs.size(), std::size_t{1});
        QCOMPARE(Dialogs().printDialogs.front()->pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(Dialogs().printDialogs.front()->docName(), QStringLiteral("Digitech RP350 Patch"));
        QVERIFY(IsPdf(PdfPath("sheet.pdf")));
        if (!kPdfTools)
            QSKIP(kNoPdfTools);
        const QString info = RunTool(QStringLiteral("pdfinfo"), {PdfPath("sheet.pdf")});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        const QString text = RunTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-layout"), PdfPath("sheet.pdf"), QStringLiteral("-")});
        QVERIFY2(
            text.contains(QRegularExpression(QStringLiteral("Patch Name: Clean Lead +PATCH NUMBER: 01"))),
            qPrintable(text));
        for (const char *expected : {"Patch Location: ", "Clean Lead.rp350p", "Amplifier A___", "65TWIN",
                                     "TWN212", "LFO 2_______", "NOLINK", "Printed with Patchlens 1.21"})
            QVERIFY2(text.contains(QString::fromLatin1(expected)), expected);
    }

    // A long path keeps the whole location readable on the page, measured with the fonts the sheet
    // is really painted in; a number typed as "é" prints as "é" beside a Windows-1252 name.
    void theLocationFitsThePageAndTypedTextPrintsAsTyped() {
        std::string path = "/home/guitarist";
        for (int i = 0; i < 12; ++i)
            path += "/a rather long folder name " + std::to_string(i);
        const ModulePanels panels;
        const PatchSheet sheet = BuildPatchSheet({panels, "x", "01", path + "/Clean.rp350p"});
        int lines = 0;
        for (const SheetText &text : sheet.texts) {
            if (text.font != SheetFont::Location)
                continue;
            ++lines;
            const QFontMetrics metrics(SheetTextFont(text));
            QVERIFY(text.x + metrics.horizontalAdvance(ToQString(text.text)) <= kSheetRight);
            QVERIFY(text.y + metrics.height() <= kBlocksTop);
        }
        QVERIFY(lines > 1);

        QTemporaryDir folder;
        const auto file = PathFromQString(folder.path()) / "cafe.rp350p";
        std::string patch = test::ReadBytes(kSamples / "Clean Lead.rp350p");
        patch.replace(patch.find("Clean Lead"), 10, "Caf\xE9");
        test::WriteBytes(file, patch);
        m_fixture->Window().LoadPatchFile(file);
        auto *number = m_fixture->Find<QLineEdit>("patchNumberField");
        number->clear();
        test::TypeText(number, QString::fromUtf8("\xC3\xA9\xE2\x82\xAC")); // "é€", Windows-1252 both
        QCOMPARE(number->text(), QString::fromUtf8("\xC3\xA9\xE2\x82\xAC"));
        number->clear();
        test::TypeText(number, QString::fromUtf8("\xE2\x82\xAC\xE2\x9C\x93")); // no Windows-1252 for a tick
        QCOMPARE(number->text(), QString::fromUtf8("\xE2\x82\xAC"));
        number->clear();
        test::TypeText(number, QString::fromUtf8("\xC3\xA9"));
        Dialogs().printAnswers = {PdfPath("typed.pdf")};
        Print();
        QVERIFY(IsPdf(PdfPath("typed.pdf")));
        if (!kPdfTools)
            QSKIP(kNoPdfTools);
        const QString text =
            RunTool(QStringLiteral("pdftotext"), {PdfPath("typed.pdf"), QStringLiteral("-")});
        QVERIFY2(text.contains(QString::fromUtf8("Patch Name: Caf\xC3\xA9")), qPrintable(text));
        QVERIFY2(text.contains(QString::fromUtf8("PATCH NUMBER: \xC3\xA9")), qPrintable(text));
    }

    void cancellingPrintsNothingAndTheNextDialogKeepsThePrinter() {
        m_fixture->Window().LoadPatchFile(kSamples / "Metal Rhythm.rp350p");
        Print(); // cancelled
        QVERIFY(!QFile::exists(PdfPath("sheet.pdf")));
        QCOMPARE(Dialogs().messages, QStringList{});
        Dialogs().printDialogs.front()->setPageOrientation(QPageLayout::Portrait); // the user's choice
        Dialogs().printAnswers = {PdfPath("sheet.pdf")};
        Print();
        QCOMPARE(Dialogs().printDialogs.size(), std::size_t{2});
        QCOMPARE(Dialogs().printDialogs[1], Dialogs().printDialogs[0]);
        QCOMPARE(Dialogs().printDialogs[1]->pageLayout().orientation(), QPageLayout::Portrait);
        QVERIFY(QFile::exists(PdfPath("sheet.pdf")));
    }

    void theCommandLineWritesTheSamePage() {
        QProcess patchlens;
        patchlens.start(QStringLiteral(PATCHLENS_BINARY),
                        {QStringLiteral("--sheet-pdf"), PdfPath("cli.pdf"), QStringLiteral("--number"),
                         QStringLiteral("42"), PathToQString(kSamples / "Octave Fuzz.rp350p")});
        QVERIFY(patchlens.waitForFinished(30000));
        QCOMPARE(patchlens.exitCode(), 0);
        QCOMPARE(patchlens.readAllStandardError(), QByteArray());
        QVERIFY(IsPdf(PdfPath("cli.pdf")));

        // A refused file writes nothing and says why.
        test::WriteBytes(m_fixture->DataFolder() / "newer.rp350p", "x\r\n<R SchemaVersion=\"1.3\">\r\n");
        patchlens.start(QStringLiteral(PATCHLENS_BINARY),
                        {QStringLiteral("--sheet-pdf"), PdfPath("refused.pdf"),
                         PathToQString(m_fixture->DataFolder() / "newer.rp350p")});
        QVERIFY(patchlens.waitForFinished(30000));
        QCOMPARE(patchlens.exitCode(), 1);
        QVERIFY(patchlens.readAllStandardError().contains("Wrong Schema Version!: 1.3"));
        QVERIFY(!QFile::exists(PdfPath("refused.pdf")));

        if (!kPdfTools)
            QSKIP(kNoPdfTools);
        QVERIFY(RunTool(QStringLiteral("pdfinfo"), {PdfPath("cli.pdf")})
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
        const QString text = RunTool(QStringLiteral("pdftotext"), {PdfPath("cli.pdf"), QStringLiteral("-")});
        for (const char *expected :
             {"PATCH NUMBER: 42", "Octave Fuzz", "CLASFZ", "OCT-OCT 2", "Printed with Patchlens 1.21"})
            QVERIFY2(text.contains(QString::fromLatin1(expected)), expected);
    }

    // A folder stands for its patches in the patch list's order; a refused file is skipped and takes
    // no number; the numbers count on past 99; the PDF is named after the first folder.
    void aCollectionIsOnePagePerPatchInTheOrderGiven() {
        const std::filesystem::path folder = m_fixture->DataFolder() / "Set List";
        std::filesystem::create_directories(folder);
        test::WriteBytes(folder / "B.rp350p", test::ReadBytes(kSamples / "Octave Fuzz.rp350p"));
        test::WriteBytes(folder / "a.rp350p", test::ReadBytes(kSamples / "Clean Lead.rp350p"));
        test::WriteBytes(m_fixture->DataFolder() / "newer.rp350p", "x\r\n<R SchemaVersion=\"1.3\">\r\n");
        QProcess patchlens;
        patchlens.start(QStringLiteral(PATCHLENS_BINARY),
                        {QStringLiteral("--sheet-pdf"), PdfPath("set.pdf"), QStringLiteral("--number"),
                         QStringLiteral("98"), PathToQString(folder),
                         PathToQString(m_fixture->DataFolder() / "newer.rp350p"),
                         PathToQString(kSamples / "Metal Rhythm.rp350p")});
        QVERIFY(patchlens.waitForFinished(30000));
        QCOMPARE(patchlens.exitCode(), 1);
        QVERIFY(patchlens.readAllStandardError().contains("newer.rp350p: Wrong Schema Version!: 1.3"));
        QVERIFY(IsPdf(PdfPath("set.pdf")));
        if (!kPdfTools)
            QSKIP(kNoPdfTools);
        const QString info = RunTool(QStringLiteral("pdfinfo"), {PdfPath("set.pdf")});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Title:\\s+Set List\\n"))),
                 qPrintable(info));
        const QStringList pages =
            RunTool(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), PdfPath("set.pdf"), QStringLiteral("-")})
                .split(QLatin1Char('\f')); // pdftotext ends each page with a form feed
        const char *expected[][2] = {{"Clean Lead", "98"}, {"Octave Fuzz", "99"}, {"Metal Rhythm", "100"}};
        for (int k = 0; k < 3; ++k)
            QVERIFY2(
                pages[k].contains(QRegularExpression(QStringLiteral("Patch Name: %1 +PATCH NUMBER: %2\\n")
                                                         .arg(expected[k][0], expected[k][1]))) &&
                    pages[k].contains(QStringLiteral("page %1 of 3").arg(k + 1)),
                qPrintable(pages[k]));
    }

    void onRowsPrintBlackAndOffRowsGrey() {
        MainWindow &window = m_fixture->Window();
        window.LoadPatchFile(kSamples / "Clean Lead.rp350p"); // Compressor on, Distortion off
        const PatchSheet sheet = BuildPatchSheet({window.patch().panels, window.patch().name, "01", "p"});
        constexpr double scale = 0.25; // 150 dpi
        QImage image(static_cast<int>(6000 * scale), static_cast<int>(4500 * scale), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PaintSheet(painter, sheet, scale);
        }
        auto region = [&](int x, int y) {
            return QRect(static_cast<int>(x * scale), static_cast<int>(y * scale),
                         static_cast<int>(500 * scale), static_cast<int>(90 * scale));
        };
        QVERIFY(Darkest(image, region(2010, 735)) < 60);   // "DIGCMP", black
        const int off = Darkest(image, region(3010, 735)); // "SCREAM", grey
        QVERIFY2(off >= 170 && off <= 200, qPrintable(QString::number(off)));
        QVERIFY(Darkest(image, region(3010, 1235)) < 255); // grey text is there
        QCOMPARE(Darkest(image, region(3010, 1035)), 255); // an empty row: nothing drawn
        QCOMPARE(qGray(image.pixel(static_cast<int>(3000 * scale), static_cast<int>(1200 * scale))),
                 0); // the box
    }
};

} // namespace patchlens

int main(int argc, char **argv) {
    return patchlens::test::RunOffscreen<patchlens::PrintTest>(argc, argv);
}

#include "print_test.moc"
