#include "compare_dump.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "text/text_output.h"

namespace patchlens {

namespace {

// Mark, Module, Row, A, B.
using TableRow = std::array<std::string, 5>;
constexpr std::size_t kColumnGap = 2;

const char *OnOff(bool on) {
    return on ? "on" : "off";
}

const char *EnabledGreyed(bool enabled) {
    return enabled ? "enabled" : "greyed";
}

std::vector<TableRow> RowsOf(const ComparedModule &compared, bool all) {
    std::vector<TableRow> rows;
    auto add = [&](bool differs, std::string label, std::string a, std::string b) {
        if (all || differs)
            rows.push_back({differs && all ? "*" : "", "", std::move(label), std::move(a), std::move(b)});
    };
    add(compared.lampDiffers(), "lamp", OnOff(compared.lampA), OnOff(compared.lampB));
    add(compared.enabledA != compared.enabledB, "list", EnabledGreyed(compared.enabledA),
        EnabledGreyed(compared.enabledB));
    for (std::size_t i = 0; i < compared.lines.size(); ++i) {
        const ComparedLine &line = compared.lines[i];
        add(line.differs, "line " + std::to_string(i + 1), VisibleText(line.a), VisibleText(line.b));
    }
    if (!rows.empty())
        rows.front()[1] = InfoOf(compared.module).name;
    return rows;
}

void WriteTable(std::ostream &out, const std::vector<TableRow> &rows, bool marks) {
    std::array<std::size_t, 5> widths{};
    for (const TableRow &row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    for (const TableRow &row : rows) {
        std::string line;
        for (std::size_t c = marks ? 0 : 1; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(widths[c] - DisplayWidth(row[c]) + kColumnGap, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

void WriteJsonFile(std::ostream &out, const ComparedFile &file) {
    out << "{\"path\": " << JsonString(file.path) << ", \"name\": " << JsonString(file.name) << '}';
}

} // namespace

void WriteComparisonText(std::ostream &out, const ComparedFile &a, const ComparedFile &b,
                         const PatchComparison &comparison, bool all) {
    if (!all && !comparison.differs)
        return;
    out << "A: " << VisibleText(a.path) << "\nB: " << VisibleText(b.path) << "\n\n";
    std::vector<TableRow> rows = {
        {"", "Module", "Row", "A: " + VisibleText(a.name), "B: " + VisibleText(b.name)}};
    for (const ComparedModule &compared : comparison.modules)
        for (TableRow &row : RowsOf(compared, all))
            rows.push_back(std::move(row));
    WriteTable(out, rows, all);
}

void WriteComparisonJson(std::ostream &out, const ComparedFile &a, const ComparedFile &b,
                         const PatchComparison &comparison) {
    out << "{\"a\": ";
    WriteJsonFile(out, a);
    out << ", \"b\": ";
    WriteJsonFile(out, b);
    out << ", \"differs\": " << JsonBool(comparison.differs) << ", \"modules\": [";
    for (const ComparedModule &compared : comparison.modules) {
        out << (compared.module == Module::Pickup ? "" : ", ")
            << "{\"module\": " << JsonString(InfoOf(compared.module).name)
            << ", \"differs\": " << JsonBool(compared.differs) << ", \"lamp\": [" << JsonBool(compared.lampA)
            << ", " << JsonBool(compared.lampB) << "], \"enabled\": [" << JsonBool(compared.enabledA) << ", "
            << JsonBool(compared.enabledB) << "], \"lines\": [";
        for (std::size_t i = 0; i < compared.lines.size(); ++i) {
            const ComparedLine &line = compared.lines[i];
            out << (i > 0 ? ", " : "") << "{\"a\": " << JsonString(line.a)
                << ", \"b\": " << JsonString(line.b) << ", \"differs\": " << JsonBool(line.differs) << '}';
        }
        out << "]}";
    }
    out << "]}\n";
}

} // namespace patchlens
