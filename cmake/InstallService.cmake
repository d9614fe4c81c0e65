# Runs at install time (cmake --install, cpack), when CMAKE_INSTALL_PREFIX is the prefix really installed
# to: the unit names the program and the configuration file where this install puts them. The system's
# folders follow GNUInstallDirs: under /usr the configuration is in /etc and the unit in /lib.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR CMAKE_INSTALL_PREFIX STREQUAL "/")
    set(CMAKE_INSTALL_FULL_SYSCONFDIR /etc)
    set(rackmind_unit_dir /lib/systemd/system)
else()
    set(CMAKE_INSTALL_FULL_SYSCONFDIR ${CMAKE_INSTALL_PREFIX}/etc)
    set(rackmind_unit_dir ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
endif()
set(CMAKE_INSTALL_FULL_BINDIR ${CMAKE_INSTALL_PREFIX}/${RACKMIND_BINDIR})

configure_file(${RACKMIND_SOURCE_DIR}/service/rackmindd.service.in
    ${RACKMIND_BINARY_DIR}/install/rackmindd.service @ONLY)
file(INSTALL ${RACKMIND_BINARY_DIR}/install/rackmindd.service DESTINATION ${rackmind_unit_dir})
file(INSTALL ${RACKMIND_SOURCE_DIR}/service/rackmindd.conf
    DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/rackmind)
