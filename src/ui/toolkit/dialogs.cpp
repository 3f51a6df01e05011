#include "toolkit/dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
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

bool QtDialogs::ChoosePrinter(QWidget *owner, QPrinter &printer) {
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

void QtDialogs::OpenDocument(const QString &path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDialogs::ShowBuiltInHelp(QWidget *owner) {
    HelpWindow::ShowFor(owner);
}

} // namespace patchlens
