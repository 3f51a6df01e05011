// Fuzz target: the library text under a sequence of commands.
//
// The input gives a library text (any bytes) and then commands made the way the library group
// makes them: Add (with or without overwriting an entry of the same name), Rename and Remove of
// a name the list shows, plus deleting a line by number and the read-only queries. An independent
// model (the CR LF-terminated lines and the text after the last CR LF) follows every command. A
// finding is a text that differs from the model after a command: a line the command did not
// touch changed or moved, the text after the last CR LF left the end, or a query answered other
// than the model.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_finding.h"
#include "library/library_file.h"

namespace patchlens::fuzz {
namespace {

constexpr std::size_t kMostCommands = 64;
constexpr std::size_t kNameLength = 21; // the name field's limit
constexpr std::size_t kRowLength = 16;

// The library as lines, kept apart from the text functions under test.
struct Model {
    std::vector<std::string> lines; // without their CR LF
    std::string tail;               // after the last CR LF

    static Model Of(std::string_view text) {
        Model model;
        std::size_t start = 0;
        std::size_t i = 0;
        while (i + 1 < text.size()) {
            if (text[i] == '\r' && text[i + 1] == '\n') {
                model.lines.emplace_back(text.substr(start, i - start));
                i += 2;
                start = i;
            } else {
                ++i;
            }
        }
        model.tail = std::string(text.substr(start));
        return model;
    }

    std::string Text() const {
        std::string text;
        for (const std::string &line : lines)
            text.append(line).append("\r\n");
        return text + tail;
    }

    // Field n (1-based) of a line split at every comma.
    static std::string Field(std::string_view line, std::size_t n) {
        std::size_t start = 0;
        for (std::size_t i = 1; i < n; ++i) {
            const std::size_t comma = line.find(',', start);
            if (comma == std::string_view::npos)
                return {};
            start = comma + 1;
        }
        const std::size_t comma = line.find(',', start);
        return std::string(
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    }

    static bool SameName(std::string_view a, std::string_view b) {
        auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                                  [&](char x, char y) { return upper(x) == upper(y); });
    }

    long Find(std::string_view module, std::string_view name) const {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (Field(lines[i], 1) == module && SameName(Field(lines[i], 2), name))
                return static_cast<long>(i);
        return -1;
    }

    std::vector<std::string> Names(std::string_view module) const {
        std::vector<std::string> names;
        for (const std::string &line : lines)
            if (Field(line, 1) == module)
                names.push_back(Field(line, 2));
        return names;
    }

    static LibraryRows Rows(std::string_view line) {
        LibraryRows rows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = Field(line, i + 3);
        return rows;
    }

    static std::string Format(std::string_view module, std::string_view name, const LibraryRows &rows) {
        std::string line = std::string(module) + "," + std::string(name) + ",";
        for (const std::string &row : rows)
            line += row + ",";
        return line;
    }
};

// A field as the window can produce it: a name field or a panel line never holds a CR LF.
std::string FieldText(FuzzedDataProvider &input, std::size_t most) {
    std::string text = input.ConsumeRandomLengthString(most);
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at + 1, 1);
    return text;
}

std::string_view PickModule(FuzzedDataProvider &input) {
    const auto modules = LibraryModules();
    return modules[input.ConsumeIntegralInRange<std::size_t>(0, modules.size() - 1)];
}

// The changed text must be the model's text: every line the command did not touch unchanged and
// in order, the text after the last CR LF at the end.
void CheckAgainstModel(const LibraryText &text, const Model &model, std::string_view command) {
    Require(std::string_view(text).ends_with(model.tail), "the text after the last CR LF left the end",
            command);
    Require(text == model.Text(), "the text differs from the model after a command", command);
    Require(LineCount(text) == model.lines.size(), "LineCount differs from the model", command);
}

class Session {
public:
    explicit Session(std::string text) : m_text(std::move(text)), m_model(Model::Of(m_text)) {
        CheckAgainstModel(m_text, m_model, "read");
    }

