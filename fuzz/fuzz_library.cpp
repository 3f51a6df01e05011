// Fuzz target: a library text (any bytes) under commands made as the library group makes them (Add
// with or without overwriting, Rename and Remove of a listed name, deleting a line by number, the
// queries), followed by a model of its own: its CR LF lines and the text after the last CR LF. A
// finding is a text other than the model's after a command (a line the command did not touch changed
// or moved, the text after the last CR LF left the end) or a query answered otherwise than the model.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_finding.h"
#include "library/library_file.h"

namespace patchlens::fuzz {
namespace {

// The library as lines, kept apart from the text functions under test.
struct Model {
    std::vector<std::string> lines; // without their CR LF
    std::string tail;               // after the last CR LF

    explicit Model(std::string_view text) {
        for (std::size_t end; (end = text.find("\r\n")) != std::string_view::npos;
             text.remove_prefix(end + 2))
            lines.emplace_back(text.substr(0, end));
        tail = text;
    }
    // Field n (1-based) of a line split at every comma.
    static std::string Field(std::string_view line, std::size_t n) {
        for (; n > 1; --n) {
            if (line.find(',') == std::string_view::npos)
                return {};
            line.remove_prefix(line.find(',') + 1);
        }
        return std::string(line.substr(0, line.find(',')));
    }
    // The first line of the module with the name but for the case of a to z.
    std::optional<std::size_t> Find(std::string_view module, std::string_view name) const {
        auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        auto same = [&](char x, char y) { return upper(x) == upper(y); };
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (const std::string found = Field(lines[i], 2);
                Field(lines[i], 1) == module &&
                std::equal(found.begin(), found.end(), name.begin(), name.end(), same))
                return i;
        return std::nullopt;
    }
    static LibraryRows Rows(std::string_view line) {
        LibraryRows rows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = Field(line, i + 3);
        return rows;
    }
};

class Session {
public:
    explicit Session(std::string text) : m_text(std::move(text)), m_model(m_text) { Check("read"); }

    void Run(FuzzedDataProvider &input) {
        const int command = input.ConsumeIntegralInRange<int>(0, 4);
        const std::string_view module =
            LibraryModules()[input.ConsumeIntegralInRange<std::size_t>(0, LibraryModules().size() - 1)];
        if (command == 0)
            Add(input, module);
        else if (command <= 2)
            RenameOrRemove(input, module, command == 1);
        else if (command == 3)
            Query(input, module);
        else { // any line number, also past the last line: those change nothing
            Delete(input.ConsumeIntegralInRange<std::size_t>(0, m_model.lines.size() + 2));
            Check("delete line");
        }
    }

private:
    // A field as the window can produce it (a name takes up to 21 characters): never a CR LF.
    static std::string FieldText(FuzzedDataProvider &input, std::size_t most) {
        std::string text = input.ConsumeRandomLengthString(most);
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
            text.erase(at + 1, 1);
        return text;
    }

    // The text must be the model's: every line the command did not touch unchanged and in order,
    // the text after the last CR LF at the end.
    void Check(std::string_view command) const {
        std::string text;
        for (const std::string &line : m_model.lines)
            text.append(line).append("\r\n");
        Require(m_text == text + m_model.tail, "the text differs from the model after a command", command);
        Require(LineCount(m_text) == m_model.lines.size(), "LineCount differs from the model", command);
    }
    void Delete(std::size_t index) {
        m_text = DeleteLine(m_text, index);
        if (index < m_model.lines.size())
            m_model.lines.erase(m_model.lines.begin() + static_cast<long>(index));
    }
    void Insert(std::string_view module, const std::string &name, const LibraryRows &rows) {
        const std::string line = FormatEntry({std::string(module), name, rows});
        std::string expected = std::string(module) + "," + name + ",";
        for (const std::string &row : rows)
            expected += row + ",";
        Require(line == expected, "FormatEntry differs from the model");
        m_text = InsertFirst(m_text, line);
        m_model.lines.insert(m_model.lines.begin(), line);
    }

    // Add: an entry of the same name is replaced when the user agrees; the new line goes first.
    void Add(FuzzedDataProvider &input, std::string_view module) {
        const std::string name = FieldText(input, 21);
        LibraryRows rows;
        for (std::string &row : rows)
            row = FieldText(input, 16);
        const bool overwrite = input.ConsumeBool();
        const std::optional<std::size_t> found = FindEntry(m_text, module, name);
        Require(found == m_model.Find(module, name), "FindEntry differs from the model", "add");
        if (name.empty() || (found && !overwrite))
            return; // "Enter Name !", or the user keeps the entry
        const LibraryText added = AddEntry(m_text, {std::string(module), name, rows});
        if (found)
            Delete(*found);
        Insert(module, name, rows);
        Require(added == m_text, "AddEntry differs from the model", "add");
        Check("add");
    }

    // Rename or Remove of a name the list shows: its first entry goes, or moves to the top renamed.
    void RenameOrRemove(FuzzedDataProvider &input, std::string_view module, bool rename) {
        std::vector<std::string> names;
        for (const std::string &line : m_model.lines)
            if (Model::Field(line, 1) == module)
                names.push_back(Model::Field(line, 2));
        Require(ListNames(m_text, module) == names, "ListNames differs from the model");
        if (names.empty())
            return; // "No Library Settings Available!"
        const std::string selected = names[input.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
        const std::optional<std::size_t> found = FindEntry(m_text, module, selected);
        Require(found && found == m_model.Find(module, selected), "FindEntry differs for a listed name");
        const std::string line = m_model.lines[*found];
        Require(LineAt(m_text, *found) == line, "LineAt differs from the model");
        const std::string newName = rename ? FieldText(input, 21) : std::string();
        const LibraryText renamed = RenameEntry(m_text, *found, newName);
        Delete(*found);
        if (rename) {
            const LibraryRows rows = RowsOfLine(line);
            Require(rows == Model::Rows(line), "RowsOfLine differs from the model");
            Insert(module, newName, rows);
            Require(renamed == m_text, "RenameEntry differs from the model", "rename");
        }
        Check(rename ? "rename" : "remove");
    }

    void Query(FuzzedDataProvider &input, std::string_view module) {
        const std::string name = FieldText(input, 21);
        Require(FindEntry(m_text, module, name) == m_model.Find(module, name),
                "FindEntry differs from the model");
        std::vector<LibraryRows> rows;
        for (const std::string &line : m_model.lines)
            if (Model::Field(line, 1) == module && Model::Field(line, 2) == name)
                rows.push_back(Model::Rows(line));
        Require(EntryRows(m_text, module, name) == rows, "EntryRows differs from the model");
        const std::size_t index = input.ConsumeIntegralInRange<std::size_t>(0, m_model.lines.size() + 1);
        Require(LineAt(m_text, index) == (index < m_model.lines.size() ? m_model.lines[index] : ""),
                "LineAt differs from the model");
    }

    LibraryText m_text;
    Model m_model;
};

} // namespace
} // namespace patchlens::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    patchlens::fuzz::Session session(input.ConsumeRandomLengthString(size));
    for (int i = 0; i < 64 && input.remaining_bytes() > 0; ++i) // at most 64 commands
        session.Run(input);
    return 0;
}
