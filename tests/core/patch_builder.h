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

} // namespace patchlens::test