    void Run(FuzzedDataProvider &input) {
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            Add(input);
            break;
        case 1:
            Rename(input);
            break;
        case 2:
            Remove(input);
            break;
        case 3:
            DeleteByNumber(input);
            break;
        default:
            Query(input);
            break;
        }
    }

private:
    // Add: an entry of the same name (a to z in any case) is replaced when the user agrees to
    // overwrite; the new line goes first.
    void Add(FuzzedDataProvider &input) {
        const std::string_view module = PickModule(input);
        const std::string name = FieldText(input, kNameLength);
        LibraryRows rows;
        for (std::string &row : rows)
            row = FieldText(input, kRowLength);
        const bool overwrite = input.ConsumeBool();
        if (name.empty())
            return; // "Enter Name !"

        const long found = FindEntry(m_text, module, name);
        Require(found == m_model.Find(module, name), "FindEntry differs from the model", "add");
        LibraryText changed = m_text;
        if (found >= 0) {
            if (!overwrite)
                return;
            changed = DeleteLine(changed, static_cast<std::size_t>(found));
            m_model.lines.erase(m_model.lines.begin() + found);
        }
        const std::string line = FormatEntry({std::string(module), name, rows});
        Require(line == Model::Format(module, name, rows), "FormatEntry differs from the model");
        m_text = InsertFirst(changed, line);
        m_model.lines.insert(m_model.lines.begin(), line);
        CheckAgainstModel(m_text, m_model, "add");
    }

    // A name as the name list shows it for the module; empty when the list is empty.
    bool SelectName(FuzzedDataProvider &input, std::string_view module, std::string &selected) {
        const std::vector<std::string> names = ListNames(m_text, module);
        Require(names == m_model.Names(module), "ListNames differs from the model");
        if (names.empty())
            return false; // "No Library Settings Available!"
        selected = names[input.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
        return true;
    }

    // Rename: the first entry matching the selected name is moved to the top under the new name.
    void Rename(FuzzedDataProvider &input) {
        const std::string_view module = PickModule(input);
        std::string selected;
        if (!SelectName(input, module, selected))
            return;
        const std::string newName = FieldText(input, kNameLength);
        const long found = FindEntry(m_text, module, selected);
        Require(found == m_model.Find(module, selected), "FindEntry differs from the model", "rename");
        Require(found >= 0, "a listed name is not found");
        const auto index = static_cast<std::size_t>(found);
        const std::string_view line = LineAt(m_text, index);
        Require(line == m_model.lines[index], "LineAt differs from the model", "rename");
        const LibraryRows rows = RowsOfLine(line);
        Require(rows == Model::Rows(m_model.lines[index]), "RowsOfLine differs from the model");
        m_text = InsertFirst(DeleteLine(m_text, index), FormatEntry({std::string(module), newName, rows}));
        m_model.lines.erase(m_model.lines.begin() + found);
        m_model.lines.insert(m_model.lines.begin(), Model::Format(module, newName, rows));
        CheckAgainstModel(m_text, m_model, "rename");
    }

    // Remove: the first entry matching the selected name.
    void Remove(FuzzedDataProvider &input) {
        const std::string_view module = PickModule(input);
        std::string selected;
        if (!SelectName(input, module, selected))
            return;
        const long found = FindEntry(m_text, module, selected);
        Require(found == m_model.Find(module, selected), "FindEntry differs from the model", "remove");
        Require(found >= 0, "a listed name is not found");
        m_text = DeleteLine(m_text, static_cast<std::size_t>(found));
        m_model.lines.erase(m_model.lines.begin() + found);
        CheckAgainstModel(m_text, m_model, "remove");
    }

    // Any line number, also past the last line: those leave the text as it is.
    void DeleteByNumber(FuzzedDataProvider &input) {
        const std::size_t index = input.ConsumeIntegralInRange<std::size_t>(0, m_model.lines.size() + 2);
        m_text = DeleteLine(m_text, index);
        if (index < m_model.lines.size())
            m_model.lines.erase(m_model.lines.begin() + static_cast<long>(index));
        CheckAgainstModel(m_text, m_model, "delete line");
    }

    void Query(FuzzedDataProvider &input) {
        const std::string_view module = PickModule(input);
        const std::string name = FieldText(input, kNameLength);
        Require(FindEntry(m_text, module, name) == m_model.Find(module, name),
                "FindEntry differs from the model");
        std::vector<LibraryRows> rows;
        for (const std::string &line : m_model.lines)
            if (Model::Field(line, 1) == module && Model::Field(line, 2) == name)
                rows.push_back(Model::Rows(line));
        Require(EntryRows(m_text, module, name) == rows, "EntryRows differs from the model");
        const std::size_t index = input.ConsumeIntegralInRange<std::size_t>(0, m_model.lines.size() + 1);
        const std::string_view expected =
            index < m_model.lines.size() ? std::string_view(m_model.lines[index]) : std::string_view();
        Require(LineAt(m_text, index) == expected, "LineAt differs from the model");
    }

    LibraryText m_text;
    Model m_model;
};

} // namespace
} // namespace patchlens::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    patchlens::fuzz::Session session(input.ConsumeRandomLengthString(size));
    for (std::size_t i = 0; i < patchlens::fuzz::kMostCommands && input.remaining_bytes() > 0; ++i)
        session.Run(input);
    return 0;
}
