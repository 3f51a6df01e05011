#pragma once
// Every dialog, message box and outside program the windows use goes through this one small
// interface, so that tests can replace it with a recorder and never block on a modal window.

#include <QString>
#include <QtGlobal>

class QPrinter;
class QWidget;

namespace patchlens {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box captioned "Patchlens" with an OK button only, owned by `owner` and raised.
    // The text is shown as plain text, never as rich text.
    virtual void ShowMessage(QWidget *owner, const QString &text) = 0;

    // A question with OK and Cancel, captioned `caption`, no icon. True for OK; Cancel and
    // closing the box give false.
    virtual bool AskOkCancel(QWidget *owner, const QString &caption, const QString &text) = 0;

    // The open dialog for one patch file, starting in `startFolder` (the system's choice when
    // empty). The chosen full path, or the empty text when cancelled.
    virtual QString ChoosePatchFile(QWidget *owner, const QString &startFolder) = 0;

    // The folder picker. The chosen folder, or the empty text when cancelled.
    virtual QString PickFolder(QWidget *owner, const QString &title, const QString &startFolder) = 0;

    // The save dialog for a PNG image, suggesting `suggested` (a full path); it asks before
    // replacing a file and adds ".png" to a name without an extension. The chosen full path, or
    // the empty text when cancelled.
    virtual QString ChooseImageFile(QWidget *owner, const QString &suggested) = 0;

    // The save dialog for another kind of file: captioned `caption`, suggesting `suggested` (a
    // full path), offering the file types of `filters` (as "CSV (*.csv);;JSON (*.json)"); it asks
    // before replacing a file. The chosen full path, or the empty text when cancelled.
    virtual QString ChooseSaveFile(QWidget *owner, const QString &caption, const QString &suggested,
                                   const QString &filters) = 0;

    // The print dialog on `printer`, which keeps the choices made in it. True when the user
    // confirms; false when cancelled.
    virtual bool ChoosePrinter(QWidget *owner, QPrinter &printer) = 0;

    // Opens a document with the system's handler (the help file). False when the system has no
    // program for documents of its kind or could not start it.
    virtual bool OpenDocument(const QString &path) = 0;

    // Shows the built-in help window.
    virtual void ShowBuiltInHelp(QWidget *owner) = 0;
};

// The real dialogs of Qt and the desktop.
class QtDialogs : public Dialogs {
public:
    QtDialogs() = default;
    Q_DISABLE_COPY(QtDialogs)

    void ShowMessage(QWidget *owner, const QString &text) override;
    bool AskOkCancel(QWidget *owner, const QString &caption, const QString &text) override;
    QString ChoosePatchFile(QWidget *owner, const QString &startFolder) override;
    QString PickFolder(QWidget *owner, const QString &title, const QString &startFolder) override;
    QString ChooseImageFile(QWidget *owner, const QString &suggested) override;
    QString ChooseSaveFile(QWidget *owner, const QString &caption, const QString &suggested,
                           const QString &filters) override;
    bool ChoosePrinter(QWidget *owner, QPrinter &printer) override;
    bool OpenDocument(const QString &path) override;
    void ShowBuiltInHelp(QWidget *owner) override;
};

} // namespace patchlens
