#include "image/patch_picture.h"

#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>

#include "toolkit/fonts.h"
#include "toolkit/line_lists.h"
#include "viewer/module_panel_views.h"

namespace patchlens {

namespace {

// The front panel's part of the window's client area, from the name strip to the last panels,
// with the window's margin around it; the title line goes above.
constexpr QRect kPanelArea{0, 0, 595, 450};
constexpr int kTitleHeight = 24;

} // namespace

PatchPicture::PatchPicture(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("patchPicture"));
    setAttribute(Qt::WA_DontShowOnScreen);
    setFixedSize(kPanelArea.width(), kTitleHeight + kPanelArea.height());
    setAutoFillBackground(true);

    m_title = new ElidedLabel(Qt::ElideMiddle, this);
    m_title->setObjectName(QStringLiteral("pictureTitle"));
    m_title->setFont(Fonts().standard);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_title->setGeometry(kLampStripLeft, 4, kLampStripWidth, kTitleHeight - 6);

    // The panels keep the window's own places inside a board moved down by the title line.
    auto *board = new QWidget(this);
    board->setGeometry(kPanelArea.translated(0, kTitleHeight));
    m_panels = std::make_unique<ModulePanelViews>(board);
    m_name = m_panels->nameField();
    m_name->setObjectName(QStringLiteral("pictureName"));
}

PatchPicture::~PatchPicture() = default;

void PatchPicture::Show(const QString &fileName, const QString &patchName, const ModulePanels &panels) {
    m_title->SetFullText(fileName);
    m_name->SetFullText(patchName);
    m_panels->Show(panels);
}

QPoint PatchPicture::FromClient(QPoint client) {
    return client + QPoint(0, kTitleHeight);
}

QImage PatchPicture::Render(qreal scale) const {
    scale = std::clamp(scale, kMinImageScale, kMaxImageScale);
    // Shown (never on a screen) so that the lists lay out their rows before they paint.
    auto *self = const_cast<PatchPicture *>(this);
    if (!isVisible())
        self->show();
    QImage image((QSizeF(size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(palette().color(QPalette::Window));
    self->render(&image);
    image.setDevicePixelRatio(1); // plain pixels: a PNG or the clipboard keeps no ratio
    return image.convertToFormat(QImage::Format_RGB32);
}

QString SavePng(const QImage &image, const QString &path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        file.cancelWriting();
        return writer.errorString();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace patchlens
