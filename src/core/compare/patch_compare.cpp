#include "compare/patch_compare.h"

namespace patchlens {

FreshPatch DecodeFresh(const std::filesystem::path &path) {
    FreshPatch fresh;
    fresh.outcome = LoadPatchFile(fresh.patch, path);
    return fresh;
}

FreshPatch DecodeFresh(const std::filesystem::path &path, std::string bytes) {
    FreshPatch fresh;
    fresh.patch.text = MakePatchText(std::move(bytes));
    fresh.patch.path = path;
    fresh.outcome = DecodePatch(fresh.patch);
    fresh.patch.loaded = true;
    return fresh;
}

PatchComparison ComparePatches(const Patch &a, const Patch &b) {
    PatchComparison result;
    for (const ModuleInfo &info : Modules()) {
        const std::size_t i = IndexOf(info.module);
        ComparedModule &m = result.modules[i];
        m.module = info.module;
        m.lampA = a.panels[i].lampOn;
        m.lampB = b.panels[i].lampOn;
        m.enabledA = a.panels[i].list.enabled;
        m.enabledB = b.panels[i].list.enabled;
        const std::size_t count = info.module == Module::Pickup ? 1 : kComparedLines;
        m.differs = m.lampA != m.lampB || m.enabledA != m.enabledB;
        m.lines.reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            ComparedLine line{std::string(LineAt(a.panels[i].list, k)),
                              std::string(LineAt(b.panels[i].list, k)), false};
            line.differs = line.a != line.b;
            m.differs = m.differs || line.differs;
            m.lines.push_back(std::move(line));
        }
        result.differs = result.differs || m.differs;
    }
    return result;
}

} // namespace patchlens
