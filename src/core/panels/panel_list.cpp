#include "panels/panel_list.h"

#include <iterator>

namespace patchlens {

void ClearLines(PanelList &list) {
    list.lines.clear();
    list.selected.reset();
}

void AppendLine(PanelList &list, std::string line) {
    list.lines.push_back(std::move(line));
}

bool InsertLine(PanelList &list, std::size_t position, std::string line) {
    if (position > list.lines.size())
        return false;
    list.lines.insert(list.lines.begin() + static_cast<std::ptrdiff_t>(position), std::move(line));
    if (list.selected && *list.selected >= position)
        ++*list.selected;
    return true;
}

void DeleteLine(PanelList &list, std::size_t position) {
    if (position >= list.lines.size())
        return;
    list.lines.erase(list.lines.begin() + static_cast<std::ptrdiff_t>(position));
    if (!list.selected || *list.selected < position)
        return;
    if (*list.selected == position)
        list.selected.reset();
    else
        --*list.selected;
}

std::string_view LineAt(const PanelList &list, std::size_t position) {
    return position < list.lines.size() ? std::string_view(list.lines[position]) : std::string_view();
}

void SelectLine(PanelList &list, std::size_t position) {
    list.selected = position < list.lines.size() ? std::optional(position) : std::nullopt;
}

} // namespace patchlens
