#pragma once
// The library group of the main window: choose a module, see the names saved for it, save the
// module's current display lines under a name, remove or rename a saved setting, and look at the
// six rows stored for one. The library file is never lost: the rules of core/library decide what
// is written (a file that cannot be read is never written, a write is atomic, a failed write is
// reported, a file changed by another program since it was read is not overwritten).

#include <QGroupBox>
#include <filesystem>
#include <string>

#include "library/library_file.h"
#include "patch/decode.h"

class QComboBox;
class QLineEdit;
class QListWidget;

namespace patchlens {

class Dialogs;

class LibraryGroup : public QGroupBox {
    Q_OBJECT

public:
    // The group with its controls placed within it, and the row view under its caption on
    // `parent` (rowPanel(), which the window places). Messages are owned by the window of
    // `parent`. Reads nothing yet.
    explicit LibraryGroup(Dialogs &dialogs, const Patch &patch, std::filesystem::path libraryFile,
                          QWidget *parent);
    Q_DISABLE_COPY(LibraryGroup)

    // The "LIBRARY" caption and the row view: a panel of its own beside the group.
    QWidget *rowPanel() const { return m_rowPanel; }

    // Rebuilds the name list from a fresh read of the file (on a chosen module, and after changes).
    void ReloadNames();
    void AddSetting();
    void RemoveSetting();
    void RenameSetting();
    // Shows the selected name and its stored rows (all groups saved under that exact name).
    void ShowSetting();

private:
    std::string ModuleText() const;
    void SetNameField(const std::string &bytes);
    std::string SelectedNameBytes() const;
    void SelectName(const std::string &bytes);
    // Remove and Rename need a selected name: false, after the message, when there is none.
    bool CheckNameSelected();
    // Writes the changed text; false (after a message and a reload) when it was not stored.
    bool Store(const LibraryText &changed);
    void Report(const Error &error);

    Dialogs &m_dialogs;
    const Patch &m_patch;
    std::filesystem::path m_file;
    Result<LibraryText> m_read = LibraryText(); // the file as last read, or why it could not be
    std::string m_shownNameBytes;               // the name field's text as last set from bytes

    QComboBox *m_moduleSelector = nullptr;
    QLineEdit *m_nameField = nullptr;
    QWidget *m_rowPanel = nullptr;
    QListWidget *m_rowView = nullptr;
    QListWidget *m_nameList = nullptr;
};

} // namespace patchlens
