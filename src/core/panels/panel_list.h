#pragma once
// The display lines of one module panel, numbered from 0, with the selection and enabling that
// the window mirrors. It behaves like the unsorted single-selection list box it stands for:
// an insertion beyond the current number of lines is refused, a missing line reads as empty,
// and the selection follows its line when lines are inserted or deleted before it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace patchlens {

struct PanelList {
    std::vector<std::string> lines;
    std::optional<std::size_t> selected; // nothing when no line is selected
    bool enabled = true;
};

void ClearLines(PanelList &list);
void AppendLine(PanelList &list, std::string line);
// Refused (returns false, nothing changes) when `position` is beyond the number of lines.
bool InsertLine(PanelList &list, std::size_t position, std::string line);
// Does nothing when the line does not exist. Deleting the selected line leaves none selected.
void DeleteLine(PanelList &list, std::size_t position);
// The line's text; empty when the list has no such line.
std::string_view LineAt(const PanelList &list, std::size_t position);
// Selects an existing line; a position without a line leaves no line selected.
void SelectLine(PanelList &list, std::size_t position);

} // namespace patchlens
