#include "patch/decode.h"

#include "patch/patch_folder.h"
#include "text/path_bytes.h"
#include "vocabulary/model_catalogue.h"
#include "vocabulary/model_naming.h"

namespace patchlens {

namespace {

constexpr std::string_view kPickupTypeId = "64";
constexpr std::string_view kPickupOnId = "65";

} // namespace

void ShowPickup(const PatchText &text, ModulePanels &panels) {
    ModulePanel &pickup = panels[IndexOf(Module::Pickup)];
    ClearLines(pickup.list);
    const std::optional<std::string> type = FindParameter(text, "", kPickupTypeId);
    if (!type)
        AppendLine(pickup.list, "NOTFND");
    else if (!type->empty() && type->front() == 'S')
        AppendLine(pickup.list, "SC->HB");
    else
        AppendLine(pickup.list, "HB->SC");
    if (const std::optional<std::string> on = FindParameter(text, "", kPickupOnId))
        pickup.lampOn = *on == "On";
}

Status DecodePatch(Patch &patch) {
    if (Status verdict = CheckSchemaVersion(patch.text.bytes()); !verdict.ok())
        return verdict;

    patch.name = ReadPatchName(patch.text.bytes());
    ShowPickup(patch.text, patch.panels);
    for (const ModuleInfo &info : Modules())
        if (info.module != Module::Pickup)
            ShowModule(patch.text, info.module, patch.panels);
    FinishPanels(patch.panels);
    return {};
}

Status LoadPatchFile(Patch &patch, const std::filesystem::path &path) {
    Result<PatchText> read = ReadPatchFile(path);
    patch.text = read.ok() ? std::move(read).value() : PatchText();
    patch.path = path;
    Status decoded = DecodePatch(patch);
    patch.loaded = true;
    return read.ok() ? decoded : read.error();
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

Status OpenRefusal(const std::filesystem::path &path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return Error::Refused(PathBytes(ShownPath(path)) + "\r\nis not opened: no such file.");
    if (!std::filesystem::is_directory(path, ec) && !HasPatchExtension(PathBytes(path.filename())))
        return Error::Refused(PathBytes(ShownPath(path)) +
                              "\r\nis not opened: it is not a patch file (*.rp350p).");
    return {};
}

Status LoadIntoViewer(Patch &patch, const std::filesystem::path &path) {
    const std::filesystem::path shown = ShownPath(path);
    Result<PatchText> read = ReadPatchFile(shown);
    if (!read.ok())
        return Error(read.error().kind(),
                     PathBytes(shown) + "\r\nis not read: " + read.error().message() + ".");
    if (Status verdict = CheckSchemaVersion(read->bytes()); !verdict.ok())
        return verdict;
    patch.text = std::move(read).value();
    patch.path = shown;
    (void)DecodePatch(patch); // accepted: its schema version was just checked
    patch.loaded = true;
    return {};
}

std::string OneOfManyDroppedMessage(const std::filesystem::path &taken, std::size_t dropped) {
    return std::to_string(dropped) + " files were dropped; only one is opened at a time:\r\n" +
           PathBytes(ShownPath(taken));
}

} // namespace patchlens
