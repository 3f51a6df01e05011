#include "patch_builder.h"

namespace patchlens::test {

PatchBuilder &PatchBuilder::Param(std::string_view id, std::string_view nameLine, std::string_view text) {
    records += "    <Param>\r\n";
    records += "      <ID>" + std::string(id) + "</ID>\r\n";
    records += "      <Position>3</Position>\r\n";
    records += "      <Value>0</Value>\r\n";
    records += "      <Name>" + std::string(nameLine) + "</Name>\r\n";
    records += "      <Text>" + std::string(text) + "</Text>\r\n";
    records += "    </Param>\r\n";
    return *this;
}

PatchBuilder &PatchBuilder::Raw(std::string_view bytes) {
    records += bytes;
    return *this;
}

std::string PatchBuilder::Bytes() const {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<RP350Preset SchemaVersion=\"" +
           schemaVersion +
           "\" xmlns=\"http://www.digitech.com/xml/preset\">\r\n"
           "  <Name>" +
           name +
           "</Name>\r\n"
           "  <Params>\r\n" +
           records + "  </Params>\r\n</RP350Preset>\r\n";
}

} // namespace patchlens::test
