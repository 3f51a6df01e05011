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
    PatchBuilder &Param(std::string_view id, std::string_view nameLine, std::string_view text) {
        records += "    <Param>\r\n      <ID>" + std::string(id) + "</ID>\r\n" +
                   "      <Position>3</Position>\r\n      <Value>0</Value>\r\n" +
                   "      <Name>" + std::string(nameLine) + "</Name>\r\n" +
                   "      <Text>" + std::string(text) + "</Text>\r\n    </Param>\r\n";
        return *this;
    }

    std::string Bytes() const {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RP350Preset SchemaVersion=\"" + schemaVersion +
               "\" xmlns=\"http://www.digitech.com/xml/preset\">\r\n  <Name>" + name +
               "</Name>\r\n  <Params>\r\n" + records + "  </Params>\r\n</RP350Preset>\r\n";
    }
};

// The bytes with the value text of the first record of `id` replaced (the record must be there).
inline std::string WithText(std::string bytes, std::string_view id, std::string_view text) {
    const std::size_t key = bytes.find("<ID>" + std::string(id) + "</ID>");
    const std::size_t open = bytes.find("<Text>", key) + 6;
    bytes.replace(open, bytes.find("</Text>", open) - open, text);
    return bytes;
}

// The bytes with the patch name replaced.
inline std::string WithName(std::string bytes, std::string_view name) {
    const std::size_t open = bytes.find("<Name>") + 6;
    bytes.replace(open, bytes.find("</Name>", open) - open, name);
    return bytes;
}

} // namespace patchlens::test
