#pragma once
// The collection filter: one line of text that picks patches by what their panels show. The
// collection window's filter field and the command line's --where read the same syntax:
//
//   Delay              the module's lamp is on        !Delay    it is off
//   Distortion=Scream  on, and the text (any case) is part of its model line or of the model text
//                      the file holds for it
//   Delay.2 >= 400     a knob line, by row (1 = the model line) or by the label before '='
//   Reverb.DECAY < 3   (any case, trailing '_' ignored; the first line with it). The shown value
//                      is the text after the line's '=' (a line without one: the whole line);
//                      = != < <= > >= compare, ~ contains. When the shown value and the text both
//                      begin with a number ("450 ms", "+3", ".5") they compare as numbers, units
//                      ignored; otherwise as text, ignoring case (~ always as text). A knob
//                      condition looks at the line whether the module is on or off; a module
//                      without that row or label does not match, with != neither.
//   name~blues  name="Clean Lead"  file~live/  file=a/b.rp350p
//                      the patch name or the relative path contains (~) or is (=) the text
//
// Texts with blanks go in double quotes. Terms side by side must all hold; `or` between them gives
// alternatives (side by side binds tighter); parentheses group. A module is named by its caption or
// its short name, ignoring case, blanks and the characters / _ -. The empty filter (nothing but
// blanks) matches every patch, as an empty filter field shows everything. Letter case is ASCII's; a
// quoted text runs to the next double quote (there is no escape).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "panels/module_panels.h"

namespace patchlens {

// What the filter sees of one module: a view; the texts belong to whoever made it.
struct ModuleFacts {
    bool lampOn = false;
    bool enabled = true;                     // false: the panel shows its lines greyed (not filtered on)
    std::span<const std::string_view> lines; // the display lines; row 1 is lines[0], the model line
    std::string_view modelText;              // the model text the file holds for it (may be empty)
};

// What the filter sees of one patch.
struct PatchFacts {
    std::string_view file; // relative to the chosen folder, '/'-separated
    std::string_view name;
    std::array<ModuleFacts, kModuleCount> modules{};
};

// The module named `name` by its caption, its short name or its name, ignoring ASCII letter case,
// blanks and the characters / _ - ("amplifier_a", "Amp A" and "AmpA" are Amplifier A).
std::optional<Module> FindModuleByName(std::string_view name);

namespace filter_parts {

enum class Subject : std::uint8_t { ModuleOn, ModuleOff, Model, KnobByLabel, KnobByRow, Name, File };
enum class Operator : std::uint8_t { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Contains };

// One condition, with everything resolved that does not depend on the patch.
struct Condition {
    Subject subject = Subject::ModuleOn;
    Operator op = Operator::Equal;
    std::size_t module = 0;       // index in decoding order
    std::size_t row = 0;          // KnobByRow: the line's index (row - 1)
    std::string label;            // KnobByLabel: lower case, trailing '_' removed
    std::string text;             // the text compared with, in lower case
    std::optional<double> number; // the text's leading number, when it begins with one
};

// A node of the condition tree, stored in pre-order: a group's children follow it up to `end`.
struct Node {
    enum class Kind : std::uint8_t { Condition, All, Any };
    Kind kind = Kind::All;
    std::uint32_t end = 0;       // one past the last node of this subtree
    std::uint32_t condition = 0; // Kind::Condition: index into the conditions
};

} // namespace filter_parts

// A filter as read: names resolved, texts in lower case, so that applying it allocates nothing.
class PatchFilter {
public:
    PatchFilter() = default; // matches every patch

    // True for the filter that matches every patch (the empty text).
    bool empty() const { return m_nodes.empty(); }

    const std::vector<filter_parts::Condition> &conditions() const { return m_conditions; }
    // The condition tree; node 0 is the root.
    const std::vector<filter_parts::Node> &nodes() const { return m_nodes; }

private:
    friend Result<PatchFilter> ParseFilter(std::string_view text);

    std::vector<filter_parts::Condition> m_conditions;
    std::vector<filter_parts::Node> m_nodes;
};

// Reads a filter. A text that cannot be read is refused (ErrorKind::Refused) with a message that
// names the place, as `after "Delay.": a label, a row number or a model expected`; the caller puts
// its own prefix before it ("--where: "); the error's position() is the byte offset of that place in
// `text`.
Result<PatchFilter> ParseFilter(std::string_view text);

// Whether the patch passes the filter.
bool Matches(const PatchFilter &filter, const PatchFacts &facts);

} // namespace patchlens
