#include "collection/collection_export.h"

#include <array>
#include <vector>

#include "text/display_text.h"
#include "text/text_output.h"

namespace patchlens {

namespace {

void AppendCsvField(std::string &row, std::string_view bytes) {
    const std::string text = ToDisplayUtf8(bytes);
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        row += text;
        return;
    }
    row += '"';
    for (const char c : text) {
        if (c == '"')
            row += '"';
        row += c;
    }
    row += '"';
}

std::string CsvHeader() {
    std::string row = "file,name";
    for (const ModuleInfo &info : Modules()) {
        row += ',';
        AppendCsvField(row, info.name);
        row += ',';
        AppendCsvField(row, std::string(info.name) + " on");
    }
    return row + ",reason\r\n";
}

// The facts with their texts shown by VisibleText, and the texts they view.
struct VisibleFacts {
    PatchFacts facts;
    std::string file, name;
    std::array<std::vector<std::string>, kModuleCount> texts;
    std::array<std::vector<std::string_view>, kModuleCount> lines;

    explicit VisibleFacts(const PatchFacts &from)
        : facts(from), file(VisibleText(from.file)), name(VisibleText(from.name)) {
        facts.file = file;
        facts.name = name;
        for (std::size_t i = 0; i < kModuleCount; ++i) {
            for (const std::string_view line : from.modules[i].lines)
                texts[i].push_back(VisibleText(line));
            lines[i].assign(texts[i].begin(), texts[i].end());
            facts.modules[i].lines = lines[i];
        }
    }
    VisibleFacts(const VisibleFacts &) = delete;
};

void AppendCsvRow(std::string &row, const PatchFacts &facts, bool accepted, std::string_view reason) {
    AppendCsvField(row, facts.file);
    row += ',';
    AppendCsvField(row, facts.name);
    for (const ModuleFacts &module : facts.modules) {
        row += ',';
        if (!accepted) {
            row += ',';
            continue;
        }
        if (!module.lines.empty())
            AppendCsvField(row, module.lines.front());
        row += module.lampOn ? ",on" : ",off";
    }
    row += ',';
    if (!accepted)
        AppendCsvField(row, reason);
    row += "\r\n";
}

void AppendJsonRow(std::string &row, const PatchFacts &facts, bool accepted, std::string_view reason) {
    row += "{\"file\": ";
    row += JsonString(facts.file);
    row += ", \"refused\": ";
    row += JsonBool(!accepted);
    if (!accepted) {
        row += ", \"reason\": ";
        row += JsonString(reason);
    }
    row += ", \"name\": ";
    row += JsonString(facts.name);
    row += ", \"modules\": [";
    if (accepted)
        for (const ModuleInfo &info : Modules()) {
            const ModuleFacts &module = facts.modules[IndexOf(info.module)];
            if (info.module != Module::Pickup)
                row += ", ";
            row += "{\"module\": ";
            row += JsonString(info.name);
            row += ", \"on\": ";
            row += JsonBool(module.lampOn);
            row += ", \"enabled\": ";
            row += JsonBool(module.enabled);
            row += ", \"lines\": [";
            for (std::size_t i = 0; i < module.lines.size(); ++i) {
                if (i > 0)
                    row += ", ";
                row += JsonString(module.lines[i]);
            }
            row += "]}";
        }
    row += "]}";
}

} // namespace

std::string CsvField(std::string_view bytes) {
    std::string field;
    AppendCsvField(field, bytes);
    return field;
}

ExportWriter::ExportWriter(std::ostream &out, ExportFormat format, bool forTerminal)
    : m_out(out), m_format(format), m_forTerminal(forTerminal) {
    if (m_format == ExportFormat::Csv)
        m_out << CsvHeader();
    else
        m_out << '[';
}

void ExportWriter::Row(const PatchFacts &facts, EntryStatus status, std::string_view reason) {
    const bool accepted = status == EntryStatus::Accepted;
    if (m_forTerminal) {
        const VisibleFacts visible(facts);
        WriteRow(visible.facts, accepted, VisibleText(reason));
    } else {
        WriteRow(facts, accepted, reason);
    }
}

void ExportWriter::WriteRow(const PatchFacts &facts, bool accepted, std::string_view reason) {
    m_row.clear();
    if (m_format == ExportFormat::Csv) {
        AppendCsvRow(m_row, facts, accepted, reason);
    } else {
        if (m_rows > 0)
            m_row += ",\n ";
        AppendJsonRow(m_row, facts, accepted, reason);
    }
    m_out.write(m_row.data(), static_cast<std::streamsize>(m_row.size()));
    ++m_rows;
}

void ExportWriter::Row(const Collection &collection, std::size_t index) {
    const CollectionEntry &entry = collection.entry(index);
    Row(collection.Facts(index), entry.status, collection.Reason(index));
}

void ExportWriter::Finish() {
    if (m_format == ExportFormat::Json)
        m_out << "]\n";
}

void WriteCollectionExport(std::ostream &out, ExportFormat format, const Collection &collection,
                           std::span<const std::size_t> rows) {
    ExportWriter writer(out, format);
    for (const std::size_t index : rows)
        writer.Row(collection, index);
    writer.Finish();
}

} // namespace patchlens
