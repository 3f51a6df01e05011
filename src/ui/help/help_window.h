#pragma once
// The built-in help: our own manual, shown when no help file lies in the program folder.

#include <QWidget>

class QTextBrowser;

namespace patchlens {

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);
    Q_DISABLE_COPY(HelpWindow)

    // Shows the one help window of `owner` (creating it on first use), raised, on its contents.
    static void ShowFor(QWidget *owner);

private:
    QTextBrowser *m_browser = nullptr;
};

}  // namespace patchlens
