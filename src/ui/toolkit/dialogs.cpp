#include "toolkit/dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QUrl>

#include "help/help_window.h"

namespace patchlens {

void QtDialogs::ShowMessage(QWidget *owner, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Patchlens"), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.raise();
    box.activateWindow();
    box.exec();
}

bool QtDialogs::AskOkCancel(QWidget *owner, const QString &caption, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, owner);
    box.setTextFormat(Qt::PlainText);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QString QtDialogs::ChoosePatchFile(QWidget *owner, const QString &startFolder) {
    return QFileDialog::getOpenFileName(owner, QString(), startFolder,
                                        QStringLiteral("RP350 Patch (*.rp350p)"));
}

QString QtDialogs::PickFolder(QWidget *owner, const QString &title, const QString &startFolder) {
    return QFileDialog::getExistingDirectory(owner, title, startFolder);
}

QString QtDialogs::ChooseImageFile(QWidget *owner, const QString &suggested) {
    QFileDialog dialog(owner, QStringLiteral("Save Image"), suggested, QStringLiteral("PNG image (*.png)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString QtDialogs::ChooseSaveFile(QWidget *owner, const QString &caption, const QString &suggested,
                                  const QString &filters) {
    QFileDialog dialog(owner, caption, suggested, filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

bool QtDialogs::ChoosePrinter(QWidget *owner, QPrinter &printer) {
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

namespace {

// Whether the desktop names a program for documents of this kind. The freedesktop opener starts
// in any case and fails later, out of sight, so it is asked first.
bool DesktopHasHandlerFor([[maybe_unused]] const QString &path) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QMimeDatabase().mimeTypeForFile(path).name()});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
#else
    return true; // the system's own opener reports the failure itself
#endif
}

} // namespace

bool QtDialogs::OpenDocument(const QString &path) {
    return DesktopHasHandlerFor(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDialogs::ShowBuiltInHelp(QWidget *owner) {
    HelpWindow::ShowFor(owner);
}

} // namespace patchlens
