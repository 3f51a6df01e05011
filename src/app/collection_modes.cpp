#include "collection_modes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collection/collection_export.h"
#include "collection/collection_groups.h"
#include "collection/collection_scan.h"
#include "search/search_texts.h"
#include "text/path_bytes.h"
#include "text/text_output.h"

namespace patchlens {

namespace {

// The folders as the command line names them: "samples/" is "samples".
std::vector<std::filesystem::path> FoldersOf(const CommandLine &command) {
    std::vector<std::filesystem::path> folders;
    for (const std::string &folder : command.files)
        folders.push_back(WithoutTrailingSeparators(PathFromBytes(folder)));
    return folders;
}

std::string JoinedPath(const std::filesystem::path &folder, std::string_view file) {
    return PathBytes((folder / PathFromBytes(file)).make_preferred());
}

// What the scan tells along the way, said on `err`: refused files and folders that cannot be read.
class ScanReport {
public:
    ScanReport(std::ostream &err, const std::vector<std::filesystem::path> &folders)
        : m_err(err), m_folders(folders) {}

    void Refused(const ScannedPatch &patch) {
        const std::string path = VisibleText(JoinedPath(m_folders[patch.folder], patch.file));
        ++refused;
        if (patch.status != EntryStatus::NewerSchema) {
            m_err << path << ": cannot read file: " << VisibleText(patch.reason) << '\n';
            return;
        }
        // The refusal's lines are joined by CR LF; here each goes on a line of its own.
        std::string_view message = patch.reason;
        m_err << path << ": ";
        for (std::size_t end; (end = message.find("\r\n")) != std::string_view::npos;) {
            m_err << VisibleText(message.substr(0, end)) << '\n';
            message.remove_prefix(end + 2);
        }
        m_err << VisibleText(message) << '\n';
    }

    void Trouble(const FolderTrouble &trouble) {
        m_err << VisibleText(trouble.message) << '\n';
        ++troubles;
        if (trouble.path == m_folders[trouble.folder])
            namedTroubled = true;
    }

    // Reports every refused file and folder trouble of the scan as it comes.
    ScanObserver Observer() {
        ScanObserver observer;
        observer.onPatch = [this](ScannedPatch &patch, const ScanProgress &) {
            if (!patch.accepted())
                Refused(patch);
        };
        observer.onTrouble = [this](const FolderTrouble &trouble) { Trouble(trouble); };
        return observer;
    }

