#include "patch/decode.h"

#include <algorithm>
#include <vector>

#include "patch/patch_folder.h"
#include "text/path_bytes.h"
#include "vocabulary/model_catalogue.h"
#include "vocabulary/model_naming.h"

namespace patchlens {

namespace {

constexpr std::string_view kPickupTypeId = "64";
constexpr std::string_view kPickupOnId = "65";

std::vector<std::string_view> CollectDecodedIds() {
    std::vector<std::string_view> ids = {kPickupTypeId, kPickupOnId, kCabinetParameterId};
    for (const CatalogueEntry &entry : ModelCatalogue()) {
        ids.push_back(entry.activityId);
        ids.push_back(ModelParameterId(entry.context));
        for (const CatalogueModel &model : entry.models)
            for (const std::string_view slot : model.knobSlots)
                if (!slot.empty())
                    ids.push_back(KnobSlot{slot}.id());
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

} // namespace

std::span<const std::string_view> DecodedParameterIds() {
    static const std::vector<std::string_view> ids = CollectDecodedIds();
    return ids;
}

void ShowPickup(PatchText &text, ModulePanels &panels) {
    ModulePanel &pickup = panels[IndexOf(Module::Pickup)];
    ClearLines(pickup.list);
    const FoundValue type = FindParameter(text, "", kPickupTypeId);
    if (!type.found)
        AppendLine(pickup.list, "NOTFND");
    else if (!type.value.empty() && type.value.front() == 'S')
        AppendLine(pickup.list, "SC->HB");
    else
        AppendLine(pickup.list, "HB->SC");
    const FoundValue on = FindParameter(text, "", kPickupOnId);
    if (on.found)
        pickup.lampOn = on.value == "On";
}

DecodeOutcome DecodePatch(Patch &patch) {
    SchemaVerdict verdict = CheckSchemaVersion(patch.text.bytes);
    if (!verdict.accepted)
        return {false, std::move(verdict.message)};

    IndexParameters(patch.text, DecodedParameterIds());
    patch.name = ReadPatchName(patch.text.bytes);
    ShowPickup(patch.text, patch.panels);
    for (const ModuleInfo &info : Modules())
        if (info.module != Module::Pickup)
            ShowModule(patch.text, info.module, patch.panels);
    FinishPanels(patch.panels);
    return {};
}

LoadOutcome LoadPatchFile(Patch &patch, const std::filesystem::path &path) {
    LoadOutcome outcome;
    patch.text = ReadPatchFile(path, &outcome.readError, &outcome.tooLarge);
    outcome.readOk = outcome.readError.empty();
    patch.path = path;
    outcome.decode = DecodePatch(patch);
    patch.loaded = true;
    return outcome;
}

std::filesystem::path ShownPath(const std::filesystem::path &path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return path;
    std::filesystem::path shown;
    for (const std::filesystem::path &part : absolute)
        if (part != "." && !part.empty())
            shown /= part;
    return shown;
}

std::string OpenRefusal(const std::filesystem::path &path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return PathBytes(ShownPath(path)) + "\r\nis not opened: no such file.";
    if (!std::filesystem::is_directory(path, ec) && !HasPatchExtension(PathBytes(path.filename())))
        return PathBytes(ShownPath(path)) + "\r\nis not opened: it is not a patch file (*.rp350p).";
    return {};
}

ViewerLoad LoadIntoViewer(Patch &patch, const std::filesystem::path &path) {
    const std::filesystem::path shown = ShownPath(path);
    std::string error;
    PatchText text = ReadPatchFile(shown, &error);
    if (!error.empty())
        return {false, PathBytes(shown) + "\r\nis not read: " + error + "."};
    SchemaVerdict verdict = CheckSchemaVersion(text.bytes);
    if (!verdict.accepted)
        return {false, std::move(verdict.message)};
    patch.text = std::move(text);
    patch.path = shown;
    DecodePatch(patch);
    patch.loaded = true;
    return {true, {}};
}

std::string OneOfManyDroppedMessage(const std::filesystem::path &taken, std::size_t dropped) {
    return std::to_string(dropped) + " files were dropped; only one is opened at a time:\r\n" +
           PathBytes(ShownPath(taken));
}

} // namespace patchlens
