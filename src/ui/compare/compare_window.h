#pragma once
// Two patches side by side in the device's own vocabulary: for each module its lamp and its lines
// in A and in B, the lines and lamps that differ marked in colour and with a sign that does not
// depend on colour. The window holds its own copy of the comparison: what the main window loads
// afterwards does not change it.

#include <QString>
#include <QWidget>
#include <array>

#include "compare/patch_compare.h"

class QCheckBox;
class QGridLayout;
class QLabel;

namespace patchlens {

// The sign beside a line or lamp that differs.
inline constexpr char16_t kDifferenceMark = u'\u2260'; // "≠"

class CompareWindow : public QWidget {
    Q_OBJECT

public:
    struct Side {
        QString path; // the file, as shown
        QString name; // the patch name
    };

    // A top-level window of its own (owned by `parent` for its lifetime only), deleted when closed.
    CompareWindow(const PatchComparison &comparison, const Side &a, const Side &b, QWidget *parent = nullptr);
    Q_DISABLE_COPY(CompareWindow)

    // "Show only differences": hides the modules that show the same in both patches.
    void ShowOnlyDifferences(bool only);

private:
    void LayOut();

    PatchComparison m_comparison;
    std::array<QWidget *, kModuleCount> m_modules{};
    QGridLayout *m_grid = nullptr;
    QCheckBox *m_onlyDifferences = nullptr;
};

} // namespace patchlens