    std::size_t refused = 0;
    std::size_t troubles = 0;
    bool namedTroubled = false; // a folder named on the command line could not be read

private:
    std::ostream &m_err;
    const std::vector<std::filesystem::path> &m_folders;
};

// ---- The text table of --list --------------------------------------------------------------------

constexpr std::size_t kNameWidth = 18;   // the patch names the name strip shows whole
constexpr std::size_t kModuleWidth = 11; // the panel lines that show whole, parentheses included
constexpr std::size_t kColumnGap = 2;

// Pads the cell to its column and the gap after it; a longer cell pushes the columns after it.
void AppendCell(std::string &row, std::string_view cell, std::size_t width) {
    row += cell;
    const std::size_t used = DisplayWidth(cell);
    row.append((used < width ? width - used : 0) + kColumnGap, ' ');
}

std::string TableHeader() {
    std::string row;
    AppendCell(row, "name", kNameWidth);
    for (const ModuleInfo &info : Modules())
        AppendCell(row, info.name, kModuleWidth);
    return row + "file\n";
}

std::string TableRow(const PatchFacts &facts, const ScannedPatch &patch) {
    std::string row;
    AppendCell(row, VisibleText(facts.name), kNameWidth);
    for (const ModuleFacts &module : facts.modules) {
        std::string cell;
        if (patch.accepted() && !module.lines.empty())
            cell = VisibleText(module.lines.front());
        if (patch.accepted() && !module.lampOn && !cell.empty())
            cell = "(" + cell + ")";
        AppendCell(row, cell, kModuleWidth);
    }
    row += VisibleText(facts.file);
    if (!patch.accepted()) {
        std::string reason = patch.reason;
        for (std::size_t at; (at = reason.find("\r\n")) != std::string::npos;)
            reason.replace(at, 2, " ");
        row += "  refused: " + VisibleText(reason);
    }
    return row + '\n';
}

std::string ShownPath(const std::string &path, bool outIsTerminal) {
    return outIsTerminal ? VisibleText(path) : path;
}

} // namespace

int RunList(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal) {
    const std::vector<std::filesystem::path> folders = FoldersOf(command);
    const bool joined = folders.size() > 1; // the file column names the folder too
    ScanReport report(err, folders);
    const bool table = !command.csv && !command.json;
    std::optional<ExportWriter> writer;
    if (table)
        out << TableHeader();
    else
        writer.emplace(out, command.csv ? ExportFormat::Csv : ExportFormat::Json, outIsTerminal);
    std::string file; // room for a joined path
    ScanObserver observer = report.Observer();
    observer.onPatch = [&](ScannedPatch &patch, const ScanProgress &) {
        if (!patch.accepted())
            report.Refused(patch);
        const ScannedFacts scanned(patch);
        if (!Matches(command.filter, scanned.facts()))
            return;
        PatchFacts facts = scanned.facts();
        if (joined) {
            file = JoinedPath(folders[patch.folder], patch.file);
            facts.file = file;
        }
        if (table)
            out << TableRow(facts, patch);
        else
            writer->Row(facts, patch.status, patch.reason);
    };
    ScanCollection(folders, {.recursive = command.recursive, .keepEntries = false}, &observer);
    if (writer)
        writer->Finish();
    out.flush();
    return report.troubles > 0 ? 1 : 0;
}

int RunDuplicates(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal) {
    const std::vector<std::filesystem::path> folders = FoldersOf(command);
    ScanReport report(err, folders);
    const ScanObserver observer = report.Observer();
    const ScanOutcome outcome = ScanCollection(folders, {.recursive = command.recursive}, &observer);
    const Collection &collection = outcome.collection;
    const EntryGroups groups = command.variants ? FindVariants(collection) : FindDuplicates(collection);
    if (command.json)
        out << '[';
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (command.json)
            out << (g > 0 ? ",\n " : "") << '[';
        else if (g > 0)
            out << '\n';
        for (std::size_t i = 0; i < groups[g].size(); ++i) {
            const std::size_t entry = groups[g][i];
            const std::string path = PathBytes(collection.FullPath(entry).make_preferred());
            if (command.json)
                out << (i > 0 ? ", " : "") << "{\"path\": " << JsonString(path)
                    << ", \"name\": " << JsonString(collection.Name(entry)) << '}';
            else
                out << ShownPath(path, outIsTerminal) << '\n';
        }
        if (command.json)
            out << ']';
    }
    if (command.json)
        out << "]\n";
    out.flush();
    return report.troubles > 0 ? 1 : 0;
}

int RunCompareFolders(const CommandLine &command, std::ostream &out, std::ostream &err, bool outIsTerminal) {
    const std::vector<std::filesystem::path> folders = FoldersOf(command);
    ScanReport report(err, folders);
    const ScanObserver observer = report.Observer();
    const ScanOutcome outcome = ScanCollection(folders, {.recursive = true}, &observer);
    if (report.namedTroubled)
        return 2;
    const Collection &collection = outcome.collection;
    const std::vector<FolderDifference> differences = CompareFolders(collection, 0, 1);
    using Kind = FolderDifference::Kind;
    if (command.json)
        out << '[';
    for (std::size_t d = 0; d < differences.size(); ++d) {
        const FolderDifference &difference = differences[d];
        const bool old = difference.kind != Kind::Added;
        const std::string_view path = collection.File(old ? difference.oldEntry : difference.newEntry);
        const std::string_view kind = KindText(difference.kind);
        if (command.json) {
            out << (d > 0 ? ",\n " : "") << "{\"kind\": \"" << kind << "\", \"path\": " << JsonString(path);
            if (difference.kind == Kind::Changed) {
                out << ", \"modules\": [";
                for (std::size_t m = 0; m < difference.modules.size(); ++m)
                    out << (m > 0 ? ", " : "") << JsonString(InfoOf(difference.modules[m]).name);
                out << ']';
            }
            if (difference.kind == Kind::Moved)
                out << ", \"to\": " << JsonString(collection.File(difference.newEntry));
            out << '}';
            continue;
        }
        out << kind << ' ' << ShownPath(std::string(path), outIsTerminal);
        if (difference.kind == Kind::Moved)
            out << " -> " << ShownPath(std::string(collection.File(difference.newEntry)), outIsTerminal);
        if (!difference.modules.empty())
            out << ": " << ModuleNamesText(difference.modules);
        out << '\n';
    }
    if (command.json)
        out << "]\n";
    out.flush();
    if (report.refused > 0 || report.troubles > 0)
        return 2;
    return differences.empty() ? 0 : 1;
}

} // namespace patchlens
