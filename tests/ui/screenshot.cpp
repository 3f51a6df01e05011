// Renders the main window to a PNG, for a look at the layout (`make screenshot`, offscreen):
//   patchlens_screenshot OUT.png [FOLDER] [FILE]

#include <QApplication>
#include <QPixmap>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <cstdio>

#include "recording_dialogs.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc < 2) {
        std::fputs("usage: patchlens_screenshot OUT.png [FOLDER] [FILE]\n", stderr);
        return 2;
    }
    QTemporaryDir data;
    patchlens::test::RecordingDialogs dialogs;
    const auto folder = patchlens::PathFromQString(data.path());
    patchlens::MainWindow window(dialogs, {folder, folder, {}});
    window.show();
    for (int i = 2; i < argc; ++i)
        window.OpenPath(patchlens::PathFromBytes(argv[i]));
    QApplication::processEvents();
    if (window.grab().save(QString::fromLocal8Bit(argv[1])))
        return 0;
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
}
