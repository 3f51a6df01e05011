#pragma once
// The library group of the main window: choose a module, see the names saved for it, save the
// module's current display lines under a name, remove or rename a saved setting, and look at the
// six rows stored for one. The library file is never lost: a file that cannot be read is never
// written, a write goes through a temporary file and an atomic rename, a failed write is
// reported, and a file changed by another program since it was read is not overwritten.

#include <QObject>
#include <QString>
#include <filesystem>
#include <string>

#include "library/library_file.h"
#include "patch/decode.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace patchlens {

class Dialogs;

class LibraryCommands : public QObject {
    Q_OBJECT

public:
    // Creates the group's controls on `client`; messages are owned by `owner`. Reads nothing yet.
    LibraryCommands(QWidget *client, QWidget *owner, Dialogs &dialogs, const Patch &patch,
                    std::filesystem::path libraryFile);
    Q_DISABLE_COPY(LibraryCommands)

    // Rebuilds the name list from a fresh read of the file (on a chosen module, and after changes).
    void ReloadNames();
    void AddSetting();
    void RemoveSetting();
    void RenameSetting();
    // Shows the selected name and its stored rows (all groups saved under that exact name).
    void ShowSetting();

    const LibraryText &text() const { return m_text; }

private:
    std::string ModuleText() const;
    std::string NameFieldBytes() const;
    void SetNameField(const std::string &bytes);
    std::string SelectedNameBytes() const;
    void SelectName(const std::string &bytes);
    void ShowRows(const LibraryRows &rows);
    // Remove and Rename need a selected name: false, after the message, when there is none.
    bool CheckNameSelected();
    // Writes the changed text; false (after a message and a reload) when it was not stored.
    bool Store(const LibraryText &changed);
    void Report(const QString &what, const std::string &reason);

    QWidget *m_owner;
    Dialogs &m_dialogs;
    const Patch &m_patch;
    std::filesystem::path m_file;
    LibraryText m_text;
    bool m_readable = true;
    std::string m_readError;
    QString m_shownName;
    std::string m_shownNameBytes;

    QComboBox *m_moduleSelector = nullptr;
    QLineEdit *m_nameField = nullptr;
    QListWidget *m_rowView = nullptr;
    QListWidget *m_nameList = nullptr;
};

} // namespace patchlens
