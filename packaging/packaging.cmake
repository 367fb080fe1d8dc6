# Installable Debian package: "cpack -G DEB" in the build directory writes
# brindlewick_<version>_<arch>.deb with the programs, the icon and the desktop
# entry that the install() rules of cli/ and app/ put in place.

set(CPACK_PACKAGE_NAME brindlewick)
set(CPACK_PACKAGE_VENDOR "Brindlewick")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTML wrapper pages for images published on the web")
set(CPACK_PACKAGE_DESCRIPTION
    "Brindlewick writes, for every chosen image, an HTML page beside it that shows\n\
the image centred at full size above a one-line comment, so that a thumbnail\n\
elsewhere can link to it. It can also write one gallery page with all images.\n\
The package holds the window (brindlewick) and a command-line front end\n\
(brindlewick-cli).")
set(CPACK_PACKAGE_CONTACT "Brindlewick <feedback@brindlewick.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brindlewick.example.org/")
# The dependencies on the Qt 6 and C++ runtime libraries come from
# dpkg-shlibdeps (package dpkg-dev), which reads the programs' linked libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Web and Mail in the About box hand links to the desktop through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION share/doc/brindlewick)

include(CPack)
