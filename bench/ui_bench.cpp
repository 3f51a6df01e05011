// The window's speed on the offscreen platform: loading and showing one sample patch (read,
// decode, update the fifteen panels), and building and showing the main window.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "library/library_group.h"
#include "toolkit/dialogs.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

namespace patchlens {

class NoDialogs : public Dialogs {
public:
    void ShowMessage(QWidget *, const QString &) override {}
    bool AskOkCancel(QWidget *, const QString &, const QString &) override { return true; }
    QString ChoosePatchFile(QWidget *, const QString &) override { return {}; }
    QString PickFolder(QWidget *, const QString &, const QString &) override { return {}; }
    QString ChooseImageFile(QWidget *, const QString &) override { return {}; }
    QString ChooseSaveFile(QWidget *, const QString &, const QString &, const QString &) override {
        return {};
    }
    bool ChoosePrinter(QWidget *, QPrinter &) override { return false; }
    bool OpenDocument(const QString &) override { return true; }
    void ShowBuiltInHelp(QWidget *) override {}
};

class UiBench : public QObject {
    Q_OBJECT

private slots:
    void loadAndShowSamplePatch() {
        QTemporaryDir data;
        NoDialogs dialogs;
        const auto folder = PathFromQString(data.path());
        MainWindow window(dialogs, {folder, folder, {}});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const std::filesystem::path samples = PATCHLENS_SAMPLES;
        bool flip = false;
        QBENCHMARK {
            // Alternate two patches so that every pass changes every panel.
            window.LoadPatchFile(samples / (flip ? "Clean Lead.rp350p" : "Metal Rhythm.rp350p"));
            flip = !flip;
            QApplication::processEvents();
        }
    }

    // A library of 10,000 entries, all of one module: choosing that module, and adding an entry.
    void libraryOf10000Entries_data() {
        QTest::addColumn<bool>("adding");
        QTest::newRow("choose module") << false;
        QTest::newRow("add entry") << true;
    }
    void libraryOf10000Entries() {
        QFETCH(bool, adding);
        QTemporaryDir data;
        const auto folder = PathFromQString(data.path());
        std::string library;
        for (int i = 0; i < 10000; ++i)
            library += "Delay,Setting " + std::to_string(i) + ",ALGDLY,= 450 ms,REPEAT= 8,,,DLYLVL= 35,\r\n";
        std::ofstream(folder / "LibraryRP350.dat", std::ios::binary) << library;
        NoDialogs dialogs;
        MainWindow window(dialogs, {folder, folder, {}});
        window.show();
        window.LoadPatchFile(std::filesystem::path(PATCHLENS_SAMPLES) / "Clean Lead.rp350p");
        auto *selector = window.findChild<QComboBox *>(QStringLiteral("libraryModuleSelector"));
        auto *name = window.findChild<QLineEdit *>(QStringLiteral("libraryNameField"));
        selector->setCurrentIndex(selector->findText(QStringLiteral("Delay")));
        window.library().ReloadNames();
        int added = 0;
        QBENCHMARK {
            if (adding) {
                name->setText(QStringLiteral("New %1").arg(++added));
                window.library().AddSetting();
            } else {
                window.library().ReloadNames();
            }
        }
    }

    void constructAndShowMainWindow() {
        QTemporaryDir data;
        NoDialogs dialogs;
        const auto folder = PathFromQString(data.path());
        QBENCHMARK {
            MainWindow window(dialogs, {folder, folder, {}});
            window.show();
            QApplication::processEvents();
        }
    }
};

} // namespace patchlens

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    patchlens::UiBench bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "ui_bench.moc"
