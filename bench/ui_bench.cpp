// The window's speed on the offscreen platform: loading and showing one sample patch (read,
// decode, update the fifteen panels), and building and showing the main window.

#include <QApplication>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

#include "toolkit/dialogs.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

namespace patchlens {

class NoDialogs : public Dialogs {
public:
    void ShowMessage(QWidget *, const QString &) override {}
    QString ChoosePatchFile(QWidget *, const QString &) override { return {}; }
    QString PickFolder(QWidget *, const QString &, const QString &) override { return {}; }
    void OpenDocument(const QString &) override {}
    void ShowBuiltInHelp(QWidget *) override {}
};

class UiBench : public QObject {
    Q_OBJECT

private slots:
    void loadAndShowSamplePatch() {
        QTemporaryDir data;
        NoDialogs dialogs;
        const auto folder = PathFromQString(data.path());
        MainWindow window(dialogs, {folder, folder});
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

    void constructAndShowMainWindow() {
        QTemporaryDir data;
        NoDialogs dialogs;
        const auto folder = PathFromQString(data.path());
        QBENCHMARK {
            MainWindow window(dialogs, {folder, folder});
            window.show();
            QApplication::processEvents();
        }
    }
};

}  // namespace patchlens

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    patchlens::UiBench bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "ui_bench.moc"
