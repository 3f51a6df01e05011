#include "library/library_group.h"

#include <QComboBox>
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

LibraryGroup::LibraryGroup(Dialogs &dialogs, const Patch &patch, std::filesystem::path libraryFile,
                           QWidget *parent)
    : QGroupBox(QStringLiteral("[ Library ]"), parent), m_dialogs(dialogs), m_patch(patch),
      m_file(std::move(libraryFile)) {
    const UiFonts &fonts = Fonts();
    setObjectName(QStringLiteral("libraryGroup"));
    setFont(fonts.control);

    m_moduleSelector = new QComboBox(this);
    m_moduleSelector->setObjectName(QStringLiteral("libraryModuleSelector"));
    m_moduleSelector->setFont(fonts.control);
    m_moduleSelector->addItem(QStringLiteral("Select Library"));
    for (const std::string_view module : LibraryModules())
        m_moduleSelector->addItem(ToQString(module));
    m_moduleSelector->setCurrentIndex(0);
    m_moduleSelector->setGeometry(10, 20, 150, 20);
    connect(m_moduleSelector, &QComboBox::activated, this, &LibraryGroup::ReloadNames);

    auto *nameLabel = new QLabel(QStringLiteral("Name: "), this);
    nameLabel->setObjectName(QStringLiteral("libraryNameLabel"));
    nameLabel->setFont(fonts.control);
    nameLabel->setGeometry(10, 50, 50, 20);

    m_nameField = new QLineEdit(this);
    m_nameField->setObjectName(QStringLiteral("libraryNameField"));
    m_nameField->setFont(fonts.control);
    m_nameField->setMaxLength(kNameFieldLength);
    m_nameField->setValidator(MakeWindows1252Validator(m_nameField));
    m_nameField->setGeometry(60, 50, 210, 20);

    connect(MakeButton(QStringLiteral("Add"), "libraryAddButton", {167, 10, 50, 17}, this),
            &QPushButton::clicked, this, &LibraryGroup::AddSetting);
    connect(MakeButton(QStringLiteral("Remove"), "libraryRemoveButton", {167, 29, 50, 17}, this),
            &QPushButton::clicked, this, &LibraryGroup::RemoveSetting);
    connect(MakeButton(QStringLiteral("Rename"), "libraryRenameButton", {219, 29, 50, 17}, this),
            &QPushButton::clicked, this, &LibraryGroup::RenameSetting);

    m_rowPanel = new QWidget(parent);
    m_rowPanel->setObjectName(QStringLiteral("libraryRowPanel"));
    auto *caption = new QLabel(QStringLiteral("LIBRARY"), m_rowPanel);
    caption->setObjectName(QStringLiteral("libraryCaption"));
    caption->setFont(fonts.caption);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    caption->setAutoFillBackground(true);
    caption->setGeometry(0, 0, 93, 20);
    SetLamp(caption, true);

    m_rowView = new QListWidget(m_rowPanel);
    m_rowView->setObjectName(QStringLiteral("libraryRowView"));
    m_rowView->setFont(fonts.control);
    StyleLineList(m_rowView, kControlRowHeight, Qt::ElideRight);
    m_rowView->setGeometry(0, 20, 93, 100);

    m_nameList = new QListWidget(this);
    m_nameList->setObjectName(QStringLiteral("libraryNameList"));
    m_nameList->setFont(fonts.control);
    StyleLineList(m_nameList, kControlRowHeight, Qt::ElideRight);
    m_nameList->setGeometry(375, 15, 193, 52);
    OnMouseUp(m_nameList, HookOrder::BeforeControl, [this] { ShowSetting(); });
}

std::string LibraryGroup::ModuleText() const {
    return m_moduleSelector->currentText().toStdString();
}

void LibraryGroup::SetNameField(const std::string &bytes) {
    m_shownNameBytes = bytes;
    m_nameField->setText(ToQString(bytes));
}

std::string LibraryGroup::SelectedNameBytes() const {
    const QList<QListWidgetItem *> selected = m_nameList->selectedItems();
    return selected.isEmpty() ? std::string()
                              : selected.front()->data(kNameBytesRole).toByteArray().toStdString();
}

// Selects the first entry whose text equals the name without regard to case, if any.
void LibraryGroup::SelectName(const std::string &bytes) {
    const QString name = ToQString(bytes);
    for (int row = 0; row < m_nameList->count(); ++row) {
        if (m_nameList->item(row)->text().compare(name, Qt::CaseInsensitive) == 0) {
            m_nameList->setCurrentRow(row);
            return;
        }
    }
    m_nameList->setCurrentRow(-1);
}

