#pragma once
// The patch as a picture to share: a title line with the file's name, the patch name in its strip,
// and the fifteen module panels with their lamps and lines, drawn by the same widgets, fonts and
// places as the main window's panels; not the buttons, the library or the patch list.

#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

#include "panels/module_panels.h"

namespace patchlens {

class ElidedLabel;
class ModulePanelViews;

class PatchPicture : public QWidget {
    Q_OBJECT

public:
    // A widget that is never shown on a screen: it only paints into images.
    explicit PatchPicture(QWidget *parent = nullptr);
    ~PatchPicture() override;
    Q_DISABLE_COPY(PatchPicture)

    // What the picture shows: `fileName` in the title line (the file's name, no folder), the
    // patch name and the panels as the viewer shows them.
    void Show(const QString &fileName, const QString &patchName, const ModulePanels &panels);

    // The picture at `scale` pixels per pixel of the window (clamped to 1 to 8): size() × scale
    // plain pixels (a device pixel ratio of 1), text drawn at that resolution, not magnified.
    QImage Render(qreal scale) const;

    // Where the window's client point (x, y) of a panel lies in the picture.
    static QPoint FromClient(QPoint client);
    ModulePanelViews &panels() const { return *m_panels; }

private:
    ElidedLabel *m_title = nullptr;
    ElidedLabel *m_name = nullptr;
    std::unique_ptr<ModulePanelViews> m_panels;
};

inline constexpr qreal kMinImageScale = 1;
inline constexpr qreal kMaxImageScale = 8;

// A PNG of `image` written whole to `path` (through a temporary file renamed at the end, so an
// earlier file of that name stays whole when the write fails). The empty text, or why not.
QString SavePng(const QImage &image, const QString &path);

} // namespace patchlens
