#include "patch_dump.h"

#include <algorithm>
#include <array>
#include <optional>
#include <sstream>
#include <vector>

#include "text/text_output.h"

namespace patchlens {

namespace {

// Lines shown per panel: the model line and five below it; the Pickup has one.
constexpr std::size_t kPanelLines = 6;
// Columns wider than this are not widened further; a longer line pushes its neighbours instead.
constexpr std::size_t kWidestColumn = 24;
constexpr std::size_t kColumnGap = 2;

std::string CaptionOf(const Patch &patch, Module module) {
    return std::string(patch.panels[IndexOf(module)].lampOn ? "[x] " : "[ ] ") +
           std::string(InfoOf(module).caption);
}

std::vector<std::string> ShownLines(const Patch &patch, Module module) {
    const PanelList &list = patch.panels[IndexOf(module)].list;
    const std::size_t count = module == Module::Pickup ? 1 : kPanelLines;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < std::max(count, list.lines.size()); ++i)
        lines.push_back("    " + VisibleText(LineAt(list, i)));
    return lines;
}

void WritePadded(std::ostream &out, const std::string &cell, std::size_t width, bool last) {
    out << cell;
    if (last)
        return;
    const std::size_t used = DisplayWidth(cell);
    out << std::string(used < width ? width - used : 0, ' ') << std::string(kColumnGap, ' ');
}

void WriteRow(std::ostream &out, const Patch &patch, const PanelRow &row,
              const std::array<std::size_t, kPanelColumns> &widths) {
    std::array<std::vector<std::string>, kPanelColumns> cells;
    std::size_t height = 0;
    std::size_t lastColumn = 0;
    for (std::size_t c = 0; c < row.size(); ++c) {
        if (!row[c])
            continue;
        cells[c].push_back(CaptionOf(patch, *row[c]));
        for (std::string &line : ShownLines(patch, *row[c]))
            cells[c].push_back(std::move(line));
        height = std::max(height, cells[c].size());
        lastColumn = c;
    }
    for (std::size_t r = 0; r < height; ++r) {
        std::ostringstream line;
        for (std::size_t c = 0; c <= lastColumn; ++c) {
            const std::string empty;
            const std::string &cell = r < cells[c].size() ? cells[c][r] : empty;
            WritePadded(line, cell, widths[c], c == lastColumn);
        }
        std::string text = line.str();
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << '\n';
    }
}

} // namespace

void WriteJsonRecord(std::ostream &out, const DumpedFile &file, const Patch &patch) {
    out << "{\"path\": " << JsonString(file.path) << ", \"refused\": " << JsonBool(file.refused);
    if (file.refused)
        out << ", \"message\": " << JsonString(file.message);
    out << ", \"name\": " << JsonString(patch.name) << ", \"modules\": [";
    for (const ModuleInfo &info : Modules()) {
        const ModulePanel &panel = patch.panels[IndexOf(info.module)];
        if (info.module != Module::Pickup)
            out << ", ";
        out << "{\"module\": " << JsonString(info.name) << ", \"on\": " << JsonBool(panel.lampOn)
            << ", \"enabled\": " << JsonBool(panel.list.enabled) << ", \"selected\": "
            << (panel.list.selected ? std::to_string(*panel.list.selected) : "-1") // -1: none
            << ", \"lines\": [";
        for (std::size_t i = 0; i < panel.list.lines.size(); ++i)
            out << (i > 0 ? ", " : "") << JsonString(panel.list.lines[i]);
        out << "]}";
    }
    out << "]}";
}

void WriteTextSummary(std::ostream &out, const DumpedFile &file, const Patch &patch) {
    auto field = [&](std::string_view label, const std::string &value) {
        out << label << (value.empty() ? "" : " ") << value << '\n';
    };
    field("Patch file:", VisibleText(file.path));
    if (file.refused) {
        out << "Refused:    ";
        std::string_view message = file.message;
        for (std::size_t end = message.find("\r\n"); end != std::string_view::npos;
             end = message.find("\r\n")) {
            out << VisibleText(message.substr(0, end)) << "\n            ";
            message.remove_prefix(end + 2);
        }
        out << VisibleText(message) << "\nStill showing the patch shown before.\n";
    }
    field("Patch name:", VisibleText(patch.name));
    out << "Lamps:      [x] on, [ ] off\n\n";

    std::array<std::size_t, kPanelColumns> widths{};
    for (const PanelRow &row : kFrontPanel)
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (!row[c])
                continue;
            widths[c] = std::max(widths[c], DisplayWidth(CaptionOf(patch, *row[c])));
            for (const std::string &line : ShownLines(patch, *row[c]))
                widths[c] = std::max(widths[c], std::min(DisplayWidth(line), kWidestColumn));
        }
    for (std::size_t r = 0; r < kFrontPanel.size(); ++r) {
        if (r > 0)
            out << '\n';
        WriteRow(out, patch, kFrontPanel[r], widths);
    }
}

} // namespace patchlens
