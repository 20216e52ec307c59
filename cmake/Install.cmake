# Installing as a desktop application: the two programs, the menu entry, the icon, the AppStream
# metainfo and the manual pages; the Debian package is made from the same rules by CPack.

include(${CMAKE_CURRENT_LIST_DIR}/InstallPaths.cmake)
set(ZORVAN_RELEASE_DATE 2026-12-08)
# The Debian revision of this release; data/changelog.Debian must begin with its entry.
set(ZORVAN_DEBIAN_REVISION 1)
set(ZORVAN_HOMEPAGE https://www.zorvan.net)
set(ZORVAN_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX expression of the toolbox's licence, for the metainfo")
set(ZORVAN_PACKAGE_MAINTAINER "Zorvan <support@zorvan.net>" CACHE STRING "Maintainer field of the Debian package")

set(data_in ${PROJECT_SOURCE_DIR}/data)
set(data_out ${PROJECT_BINARY_DIR}/data)

configure_file(${data_in}/${ZORVAN_APP_ID}.metainfo.xml.in ${data_out}/${ZORVAN_APP_ID}.metainfo.xml @ONLY)
configure_file(${data_in}/zorvan.1.in ${data_out}/zorvan.1 @ONLY)
configure_file(${data_in}/zorvan-cli.1.in ${data_out}/zorvan-cli.1 @ONLY)

install(TARGETS zorvan zorvan-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${data_in}/${ZORVAN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data_in}/${ZORVAN_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${data_out}/${ZORVAN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Manual pages and the changelog go compressed, as Debian policy asks; -n keeps the gzip header
# free of names and times, so that two builds give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
configure_file(${data_in}/changelog.Debian ${data_out}/changelog.Debian COPYONLY)
set(compressed "")
foreach(file zorvan.1 zorvan-cli.1 changelog.Debian)
  add_custom_command(OUTPUT ${data_out}/${file}.gz
                     COMMAND ${GZIP_PROGRAM} -9nkf ${data_out}/${file}
                     DEPENDS ${data_out}/${file} VERBATIM)
  list(APPEND compressed ${data_out}/${file}.gz)
endforeach()
add_custom_target(zorvan_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${data_out}/zorvan.1.gz ${data_out}/zorvan-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${data_in}/copyright ${data_out}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Every file the install must hold, relative to the prefix: the install-tree test checks them.
set(ZORVAN_INSTALLED_FILES
  ${CMAKE_INSTALL_BINDIR}/zorvan
  ${CMAKE_INSTALL_BINDIR}/zorvan-cli
  ${CMAKE_INSTALL_DATADIR}/applications/${ZORVAN_APP_ID}.desktop
  ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/${ZORVAN_APP_ID}.svg
  ${CMAKE_INSTALL_DATADIR}/metainfo/${ZORVAN_APP_ID}.metainfo.xml
  ${CMAKE_INSTALL_MANDIR}/man1/zorvan.1.gz
  ${CMAKE_INSTALL_MANDIR}/man1/zorvan-cli.1.gz
  ${CMAKE_INSTALL_DOCDIR}/copyright
  ${CMAKE_INSTALL_DOCDIR}/changelog.Debian.gz)

if(ZORVAN_TESTS)
  list(JOIN ZORVAN_INSTALLED_FILES "|" installed_files)
  # Installs into a folder of the build tree and checks what a desktop and a packager would: the
  # files, the two validators, the version, and that the manual names everything the help lists.
  add_test(NAME install_tree
           COMMAND ${CMAKE_COMMAND}
                   -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DDESTDIR=${PROJECT_BINARY_DIR}/install-check
                   -DPREFIX=${CMAKE_INSTALL_PREFIX}
                   "-DFILES=${installed_files}"
                   -DCLI=${CMAKE_INSTALL_BINDIR}/zorvan-cli
                   -DMANPAGE=${CMAKE_INSTALL_MANDIR}/man1/zorvan-cli.1.gz
                   -DCOPYRIGHT=${CMAKE_INSTALL_DOCDIR}/copyright
                   -DCHANGELOG=${CMAKE_INSTALL_DOCDIR}/changelog.Debian.gz
                   -DPACKAGE_VERSION=${PROJECT_VERSION}-${ZORVAN_DEBIAN_REVISION}
                   -DMETAINFO=${CMAKE_INSTALL_DATADIR}/metainfo/${ZORVAN_APP_ID}.metainfo.xml
                   -DDESKTOP=${CMAKE_INSTALL_DATADIR}/applications/${ZORVAN_APP_ID}.desktop
                   -DVERSION=${PROJECT_VERSION}
                   -P ${CMAKE_CURRENT_LIST_DIR}/CheckInstallTree.cmake)
  set_tests_properties(install_tree PROPERTIES TIMEOUT 120)
endif()

# The Debian package: scripts/zorvan package. Its Depends come from the binaries (dpkg-shlibdeps);
# only what no binary links is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvan)
set(CPACK_PACKAGE_VENDOR Zorvan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The package's own revision of a release, as its changelog names it: 6.2-1.
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZORVAN_DEBIAN_REVISION})
set(CPACK_PACKAGE_CONTACT ${ZORVAN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "webmaster toolbox: indexed pages, backlinks and ranks of a domain")
set(CPACK_PACKAGE_DESCRIPTION "\
Asks the search engines and ranking services how many pages of a domain
each has indexed and how many pages link to it, and shows every figure
the moment it arrives. Keeps a history per domain and day, checks a saved
list of domains in one run, and lists the pages that link to a domain.
zorvan-cli runs the same queries from a terminal or a scheduled job.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZORVAN_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the window system's plugin at run time, so no binary shows it; Debian only recommends it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The window's text is Chinese; the browser and spreadsheet are opened through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, xdg-utils")
include(CPack)
