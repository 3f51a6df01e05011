# The Debian package: what `cmake --install` installs, under /usr, with its dependencies found by
# dpkg-shlibdeps. `make package` writes build/package/patchlens_<version>-1_amd64.deb.
#
# The package ships no maintainer scripts: on Debian the MIME database, the desktop database and
# the hicolor icon cache are refreshed by the file triggers of shared-mime-info
# (/usr/share/mime/packages), desktop-file-utils (/usr/share/applications) and hicolor-icon-theme
# (/usr/share/icons/hicolor), which dpkg runs whenever a package adds or removes files there.

include(GNUInstallDirs)

# The project has no mail address of its own: the Maintainer names the project and gives an
# address that plainly receives no mail (.example is reserved, RFC 2606). The changelog's entries
# are signed the same way.
set(PATCHLENS_PACKAGE_MAINTAINER "Patchlens developers <patchlens@users.noreply.patchlens.example>"
    CACHE STRING "The Maintainer field of the Debian package")

# The copyright file in Debian's machine-readable form (the licence, GPL-3+, and where Qt's licence
# and source are), and the Debian changelog, gzipped as Debian ships it (-9 -n: no name or time
# inside). The changelog's newest entry must be this package's version.
set(debian_changelog ${PROJECT_SOURCE_DIR}/data/debian/changelog)
file(STRINGS ${debian_changelog} changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^patchlens \\(${PROJECT_VERSION}-1\\) ")
  message(FATAL_ERROR "data/debian/changelog begins with '${changelog_top}': add an entry for ${PROJECT_VERSION}-1")
endif()
find_program(PATCHLENS_GZIP gzip REQUIRED)
set(gzipped_changelog ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${gzipped_changelog}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/debian
                   COMMAND ${PATCHLENS_GZIP} -9 -n -c ${debian_changelog} > ${gzipped_changelog}
                   DEPENDS ${debian_changelog} VERBATIM)
add_custom_target(patchlens_debian_changelog ALL DEPENDS ${gzipped_changelog})
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${gzipped_changelog}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/patchlens)
# What lintian is told to leave, each with the reason it is right (data/debian/lintian-overrides).
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME patchlens)

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
