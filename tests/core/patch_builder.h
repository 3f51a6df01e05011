#pragma once
// Builds patch file bytes in memory for tests, in the device's layout.

#include <string>
#include <string_view>

namespace patchlens::test {

struct PatchBuilder {
    std::string schemaVersion = "1.2";
    std::string name = "Test";
    std::string records;

    // A five-line record: <ID>, <Position>, <Value>, <Name>, <Text> (indented, CR LF each),
    // wrapped in <Param> lines as the device writes it.
    PatchBuilder &Param(std::string_view id, std::string_view nameLine, std::string_view text);
    // Raw bytes appended to the records as they are.
    PatchBuilder &Raw(std::string_view bytes);

    std::string Bytes() const;
};

} // namespace patchlens::test
