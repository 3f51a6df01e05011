#pragma once
// A collection's rows written out for other programs: CSV for spreadsheets, JSON for scripts. The
// command line's --list and the collection window's Export write the same bytes through this.
//
// CSV (RFC 4180: fields separated by commas, a field holding a comma, a double quote, CR or LF in
// double quotes with its double quotes doubled, every row ending in CR LF): a header row
//   file,name,Pickup,Pickup on,Wah,Wah on,...,LFO 2,LFO 2 on,reason
// then one row per entry: the file, the patch name, for each module in panel order its model line
// (the panel's line 1) and "on" or "off", then why the file was refused (empty for an accepted
// file; a refused file has an empty name and empty module fields).
//
// JSON: one array, one object per entry, in the style of `--dump --json`:
//   [{"file": ..., "refused": false, "name": ..., "modules": [{"module": "Pickup", "on": true,
//     "enabled": true, "lines": ["SC->HB"]}, ...]},
//    {"file": ..., "refused": true, "reason": ..., "name": "", "modules": []}]
// and a line end.
//
// Texts are written by the display rule (UTF-8 when their bytes are valid UTF-8, otherwise byte
// by byte as Windows-1252); nothing is shortened. For a terminal, they are shown by VisibleText
// instead (text_output.h), so that no control character in a name reaches it.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "collection/collection.h"
#include "collection/patch_filter.h"

namespace patchlens {

enum class ExportFormat : std::uint8_t { Csv, Json };

// Writes rows one at a time, so that a listing goes out while it is scanned and nothing is kept.
// The header (CSV) or the opening bracket (JSON) is written when it is made, the closing bracket
// by Finish. Writes to the stream only: the caller checks it and flushes it.
class ExportWriter {
public:
    ExportWriter(std::ostream &out, ExportFormat format, bool forTerminal = false);
    ExportWriter(const ExportWriter &) = delete;
    ExportWriter &operator=(const ExportWriter &) = delete;

    // One entry: the file as the row names it (facts.file), its name and modules; `reason` is why
    // it was refused (only used when `status` is not Accepted).
    void Row(const PatchFacts &facts, EntryStatus status, std::string_view reason);
    // Entry `index` of the collection, named by its relative path.
    void Row(const Collection &collection, std::size_t index);
    // Ends the export (JSON: the closing bracket); call once, after the last row.
    void Finish();

private:
    void WriteRow(const PatchFacts &facts, bool accepted, std::string_view reason);

    std::ostream &m_out;
    ExportFormat m_format;
    bool m_forTerminal;
    std::size_t m_rows = 0;
    std::string m_row; // room to build a row in
};

// The rows of the collection given by `rows`, in that order (the window's rows as shown: filtered
// and sorted), written whole.
void WriteCollectionExport(std::ostream &out, ExportFormat format, const Collection &collection,
                           std::span<const std::size_t> rows);

// One CSV field as RFC 4180 writes it: the text by the display rule, in double quotes (its own
// doubled) when it holds a comma, a double quote, CR or LF.
std::string CsvField(std::string_view bytes);

} // namespace patchlens
