#include "library/library_commands.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QValidator>
#include <algorithm>

#include "text/display_text.h"
#include "toolkit/controls.h"
#include "toolkit/dialogs.h"
#include "toolkit/event_hooks.h"
#include "toolkit/fonts.h"
#include "toolkit/line_lists.h"
#include "toolkit/text_conversion.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

namespace {

constexpr int kNameBytesRole = Qt::UserRole; // a name list entry's name as stored
constexpr int kNameFieldLength = 21;

} // namespace

LibraryCommands::LibraryCommands(QWidget *client, QWidget *owner, Dialogs &dialogs, const Patch &patch,
                                 std::filesystem::path libraryFile)
    : QObject(client), m_owner(owner), m_dialogs(dialogs), m_patch(patch), m_file(std::move(libraryFile)) {
    const UiFonts &fonts = Fonts();

    auto *group = new QGroupBox(QStringLiteral("[ Library ]"), client);
    group->setObjectName(QStringLiteral("libraryGroup"));
    group->setFont(fonts.control);
    group->setGeometry(10, 450, 575, 75);

    m_moduleSelector = new QComboBox(client);
    m_moduleSelector->setObjectName(QStringLiteral("libraryModuleSelector"));
    m_moduleSelector->setFont(fonts.control);
    m_moduleSelector->addItem(QStringLiteral("Select Library"));
    for (const std::string_view module : LibraryModules())
        m_moduleSelector->addItem(ToQString(module));
    m_moduleSelector->setCurrentIndex(0);
    m_moduleSelector->setGeometry(20, 470, 150, 20);
    connect(m_moduleSelector, &QComboBox::activated, this, &LibraryCommands::ReloadNames);

    auto *nameLabel = new QLabel(QStringLiteral("Name: "), client);
    nameLabel->setObjectName(QStringLiteral("libraryNameLabel"));
    nameLabel->setFont(fonts.control);
    nameLabel->setGeometry(20, 500, 50, 20);

    m_nameField = new QLineEdit(client);
    m_nameField->setObjectName(QStringLiteral("libraryNameField"));
    m_nameField->setFont(fonts.control);
    m_nameField->setMaxLength(kNameFieldLength);
    m_nameField->setValidator(MakeWindows1252Validator(m_nameField));
    m_nameField->setGeometry(70, 500, 210, 20);

    connect(MakeButton(QStringLiteral("Add"), "libraryAddButton", {177, 460, 50, 17}, client),
            &QPushButton::clicked, this, &LibraryCommands::AddSetting);
    connect(MakeButton(QStringLiteral("Remove"), "libraryRemoveButton", {177, 479, 50, 17}, client),
            &QPushButton::clicked, this, &LibraryCommands::RemoveSetting);
    connect(MakeButton(QStringLiteral("Rename"), "libraryRenameButton", {229, 479, 50, 17}, client),
            &QPushButton::clicked, this, &LibraryCommands::RenameSetting);

    auto *caption = new QLabel(QStringLiteral("LIBRARY"), client);
    caption->setObjectName(QStringLiteral("libraryCaption"));
    caption->setFont(fonts.caption);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    caption->setAutoFillBackground(true);
    caption->setGeometry(285, 397, 93, 20);
    SetLamp(caption, true);

    m_rowView = new QListWidget(client);
    m_rowView->setObjectName(QStringLiteral("libraryRowView"));
    m_rowView->setFont(fonts.control);
    StyleLineList(m_rowView, kControlRowHeight, Qt::ElideRight);
    m_rowView->setGeometry(285, 417, 93, 100);

    m_nameList = new QListWidget(client);
    m_nameList->setObjectName(QStringLiteral("libraryNameList"));
    m_nameList->setFont(fonts.control);
    StyleLineList(m_nameList, kControlRowHeight, Qt::ElideRight);
    m_nameList->setGeometry(385, 465, 193, 52);
    OnMouseUp(m_nameList, HookOrder::BeforeControl, [this] { ShowSetting(); });
}

std::string LibraryCommands::ModuleText() const {
    return m_moduleSelector->currentText().toStdString();
}

std::string LibraryCommands::NameFieldBytes() const {
    const QString text = m_nameField->text();
    if (text == m_shownName)
        return m_shownNameBytes; // as read from the file, bytes unchanged
    return TypedBytes(text);
}

void LibraryCommands::SetNameField(const std::string &bytes) {
    m_shownNameBytes = bytes;
    m_shownName = ToQString(bytes);
    m_nameField->setText(m_shownName);
}

std::string LibraryCommands::SelectedNameBytes() const {
    const QList<QListWidgetItem *> selected = m_nameList->selectedItems();
    return selected.isEmpty() ? std::string()
                              : selected.front()->data(kNameBytesRole).toByteArray().toStdString();
}

// Selects the first entry whose text equals the name without regard to case, if any.
void LibraryCommands::SelectName(const std::string &bytes) {
    const QString name = ToQString(bytes);
    for (int row = 0; row < m_nameList->count(); ++row) {
        if (m_nameList->item(row)->text().compare(name, Qt::CaseInsensitive) == 0) {
            m_nameList->setCurrentRow(row);
            return;
        }
    }
    m_nameList->setCurrentRow(-1);
}

void LibraryCommands::Report(const QString &what, const std::string &reason) {
    m_dialogs.ShowMessage(m_owner, QStringLiteral("The library file\n") + PathToQString(m_file) +
                                       QLatin1Char('\n') + what + QStringLiteral(": ") + ToQString(reason) +
                                       QStringLiteral(".\nNothing was changed."));
}

