#pragma once
// Shared pieces of the window tests: files as bytes, a main window on temporary folders with the
// dialogs replaced by a recorder, and input as a user gives it.

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "recording_dialogs.h"
#include "toolkit/line_lists.h"
#include "toolkit/text_conversion.h"
#include "viewer/main_window.h"

namespace patchlens::test {

inline const std::filesystem::path kSamples = std::filesystem::path(PATCHLENS_SAMPLES).make_preferred();

inline std::string ReadBytes(const std::filesystem::path &path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

inline void WriteBytes(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

template <typename T> T *FindChild(const QObject *root, const char *name) {
    T *found = root->findChild<T *>(QString::fromLatin1(name));
    if (found == nullptr)
        qFatal("no control named %s", name);
    return found;
}

// A main window over fresh program and data folders, created on first use.
struct WindowFixture {
    QTemporaryDir program, data;
    RecordingDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    std::filesystem::path ProgramFolder() const { return PathFromQString(program.path()); }
    std::filesystem::path DataFolder() const { return PathFromQString(data.path()); }
    MainWindow &Window() {
        if (!window) {
            window = std::make_unique<MainWindow>(dialogs, ProgramPaths{ProgramFolder(), DataFolder(), {}});
            window->show();
            if (!QTest::qWaitForWindowExposed(window.get()))
                qFatal("window not exposed");
        }
        return *window;
    }
    template <typename T> T *Find(const char *name) { return FindChild<T>(&Window(), name); }
};

// The base of the window tests: each test function gets a fresh fixture.
class WindowTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<WindowFixture> m_fixture;
    MainWindow &Window() { return m_fixture->Window(); }
    RecordingDialogs &Dialogs() { return m_fixture->dialogs; }
    std::filesystem::path DataFolder() const { return m_fixture->DataFolder(); }
    std::filesystem::path ProgramFolder() const { return m_fixture->ProgramFolder(); }
    template <typename T> T *Find(const char *name) { return m_fixture->Find<T>(name); }

private slots:
    void init() { m_fixture = std::make_unique<WindowFixture>(); }
    void cleanup() { m_fixture.reset(); }
};

inline void ClickRow(QListWidget *list, int row, Qt::MouseButton button = Qt::LeftButton,
                     Qt::KeyboardModifiers modifiers = {}) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mousePress(list->viewport(), button, modifiers, at);
    QTest::mouseRelease(list->viewport(), button, modifiers, at);
}

// Chooses an entry as a user does: the selection is accepted.
inline void Choose(QComboBox *list, const QString &entry) {
    const int index = list->findText(entry);
    if (index < 0)
        qFatal("no entry %s", qPrintable(entry));
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// Types the text as key presses, any character included (QTest::keyClicks takes ASCII only).
inline void TypeText(QWidget *widget, const QString &text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

// Drags a file or folder onto the window and drops it there.
inline void Drop(QWidget *window, const std::filesystem::path &path, Qt::KeyboardModifiers modifiers = {}) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(PathForDialog(path))});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(window, &enter);
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(window, &drop);
}

// The texts of a list or a combo box, in order.
template <typename List> QStringList Texts(const List *list) {
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        texts << list->model()->index(row, 0).data().toString();
    return texts;
}

} // namespace patchlens::test

// The main of a window test program: the test object on the offscreen platform, in the style the
// program uses.
#define PATCHLENS_UI_TEST_MAIN(Test)                                                                         \
    int main(int argc, char **argv) {                                                                        \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                             \
        QApplication app(argc, argv);                                                                        \
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));                             \
        patchlens::Test test;                                                                                \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
