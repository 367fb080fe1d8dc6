# Installable Debian package: "cpack -G DEB" in the build directory writes
# brindlewick_<version>_<arch>.deb with the programs, the icon and the desktop
# entry that the install() rules of cli/ and app/ put in place, and the files
# below: manual pages, changelog, copyright, AppStream metadata.

include(GNUInstallDirs)
set(BRINDLEWICK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/brindlewick)

# Manual pages, from scdoc sources in docs/man, compressed as Debian ships
# them. They carry the date of the newest changelog entry, so that the same
# sources give the same pages.
foreach(tool scdoc dpkg-parsechangelog gzip)
    string(MAKE_C_IDENTIFIER "${tool}" variable)
    string(TOUPPER "${variable}_EXECUTABLE" variable)
    find_program(${variable} ${tool})
    if(NOT ${variable})
        message(FATAL_ERROR "BRINDLEWICK_PACKAGE=ON needs ${tool} for the manual pages "
                            "(Debian: apt-get install scdoc dpkg-dev); "
                            "configure with -DBRINDLEWICK_PACKAGE=OFF to build without them")
    endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
execute_process(
    COMMAND ${DPKG_PARSECHANGELOG_EXECUTABLE} -l ${CMAKE_CURRENT_LIST_DIR}/changelog -S Timestamp
    OUTPUT_VARIABLE BRINDLEWICK_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT BRINDLEWICK_RELEASE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "dpkg-parsechangelog found no date in packaging/changelog")
endif()

set(man_pages brindlewick-cli)
if(TARGET brindlewick)
    list(APPEND man_pages brindlewick)
endif()
set(man_outputs)
foreach(page IN LISTS man_pages)
    set(source ${CMAKE_BINARY_DIR}/man/${page}.1.scd)
    set(output ${CMAKE_BINARY_DIR}/man/${page}.1)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.scd ${source} @ONLY)
    add_custom_command(OUTPUT ${output}.gz
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${BRINDLEWICK_RELEASE_EPOCH}
            sh -c "\"$1\" < \"$2\" > \"$3\"" sh ${SCDOC_EXECUTABLE} ${source} ${output}
        COMMAND ${GZIP_EXECUTABLE} -9nkf ${output}
        DEPENDS ${source}
        COMMENT "Writing manual page ${page}(1)"
        VERBATIM)
    list(APPEND man_outputs ${output}.gz)
endforeach()

# The Debian changelog of a native package, compressed.
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog ${CMAKE_BINARY_DIR}/doc/changelog COPYONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${CMAKE_BINARY_DIR}/doc/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog
    VERBATIM)
add_custom_target(brindlewick-docs ALL DEPENDS ${man_outputs} ${CMAKE_BINARY_DIR}/doc/changelog.gz)

install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/copyright
    DESTINATION ${BRINDLEWICK_DOC_DIR})
if(TARGET brindlewick)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/org.brindlewick.Brindlewick.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# A stripped install (cpack strips) also drops the compiler's .comment and
# .note sections, as dh_strip does. This runs after the programs' own install
# rules, which come from the subdirectories added before this file.
install(CODE "
if(CMAKE_INSTALL_DO_STRIP)
    foreach(program brindlewick brindlewick-cli)
        set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/\${program}\")
        if(EXISTS \"\${file}\")
            execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                --remove-section=.note \"\${file}\" COMMAND_ERROR_IS_FATAL ANY)
        endif()
    endforeach()
endif()
")

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
# The licence (packaging/copyright) allows no changed copies and no sale, so
# the package belongs in Debian's non-free area.
set(CPACK_DEBIAN_PACKAGE_SECTION non-free/graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brindlewick.example.org/")
# The dependencies on the Qt 6 and C++ runtime libraries come from
# dpkg-shlibdeps (package dpkg-dev), which reads the programs' linked libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Web and Mail in the About box hand links to the desktop through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)

include(CPack)
