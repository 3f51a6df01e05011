#include "patch_dump.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <sstream>
#include <vector>

#include "text/display_text.h"

namespace patchlens {

namespace {

// The front panel's three rows of modules by column; column 0 holds only the Pickup.
using PanelRow = std::array<std::optional<Module>, 6>;
constexpr std::array<PanelRow, 3> kFrontPanel = {{
    {Module::Pickup, Module::Wah, Module::Compressor, Module::Distortion, Module::AmplifierA,
     Module::EqualizerA},
    {std::nullopt, Module::NoiseGate, Module::ChorusFx, Module::Delay, Module::Reverb, Module::Expression},
    {std::nullopt, Module::AmplifierB, Module::EqualizerB, std::nullopt, Module::Lfo1, Module::Lfo2},
}};

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
              const std::array<std::size_t, 6> &widths) {
    std::array<std::vector<std::string>, 6> cells;
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

std::size_t DisplayWidth(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool ReportLoadTrouble(std::ostream &err, std::string_view path, const Status &outcome) {
    if (outcome.ok())
        return false;
    if (outcome.error().kind() != ErrorKind::Refused) {
        err << VisibleText(path) << ": cannot read file: " << outcome.message() << '\n';
        return true;
    }
    // The refusal's lines are joined by CR LF; here each goes on a line of its own.
    std::string_view message = outcome.error().message();
    err << VisibleText(path) << ": ";
    for (;;) {
        const std::size_t end = message.find("\r\n");
        err << VisibleText(message.substr(0, end)) << '\n';
        if (end == std::string_view::npos)
            return true;
        message.remove_prefix(end + 2);
    }
}

std::string VisibleText(std::string_view bytes) {
    const std::string text = ToDisplayUtf8(bytes);
    std::string out;
    out.reserve(text.size());
    char32_t code;
    for (std::size_t i = 0, length; i < text.size(); i += length) {
        length = DecodeUtf8(text, i, code); // well-formed: the display rule made it so
        const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
        const bool reorders = code == 0x061C || code == 0x200E || code == 0x200F ||
                              (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
        if (control || reorders) {
            char escaped[12];
            std::snprintf(escaped, sizeof escaped, control ? "\\x%02x" : "\\u%04x",
                          static_cast<unsigned>(code));
            out += escaped;
        } else {
            out.append(text, i, length);
        }
    }
    return out;
}

std::string JsonString(std::string_view bytes) {
    const std::string text = ToDisplayUtf8(bytes);
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

void WriteJsonRecord(std::ostream &out, const DumpedFile &file, const Patch &patch) {
    out << "{\"path\": " << JsonString(file.path) << ", \"refused\": " << (file.refused ? "true" : "false");
    if (file.refused)
        out << ", \"message\": " << JsonString(file.message);
    out << ", \"name\": " << JsonString(patch.name) << ", \"modules\": [";
    for (const ModuleInfo &info : Modules()) {
        const ModulePanel &panel = patch.panels[IndexOf(info.module)];
        if (info.module != Module::Pickup)
            out << ", ";
        out << "{\"module\": " << JsonString(info.name) << ", \"on\": " << (panel.lampOn ? "true" : "false")
            << ", \"enabled\": " << (panel.list.enabled ? "true" : "false")
            << ", \"selected\": " << panel.list.selected << ", \"lines\": [";
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

    std::array<std::size_t, 6> widths{};
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