void LibraryCommands::ReloadNames() {
    m_nameList->clear();
    LibraryRead read = ReadLibraryFile(m_file);
    m_readable = read.ok;
    m_readError = read.error;
    m_text = std::move(read.text);
    if (!m_readable) {
        Report(QStringLiteral("cannot be read"), m_readError);
        return;
    }
    struct Name {
        QString shown;
        std::string bytes;
    };
    std::vector<Name> names;
    for (std::string &name : ListNames(m_text, ModuleText()))
        names.push_back({ToQString(name), std::move(name)});
    std::stable_sort(names.begin(), names.end(), [](const Name &a, const Name &b) {
        return a.shown.compare(b.shown, Qt::CaseInsensitive) < 0;
    });
    for (const Name &name : names) {
        auto *item = new QListWidgetItem(name.shown);
        item->setData(kNameBytesRole, QByteArray::fromStdString(name.bytes));
        m_nameList->addItem(item);
    }
}

bool LibraryCommands::Store(const LibraryText &changed) {
    // The file must still hold what the command changed: never overwrite what another program
    // (or another Patchlens) wrote since, nor a file that cannot be read.
    const LibraryRead current = ReadLibraryFile(m_file);
    if (!current.ok) {
        Report(QStringLiteral("cannot be read"), current.error);
        ReloadNames();
        return false;
    }
    if (current.text != m_text) {
        Report(QStringLiteral("was changed by another program"),
               "the list now shows what the file holds; please repeat the command");
        ReloadNames();
        return false;
    }
    if (const std::string error = WriteLibraryFile(m_file, changed); !error.empty()) {
        Report(QStringLiteral("cannot be written"), error);
        ReloadNames();
        return false;
    }
    m_text = changed;
    return true;
}

void LibraryCommands::AddSetting() {
    if (!m_patch.loaded) {
        m_dialogs.ShowMessage(m_owner, QStringLiteral("First Load a Patch!"));
        return;
    }
    if (m_moduleSelector->currentIndex() == 0) {
        m_dialogs.ShowMessage(m_owner, QStringLiteral("First Select Library"));
        m_moduleSelector->setFocus();
        return;
    }
    if (m_nameField->text().isEmpty()) {
        m_dialogs.ShowMessage(m_owner, QStringLiteral("Enter Name !"));
        m_nameField->setFocus();
        return;
    }
    if (!m_readable) {
        Report(QStringLiteral("cannot be read"), m_readError);
        return;
    }
    const std::string module = ModuleText();
    const std::string name = NameFieldBytes();
    LibraryText changed = m_text;
    if (const long found = FindEntry(changed, module, name); found >= 0) {
        if (!m_dialogs.AskOkCancel(m_owner, QStringLiteral("Add Setting To Library "),
                                   QStringLiteral("Library Name already Exists, Overwrite?")))
            return;
        changed = DeleteLine(changed, static_cast<std::size_t>(found));
    }
    LibraryEntry entry{module, name, {}};
    const auto info = std::find_if(Modules().begin(), Modules().end(),
                                   [&](const ModuleInfo &m) { return m.name == module; });
    if (info != Modules().end()) {
        const PanelList &list = m_patch.panels[IndexOf(info->module)].list;
        for (std::size_t i = 0; i < entry.rows.size(); ++i)
            entry.rows[i] = std::string(LineAt(list, i));
    }
    if (!Store(InsertFirst(changed, FormatEntry(entry))))
        return;
    ReloadNames();
    SelectName(name);
    ShowSetting();
}

bool LibraryCommands::CheckNameSelected() {
    if (m_nameList->count() == 0) {
        m_dialogs.ShowMessage(m_owner, QStringLiteral("No Library Settings Available!"));
        return false;
    }
    if (m_nameList->selectedItems().isEmpty()) {
        m_dialogs.ShowMessage(m_owner, QStringLiteral("First Select Library Setting!"));
        m_nameList->setFocus();
        return false;
    }
    return true;
}

void LibraryCommands::RemoveSetting() {
    if (!CheckNameSelected())
        return;
    const long found = FindEntry(m_text, ModuleText(), SelectedNameBytes());
    if (found < 0)
        return;
    if (!Store(DeleteLine(m_text, static_cast<std::size_t>(found))))
        return;
    ReloadNames();
    m_rowView->clear();
}

void LibraryCommands::RenameSetting() {
    if (!CheckNameSelected())
        return;
    const std::string newName = NameFieldBytes();
    const std::string module = ModuleText();
    const long found = FindEntry(m_text, module, SelectedNameBytes());
    if (found < 0)
        return;
    const LibraryEntry entry{module, newName, RowsOfLine(LineAt(m_text, static_cast<std::size_t>(found)))};
    if (!Store(InsertFirst(DeleteLine(m_text, static_cast<std::size_t>(found)), FormatEntry(entry))))
        return;
    ReloadNames();
    m_rowView->clear();
    SelectName(newName);
    ShowSetting();
}

void LibraryCommands::ShowSetting() {
    m_rowView->clear();
    const std::string name = SelectedNameBytes();
    SetNameField(name);
    for (const LibraryRows &rows : EntryRows(m_text, ModuleText(), name))
        ShowRows(rows);
}

// Inserts the rows at positions 0 to 5, so that a later group ends up above an earlier one.
void LibraryCommands::ShowRows(const LibraryRows &rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        m_rowView->insertItem(static_cast<int>(i), ToQString(rows[i]));
}

} // namespace patchlens
