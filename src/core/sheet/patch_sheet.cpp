#include "sheet/patch_sheet.h"

#include <algorithm>
#include <cmath>

#include "text/display_text.h"

namespace patchlens {

namespace {

// The blocks' captions, in decoding order; the blocks sit as the front panel's panels do, a
// column 1000 units wide and a row 1200 high.
constexpr std::string_view kCaptions[kModuleCount] = {
    "Pickup_______",  "Wah_________",   "Compressor__",   "Distortion____", "Amplifier A___",
    "Equalizer A___", "Noise Gate____", "Chorus/Fx____",  "Delay________",  "Reverb______",
    "Expression__",   "Amplifier B___", "Equalizer B___", "LFO 1_______",   "LFO 2_______",
};

constexpr int kSheetFontHeight = 80;  // the renderer's sheet font, in sheet units
constexpr int kSmallestLocation = 12; // where even a path of thousands of characters fits

// Characters, not bytes, of a UTF-8 text.
std::size_t Characters(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// The characters a line of the page holds at a font height.
std::size_t CharactersPerLine(int height) {
    return static_cast<std::size_t>((kSheetRight - 20) / (kLocationAdvance * height));
}

int LineHeight(int height) {
    return static_cast<int>(std::ceil(kLocationLineHeight * height));
}

// The text broken into lines of at most `width` characters: after a separator where possible,
// inside a name only where the name alone is wider than a line.
std::vector<std::string> BreakAtSeparators(std::string_view text, std::size_t width) {
    // The pieces: each name with the separator that ends it.
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("/\\");
        const std::size_t size = end == std::string_view::npos ? text.size() : end + 1;
        pieces.push_back(text.substr(0, size));
        text.remove_prefix(size);
    }
    std::vector<std::string> lines(1);
    std::size_t used = 0;
    for (std::string_view piece : pieces) {
        const std::size_t characters = Characters(piece);
        if (used > 0 && used + characters > width) {
            lines.emplace_back();
            used = 0;
        }
        // A piece wider than a whole line is cut between characters.
        while (used + Characters(piece) > width) {
            std::size_t at = 0;
            for (std::size_t taken = 0; taken < width - used; ++taken) {
                do
                    ++at;
                while (at < piece.size() && (static_cast<unsigned char>(piece[at]) & 0xC0) == 0x80);
            }
            lines.back() += piece.substr(0, at);
            piece.remove_prefix(at);
            lines.emplace_back();
            used = 0;
        }
        lines.back() += piece;
        used += Characters(piece);
    }
    return lines;
}

constexpr int kBoxWidth = 710;
constexpr int kBoxHeight = 750;
constexpr int kRowIndent = 10;
constexpr int kFirstRow = 135;
constexpr int kRowPitch = 100;
constexpr std::size_t kRows = 6;

struct Block {
    Module module;
    int x, y;
};

Block BlockOf(Module module) {
    const PanelCell cell = CellOf(module);
    return {module, cell.column == 0 ? 20 : 1000 * static_cast<int>(cell.column),
            kBlocksTop + 1200 * static_cast<int>(cell.row)};
}

} // namespace

LocationLayout LayOutLocation(std::string_view path) {
    const std::string text = "Patch Location: " + ToDisplayUtf8(path);
    const std::size_t characters = Characters(text);
    // One line, in a font shrunk as far as the sheet font's size.
    for (int height = LocationFontHeight(kSheetDpi); height >= kSheetFontHeight; --height)
        if (characters <= CharactersPerLine(height))
            return {{text}, height};
    // Then as many lines as fit above the blocks, in the largest font that takes the whole path.
    const int room = kBlocksTop - kLocationTop;
    for (int height = kSheetFontHeight; height > kSmallestLocation; --height) {
        std::vector<std::string> lines = BreakAtSeparators(text, CharactersPerLine(height));
        if (static_cast<int>(lines.size()) * LineHeight(height) <= room)
            return {std::move(lines), height};
    }
    return {BreakAtSeparators(text, CharactersPerLine(kSmallestLocation)), kSmallestLocation};
}

int LocationFontHeight(int dpi) {
    // 16 points at `dpi` dots per inch, times 1.15: 23 * dpi / 90, rounded exactly.
    const long exact = 23L * dpi;
    const long whole = exact / 90;
    const long twiceRest = 2 * (exact % 90);
    if (twiceRest > 90 || (twiceRest == 90 && whole % 2 == 1))
        return static_cast<int>(whole + 1);
    return static_cast<int>(whole);
}

std::string CollectionPatchNumber(std::string_view first, std::size_t page) {
    const bool numeric = !first.empty() && first.size() <= 2 &&
                         std::all_of(first.begin(), first.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!numeric)
        return std::string(first);
    const std::string number = std::to_string(std::stoul(std::string(first)) + page);
    return number.size() < 2 ? "0" + number : number;
}

bool CountsAsOn(const ModulePanels &panels, Module module) {
    const ModulePanel &panel = panels[IndexOf(module)];
    return CellOf(module).row == 0 ? panel.list.enabled : panel.lampOn;
}

PatchSheet BuildPatchSheet(const SheetInput &input) {
    PatchSheet sheet;
    auto text = [&](int x, int y, std::string content, SheetFont font = SheetFont::Sheet,
                    SheetColour colour = kSheetBlack, SheetColour background = kSheetWhite) {
        sheet.texts.push_back({x, y, font, 0, colour, background, std::move(content)});
    };
    text(20, 300,
         "Patch Name: " + ToDisplayUtf8(input.nameField) +
             "    PATCH NUMBER: " + ToDisplayUtf8(input.numberField));
    const LocationLayout location = LayOutLocation(input.path);
    for (std::size_t i = 0; i < location.lines.size(); ++i) {
        text(20, kLocationTop + static_cast<int>(i) * LineHeight(location.height), location.lines[i],
             SheetFont::Location);
        sheet.texts.back().height = location.height;
    }

    for (const ModuleInfo &info : Modules()) {
        const Block block = BlockOf(info.module);
        const PanelList &list = input.panels[IndexOf(block.module)].list;
        const SheetColour colour = CountsAsOn(input.panels, block.module) ? kSheetBlack : kSheetGrey;
        text(block.x, block.y, std::string(kCaptions[IndexOf(block.module)]), SheetFont::Sheet, kSheetWhite,
             kSheetBlack);
        if (block.module == Module::Pickup) {
            sheet.boxes.push_back({20, 600, 710, 850});
            text(30, 735, std::string(LineAt(list, 0)), SheetFont::Sheet, colour);
            continue;
        }
        sheet.boxes.push_back({block.x, block.y, block.x + kBoxWidth, block.y + kBoxHeight});
        for (std::size_t row = 0; row < kRows; ++row)
            text(block.x + kRowIndent, block.y + kFirstRow + kRowPitch * static_cast<int>(row),
                 std::string(LineAt(list, row)), SheetFont::Sheet, colour);
    }
    text(20, kSheetFooterTop, std::string(kSheetFooter));
    if (input.pageCount > 0)
        text(kSheetPageNumberLeft, kSheetFooterTop,
             "page " + std::to_string(input.page) + " of " + std::to_string(input.pageCount));
    return sheet;
}

} // namespace patchlens
