#include "toolkit/controls.h"

#include <QPushButton>

#include "toolkit/fonts.h"

namespace patchlens {

QPushButton *MakeButton(const QString &text, const char *objectName, const QRect &bounds, QWidget *parent) {
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setFont(Fonts().standard);
    button->setAutoDefault(false);
    button->setGeometry(bounds);
    return button;
}

} // namespace patchlens
