// The window layer over the core; its windows arrive with the viewer.
namespace patchlens {
int UiLayerVersion() {
    return 1;
}
} // namespace patchlens
