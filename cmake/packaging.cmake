# The Debian package: what `cmake --install` installs, under /usr, with its dependencies found by
# dpkg-shlibdeps. `make package` writes build/package/patchlens_<version>-1_amd64.deb.
#
# The package ships no maintainer scripts: on Debian the MIME database, the desktop database and
# the hicolor icon cache are refreshed by the file triggers of shared-mime-info
# (/usr/share/mime/packages), desktop-file-utils (/usr/share/applications) and hicolor-icon-theme
# (/usr/share/icons/hicolor), which dpkg runs whenever a package adds or removes files there.

include(GNUInstallDirs)

set(PATCHLENS_PACKAGE_MAINTAINER "Patchlens maintainers <maintainers@users.noreply.c-seed-9ff2a527.example>"
    CACHE STRING "The Maintainer field of the Debian package")

# The licence, once the project has one, is the package's copyright file.
if(EXISTS "${PROJECT_SOURCE_DIR}/LICENSE")
  install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/patchlens RENAME copyright)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME patchlens)
set(CPACK_PACKAGE_VENDOR "Patchlens")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for DigiTech RP350 guitar processor patch files")
# The long description: CPack indents each line and turns the empty one into " .".
set(CPACK_PACKAGE_DESCRIPTION
    "Patchlens shows the patch files of the DigiTech RP350 guitar multi-effects
processor (.rp350p) the way the processor's own front panel shows them: the
fifteen modules from Pickup to LFO 2, each with its on/off lamp, the
six-character abbreviation of its model and one line per knob in the
device's own labels.

It lists the patches of a folder and loads each one as it is chosen, keeps a
library of named module settings, prints a patch as a one-page sheet (or
writes it as a PDF), searches a folder tree for the patches that use a
model, and compares two patches module by module. The command-line program
prints patches as text or JSON and searches without opening a window.")

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PATCHLENS_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's fonts stand in for Courier New and MS Sans Serif with metric-compatible faces.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
