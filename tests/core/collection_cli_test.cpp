// The collection's command-line modes: --list in its three forms with and without a filter,
// --duplicates and --variants with their groups and order, --compare-folders; the exit statuses
// and what they say on stderr.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "collection/collection_scan.h"
#include "command_line.h"
#include "patch_builder.h"
#include "run_modes.h"
#include "temp_folder.h"
#include "text/path_bytes.h"

namespace patchlens {
namespace {

using test::PatchBuilder;

// A patch whose Distortion shows the model with its drive knob.
std::string Distortion(std::string_view name, std::string_view model, std::string_view enable = "On",
                       std::string_view drive = "60") {
    PatchBuilder builder;
    builder.name = name;
    builder.Param("2433", "Dist Enable", enable)
        .Param("2432", "Dist Type", model)
        .Param("2434", "Dist Drive", drive);
    return builder.Bytes();
}

std::string Newer() {
    PatchBuilder newer;
    newer.schemaVersion = "1.3";
    return newer.Bytes();
}

const std::string kNewerReason =
    "Wrong Schema Version!: 1.3\r\nProgram Supports Version : 1.2\r\nAsk for New Version.";

std::size_t Count(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class CollectionCliTest : public test::TempFolder {
protected:
    std::string Path(const std::string &relative) const {
        return PathBytes(folder / PathFromBytes(relative));
    }
    std::string File(const std::string &relative, const std::string &bytes) {
        return PathBytes(Write(PathFromBytes(relative), bytes));
    }
    int Run(std::vector<std::string> args) {
        std::ostringstream o, e;
        const int status = RunWithoutWindow(ParseCommandLine(args), o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    // The files below the folder in the order the scan hands them on.
    std::vector<std::string> ScanOrder(const std::string &root) {
        const std::vector<std::filesystem::path> folders{PathFromBytes(root)};
        const ScanOutcome outcome = ScanCollection(folders);
        std::vector<std::string> order;
        for (std::size_t i = 0; i < outcome.collection.size(); ++i)
            order.push_back(PathBytes(outcome.collection.FullPath(i)));
        return order;
    }

    std::string out, err;
};

TEST_F(CollectionCliTest, ListWritesATableCsvAndJsonWithTheRefusedFiles) {
    File("a.rp350p", Distortion("Lead, \"Blue\"\nX", "Screamer"));
    File("newer.rp350p", Newer());
    File("sub/deep.rp350p", Distortion("Deep", "Rodent", "Off"));
    const std::string root = folder.string();
    const std::string refusal =
        Path("newer.rp350p") +
        ": Wrong Schema Version!: 1.3\nProgram Supports Version : 1.2\nAsk for New Version.\n";

    // CSV: RFC 4180 quoting of the comma, the quote and the line break; the refusal last.
    ASSERT_EQ(Run({"--list", root, "--csv"}), 0) << err;
    EXPECT_EQ(out.rfind("file,name,Pickup,Pickup on,Wah,Wah on,Compressor,Compressor on,", 0), 0u) << out;
    EXPECT_NE(out.find(",LFO 2,LFO 2 on,reason\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\na.rp350p,\"Lead, \"\"Blue\"\"\nX\","), std::string::npos) << out;
    EXPECT_NE(out.find(",SCREAM,on,"), std::string::npos);
    EXPECT_NE(out.find("\r\nnewer.rp350p" + std::string(32, ',') + "\"" + kNewerReason + "\"\r\n"),
              std::string::npos);
    EXPECT_EQ(Count(out, "\r\n"), 3u + 2u); // the header, two rows, and the two lines of the reason
    EXPECT_EQ(out.find("deep"), std::string::npos);
    EXPECT_EQ(err, refusal);

    // JSON, every folder below: the dump's style, texts escaped.
    ASSERT_EQ(Run({"--list", root, "--recursive", "--json"}), 0);
    EXPECT_EQ(out.front(), '[');
    EXPECT_EQ(out.substr(out.size() - 2), "]\n");
    EXPECT_NE(out.find("{\"file\": \"a.rp350p\", \"refused\": false, \"name\": \"Lead, \\\"Blue\\\"\\nX\", "
                       "\"modules\": [{\"module\": \"Pickup\", \"on\": "),
              std::string::npos)
        << out;
    EXPECT_NE(
        out.find("{\"module\": \"Distortion\", \"on\": true, \"enabled\": true, \"lines\": [\"SCREAM\", "
                 "\"DRIVE_= 60\""),
        std::string::npos);
    EXPECT_NE(out.find("{\"file\": \"newer.rp350p\", \"refused\": true, \"reason\": \"Wrong Schema Version!: "
                       "1.3\\r\\nProgram Supports Version : 1.2\\r\\nAsk for New Version.\", \"name\": \"\", "
                       "\"modules\": []}"),
              std::string::npos);
    EXPECT_NE(out.find("{\"file\": \"sub/deep.rp350p\", \"refused\": false, \"name\": \"Deep\""),
              std::string::npos);
    EXPECT_EQ(err, refusal);

    // The table: model lines, in parentheses when off, the names shown safely, the reason last.
    ASSERT_EQ(Run({"--list", root, "--recursive"}), 0);
    EXPECT_EQ(out.rfind("name  ", 0), 0u);
    EXPECT_NE(out.find("Lead, \"Blue\"\\x0aX  "), std::string::npos) << out;
    EXPECT_NE(out.find("(RODENT)"), std::string::npos);
    EXPECT_NE(out.find("  newer.rp350p  refused: Wrong Schema Version!: 1.3 Program Supports"),
              std::string::npos);
    EXPECT_EQ(Count(out, "\n"), 4u);

    // A filter; with several folders the file names its folder; a folder that is not there.
    ASSERT_EQ(Run({"--list", Path("missing"), Path("sub"), root, "--csv", "--where",
                   "Distortion=Screamer or name=Deep"}),
              1);
    EXPECT_EQ(Count(out, "\r\n"), 3u) << out;
    EXPECT_NE(out.find("\r\n" + Path("sub/deep.rp350p") + ",Deep,"), std::string::npos);
    EXPECT_NE(out.find("\r\n" + Path("a.rp350p") + ",\"Lead"), std::string::npos);
    EXPECT_EQ(err, Path("missing") + ": no such folder\n" + refusal);
}

// Duplicates: a renamed copy; variants: one knob changed; a module switched off makes neither.
// Groups in the scan's order, refused files in none.
TEST_F(CollectionCliTest, DuplicatesAndVariantsComeInGroupsInTheScansOrder) {
    const std::string blues = File("blues.rp350p", Distortion("Blues", "Screamer"));
    const std::string copy = File("copy.rp350p", Distortion("Blues Copy", "Screamer"));
    const std::string knob = File("knob.rp350p", Distortion("Blues", "Screamer", "On", "70"));
    File("off.rp350p", Distortion("Blues", "Screamer", "Off"));
    const std::string rodent = File("rodent.rp350p", Distortion("Rodent", "Rodent"));
    const std::string deep = File("sub/rodent.rp350p", Distortion("Rodent Again", "Rodent"));
    File("newer.rp350p", Newer());
    File("newer-copy.rp350p", Newer());
    const std::vector<std::string> order = ScanOrder(folder.string());
    auto position = [&](const std::string &path) {
        return std::find(order.begin(), order.end(), path) - order.begin();
    };
    auto text = [&](std::vector<std::vector<std::string>> groups) {
        for (auto &group : groups)
            std::sort(group.begin(), group.end(),
                      [&](auto &a, auto &b) { return position(a) < position(b); });
        std::sort(groups.begin(), groups.end(),
                  [&](auto &a, auto &b) { return position(a[0]) < position(b[0]); });
        std::string shown;
        for (const auto &group : groups) {
            shown += shown.empty() ? "" : "\n";
            for (const std::string &path : group)
                shown += path + "\n";
        }
        return shown;
    };
    ASSERT_EQ(Run({"--duplicates", folder.string(), "--recursive"}), 0);
    EXPECT_EQ(out, text({{blues, copy}, {rodent, deep}}));
    EXPECT_EQ(Count(err, "Wrong Schema Version!"), 2u);
    ASSERT_EQ(Run({"--duplicates", folder.string()}), 0); // the folder's own files only
    EXPECT_EQ(out, text({{blues, copy}}));
    ASSERT_EQ(Run({"--duplicates", folder.string(), "--recursive", "--variants"}), 0);
    EXPECT_EQ(out, text({{blues, copy, knob}}));
    ASSERT_EQ(Run({"--duplicates", folder.string(), "--json"}), 0);
    const bool blueFirst = position(blues) < position(copy);
    EXPECT_EQ(out, "[[{\"path\": \"" + (blueFirst ? blues : copy) + "\", \"name\": \"" +
                       (blueFirst ? "Blues" : "Blues Copy") + "\"}, {\"path\": \"" +
                       (blueFirst ? copy : blues) + "\", \"name\": \"" +
                       (blueFirst ? "Blues Copy" : "Blues") + "\"}]]\n");
}

TEST_F(CollectionCliTest, CompareFoldersListsTheDifferencesByPathAndExitsAsDiffDoes) {
    PatchBuilder pickup;
    pickup.Param("64", "Pickup Type", "SC&gt;HB").Param("2433", "Dist Enable", "Off");
    for (const auto &[file, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"old/same.rp350p", Distortion("Same", "Screamer")},
             {"new/same.rp350p", Distortion("Same, renamed", "Screamer")},
             {"old/changed.rp350p", Distortion("Changed", "Screamer")},
             {"new/changed.rp350p", pickup.Param("2432", "Dist Type", "Screamer").Bytes()},
             {"old/gone.rp350p", Distortion("Gone", "Rodent")},
             {"new/added.rp350p", Distortion("Added", "Death")},
             {"old/sub/from.rp350p", Distortion("Moved", "Grunge")},
             {"new/sub/deeper/to.rp350p", Distortion("Moved", "Grunge")}})
        File(file, bytes);
    const std::string old = Path("old"), now = Path("new");
    EXPECT_EQ(Run({"--compare-folders", old, now}), 1) << err;
    EXPECT_EQ(out, "added added.rp350p\n"
                   "changed changed.rp350p: Pickup, Distortion\n"
                   "removed gone.rp350p\n"
                   "moved sub/from.rp350p -> sub/deeper/to.rp350p\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(Run({"--compare-folders", "--json", old, now}), 1);
    EXPECT_EQ(
        out,
        "[{\"kind\": \"added\", \"path\": \"added.rp350p\"},\n"
        " {\"kind\": \"changed\", \"path\": \"changed.rp350p\", \"modules\": [\"Pickup\", \"Distortion\"]},\n"
        " {\"kind\": \"removed\", \"path\": \"gone.rp350p\"},\n"
        " {\"kind\": \"moved\", \"path\": \"sub/from.rp350p\", \"to\": \"sub/deeper/to.rp350p\"}]\n");
    EXPECT_EQ(Run({"--compare-folders", old, old + "/"}), 0);
    EXPECT_EQ(out, "");
    // Trouble: a folder that is not there (nothing is listed), a refused file (the rest is).
    EXPECT_EQ(Run({"--compare-folders", old, Path("missing")}), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, Path("missing") + ": no such folder\n");
    File("new/newer.rp350p", Newer());
    EXPECT_EQ(Run({"--compare-folders", old, now}), 2);
    EXPECT_NE(out.find("removed gone.rp350p\nadded newer.rp350p\nmoved"), std::string::npos) << out;
    EXPECT_EQ(err, Path("new/newer.rp350p") +
                       ": Wrong Schema Version!: 1.3\nProgram Supports Version : 1.2\nAsk for "
                       "New Version.\n");
}

} // namespace
} // namespace patchlens
