# The Debian package, built by CPack from what `cmake --install` puts in place.
# An installed program must open the installed help file, so a package build
# is configured on its own (scripts/package.sh) with
#   -DCMAKE_INSTALL_PREFIX=/usr
#   -DOSTREL_HELP_FILE=/usr/share/ostrel-viewer/OSTREL_VIEWER.HLP
# tests/packaging checks the packaged program names the installed help file.
set(OSTREL_PACKAGE_NAME "ostrel-viewer")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "${OSTREL_PACKAGE_NAME}")
set(CPACK_PACKAGE_VENDOR "Ostrel_Viewer developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${OSTREL_PACKAGE_NAME}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME "${OSTREL_PACKAGE_NAME}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(OSTREL_PACKAGE_CONTACT "Ostrel_Viewer developers <developers@ostrel.org>")
set(CPACK_PACKAGE_CONTACT "${OSTREL_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OSTREL_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The extended description only: CPack puts the summary above it as the
# synopsis and indents each line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A small file browser that previews BMP, DIB, JPEG, GIF, ICO, WMF and\nEMF pictures and opens text files in a window where they can be\nedited, saved and printed. In English and German.")
# Library dependencies come from dpkg-shlibdeps (dpkg-dev); the Qt plugins are
# loaded at run time, so the ones the program cannot start or show SVG
# artwork and extra picture formats without are named by hand, and so are the
# fonts that draw the symbols of metafiles written in Wingdings and their
# Chinese, Japanese and Korean text (boxes without one).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, fonts-symbola, fonts-wqy-microhei")
# Wayland sessions run the program natively with qt6-wayland (xcb through
# XWayland otherwise); qt6-translations-l10n speaks the standard dialogs in
# the user's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-wayland, qt6-translations-l10n")

include(CPack)