void LibraryGroup::Report(const Error &error) {
    m_dialogs.ShowMessage(window(), QStringLiteral("The library file\n") + PathToQString(m_file) +
                                        QLatin1Char('\n') + ToQString(error.message()) +
                                        QStringLiteral(".\nNothing was changed."));
}

void LibraryGroup::ReloadNames() {
    m_nameList->clear();
    m_read = ReadLibraryFile(m_file);
    if (!m_read.ok()) {
        Report(m_read.error());
        return;
    }
    struct Name {
        QString shown;
        std::string bytes;
    };
    std::vector<Name> names;
    for (std::string &name : ListNames(*m_read, ModuleText()))
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

bool LibraryGroup::Store(const LibraryText &changed) {
    if (const Status stored = StoreLibraryFile(m_file, *m_read, changed); !stored.ok()) {
        Report(stored.error());
        ReloadNames();
        return false;
    }
    m_read = changed;
    return true;
}

void LibraryGroup::AddSetting() {
    if (!m_patch.loaded) {
        m_dialogs.ShowMessage(window(), QStringLiteral("First Load a Patch!"));
        return;
    }
    if (m_moduleSelector->currentIndex() == 0) {
        m_dialogs.ShowMessage(window(), QStringLiteral("First Select Library"));
        m_moduleSelector->setFocus();
        return;
    }
    if (m_nameField->text().isEmpty()) {
        m_dialogs.ShowMessage(window(), QStringLiteral("Enter Name !"));
        m_nameField->setFocus();
        return;
    }
    if (!m_read.ok()) {
        Report(m_read.error());
        return;
    }
    const std::string module = ModuleText();
    const std::string name = TypedBytes(m_nameField->text(), m_shownNameBytes);
    if (FindEntry(*m_read, module, name) &&
        !m_dialogs.AskOkCancel(window(), QStringLiteral("Add Setting To Library "),
                               QStringLiteral("Library Name already Exists, Overwrite?")))
        return;
    LibraryEntry entry{module, name, {}};
    const auto info = std::find_if(Modules().begin(), Modules().end(),
                                   [&](const ModuleInfo &m) { return m.name == module; });
    if (info != Modules().end()) {
        const PanelList &list = m_patch.panels[IndexOf(info->module)].list;
        for (std::size_t i = 0; i < entry.rows.size(); ++i)
            entry.rows[i] = std::string(LineAt(list, i));
    }
    if (!Store(AddEntry(*m_read, entry)))
        return;
    ReloadNames();
    SelectName(name);
    ShowSetting();
}

bool LibraryGroup::CheckNameSelected() {
    if (m_nameList->count() == 0) {
        m_dialogs.ShowMessage(window(), QStringLiteral("No Library Settings Available!"));
        return false;
    }
    if (m_nameList->selectedItems().isEmpty()) {
        m_dialogs.ShowMessage(window(), QStringLiteral("First Select Library Setting!"));
        m_nameList->setFocus();
        return false;
    }
    return true;
}

void LibraryGroup::RemoveSetting() {
    if (!CheckNameSelected())
        return;
    const std::optional<std::size_t> found = FindEntry(*m_read, ModuleText(), SelectedNameBytes());
    if (!found || !Store(DeleteLine(*m_read, *found)))
        return;
    ReloadNames();
    m_rowView->clear();
}

void LibraryGroup::RenameSetting() {
    if (!CheckNameSelected())
        return;
    const std::string newName = TypedBytes(m_nameField->text(), m_shownNameBytes);
    const std::optional<std::size_t> found = FindEntry(*m_read, ModuleText(), SelectedNameBytes());
    if (!found || !Store(RenameEntry(*m_read, *found, newName)))
        return;
    ReloadNames();
    m_rowView->clear();
    SelectName(newName);
    ShowSetting();
}

// Every group saved under the exact name, its rows inserted at positions 0 to 5, so that a later
// group ends up above an earlier one.
void LibraryGroup::ShowSetting() {
    m_rowView->clear();
    const std::string name = SelectedNameBytes();
    SetNameField(name);
    for (const LibraryRows &rows : EntryRows(m_read.value_or(LibraryText()), ModuleText(), name))
        for (std::size_t i = 0; i < rows.size(); ++i)
            m_rowView->insertItem(static_cast<int>(i), ToQString(rows[i]));
}

} // namespace patchlens
