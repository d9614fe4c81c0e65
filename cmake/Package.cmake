# The Debian package: `cpack -G DEB` in the build folder (scripts/package). Everything installed by the
# install() rules goes in, under /usr; dependencies are computed from the binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME rackmind)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Rackmind maintainers <maintainers@rackmind.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console and command line for networked rack PDUs")
# The summary is the synopsis line; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Rackmind finds the power distribution units on the local networks over their
UDP protocol, shows their readings and outlet states, switches outlets,
writes their settings and mails alarms. rackmind-ctl does the same from
shell scripts: list, show, switch and cycle outlets.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://rackmind.example/")

# Debian wants a copyright file and a changelog compressed without a time stamp in the package's doc folder.
set(RACKMIND_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/rackmind)
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${RACKMIND_DOC_DIR})

# Manual pages, compressed the same way.
foreach(page rackmind.1 rackmind-ctl.1 rackmindd.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/${page}.gz
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/resources/debian/${page} > ${CMAKE_BINARY_DIR}/debian/${page}.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/resources/debian/${page})
    list(APPEND RACKMIND_MAN_PAGES ${CMAKE_BINARY_DIR}/debian/${page}.gz)
endforeach()
add_custom_target(debian_man ALL DEPENDS ${RACKMIND_MAN_PAGES})
install(FILES ${RACKMIND_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

include(CPack)
