#include "help/help_window.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The manual is compiled into the window library; a static library registers it itself.
static void InitHelpResource() { Q_INIT_RESOURCE(help); }

namespace patchlens {

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    InitHelpResource();
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Patchlens Help"));
    setAttribute(Qt::WA_QuitOnClose, false);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(QUrl(QStringLiteral("qrc:/help/manual.html")));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 560);
}

void HelpWindow::ShowFor(QWidget *owner) {
    auto *window = owner->findChild<HelpWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (window == nullptr) window = new HelpWindow(owner);
    window->m_browser->home();
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace patchlens
