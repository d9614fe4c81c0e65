# The Debian packages: `cpack -G DEB` in the build folder (scripts/package). Shaped like Debian's own
# daemons with a desktop front end, so that the service and the command line install on a server
# without X:
#   rackmind      the console (Qt Widgets, Charts)
#   rackmindd     the service, its systemd unit, its configuration file and its system user
#   rackmind-ctl  the command line
#   rackmind-report-pdf  the PDF drawing of `rackmind-ctl report`, apart so that the command line keeps
#                 off the GUI library (offscreen, no display needed either)
#   rackmind-snmp the SNMP agent's module (the only thing linking net-snmp) and snmpd's drop-in, so that a
#                 server that does not publish over SNMP installs no SNMP library
# They share no packaged file (each one's scripts make the protected outlets), so there is no common
# package. Library dependencies are computed from each binary by dpkg-shlibdeps; what Qt loads as a
# plugin is named by hand.
set(CPACK_PACKAGE_NAME rackmind)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Rackmind maintainers <maintainers@rackmind.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL console service ctl pdf snmp)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://rackmind.example/")
# The history store is SQLite through Qt's driver plugin, which no shared-library scan sees.
set(rackmind_sqlite libqt5sql5-sqlite)
# Before 0.2 one package named rackmind held all three programs.
set(rackmind_split "rackmind (<< 0.2~)")

set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME rackmind)
# Two of the console's three languages are Chinese: without a face that has them, even the language list
# is boxes. Depends, not Recommends: dpkg -i and machines set not to install recommends would miss it.
set(rackmind_cjk "fonts-wqy-microhei | fonts-noto-cjk")
# The maintainer scripts make the group that may change the protected outlets.
set(CPACK_DEBIAN_CONSOLE_PACKAGE_DEPENDS "adduser, ${rackmind_cjk}, ${rackmind_sqlite}")
set(CPACK_DEBIAN_CONSOLE_PACKAGE_RECOMMENDS rackmind-ctl)
set(CPACK_DEBIAN_CONSOLE_PACKAGE_SUGGESTS rackmindd)
set(CPACK_DEBIAN_CONSOLE_DESCRIPTION "console for networked rack PDUs
Rackmind finds the power distribution units on the local networks over their
UDP protocol, shows their readings and outlet states, switches outlets,
writes their settings, keeps their history and mails alarms.
.
This package holds the windowed console. The service that watches the PDUs
without a display is in rackmindd, the command line in rackmind-ctl.")

set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME rackmindd)
set(CPACK_DEBIAN_SERVICE_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS "adduser, ${rackmind_sqlite}")
set(CPACK_DEBIAN_SERVICE_PACKAGE_RECOMMENDS rackmind-ctl)
set(CPACK_DEBIAN_SERVICE_PACKAGE_BREAKS ${rackmind_split})
set(CPACK_DEBIAN_SERVICE_PACKAGE_REPLACES ${rackmind_split})
set(CPACK_DEBIAN_SERVICE_DESCRIPTION "service watching networked rack PDUs without a display
rackmindd polls the power distribution units on the local networks as the
Rackmind console does, keeps their history, mails their alarms and serves
their readings as Prometheus metrics. It runs as a systemd service under a
system user of its own and reads /etc/rackmind/rackmindd.conf.
.
The service is not enabled on installation: it broadcasts on every network
interface, so it is switched on once configured.")

set(CPACK_DEBIAN_CTL_PACKAGE_NAME rackmind-ctl)
set(CPACK_DEBIAN_CTL_PACKAGE_DEPENDS "adduser, ${rackmind_sqlite}")
set(CPACK_DEBIAN_CTL_PACKAGE_SUGGESTS "rackmindd, rackmind-report-pdf")
set(CPACK_DEBIAN_CTL_PACKAGE_BREAKS ${rackmind_split})
set(CPACK_DEBIAN_CTL_PACKAGE_REPLACES ${rackmind_split})
set(CPACK_DEBIAN_CTL_DESCRIPTION "command line for networked rack PDUs
rackmind-ctl lists the power distribution units on the local networks, shows
one in full, switches and cycles outlets and prints the stored history, from
shell scripts and without a display.")

set(CPACK_DEBIAN_PDF_PACKAGE_NAME rackmind-report-pdf)
set(CPACK_DEBIAN_PDF_PACKAGE_DEPENDS "rackmind-ctl (= ${PROJECT_VERSION}), ${rackmind_sqlite}")
# Names of PDUs and groups in Chinese need a face that has them.
set(CPACK_DEBIAN_PDF_PACKAGE_BREAKS ${rackmind_split})
set(CPACK_DEBIAN_PDF_PACKAGE_REPLACES ${rackmind_split})
set(CPACK_DEBIAN_PDF_PACKAGE_RECOMMENDS ${rackmind_cjk})
set(CPACK_DEBIAN_PDF_DESCRIPTION "PDF output of the rackmind-ctl monthly report
rackmind-ctl report --pdf writes the monthly energy and capacity report of
the networked rack PDUs as a PDF document with this helper. It draws with
the Qt GUI library on its offscreen platform and needs no display.")

set(CPACK_DEBIAN_SNMP_PACKAGE_NAME rackmind-snmp)
set(CPACK_DEBIAN_SNMP_PACKAGE_SECTION admin)
# The module is loaded by this very version of the service (and of the console, when it publishes).
set(CPACK_DEBIAN_SNMP_PACKAGE_DEPENDS "rackmindd (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_SNMP_PACKAGE_RECOMMENDS snmpd)
set(CPACK_DEBIAN_SNMP_DESCRIPTION "SNMP agent for the rackmindd PDU service
rackmindd publishes every power distribution unit of the room, its voltage,
current, temperature and humidity sensors and its outlets in the standard
ENTITY-MIB, ENTITY-SENSOR-MIB and ENTITY-STATE-MIB tables, as an AgentX
subagent of the machine's snmpd, and sends its alarms as notifications.
.
This package holds the agent's module and a drop-in for snmpd that lets the
service connect; it is switched on by Snmp/Enabled in rackmindd.conf.")

# Maintainer scripts: every package that switches outlets keeps the machine's protected outlets and their
# group (one text, resources/debian/protection.sh, in each); the service adds its user, state folder and
# unit. They are made when the tree is configured, so an edit configures it again (else the packages keep
# the scripts of before); dpkg-deb wants them executable.
file(READ ${CMAKE_SOURCE_DIR}/resources/debian/protection.sh rackmind_protection)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/resources/debian/protection.sh ${CMAKE_SOURCE_DIR}/resources/debian/rackmindd.postinst
    ${CMAKE_SOURCE_DIR}/resources/debian/rackmindd.postrm)
foreach(package CONSOLE:rackmind CTL:rackmind-ctl SERVICE:rackmindd)
    string(REPLACE ":" ";" package ${package})
    list(GET package 0 component)
    list(GET package 1 rackmind_package)
    foreach(script postinst postrm)
        set(rackmind_${script} "")
        if(component STREQUAL SERVICE)
            file(READ ${CMAKE_SOURCE_DIR}/resources/debian/rackmindd.${script} rackmind_${script})
        endif()
        configure_file(${CMAKE_SOURCE_DIR}/resources/debian/${script}.in
            ${CMAKE_BINARY_DIR}/debian/${rackmind_package}/${script} @ONLY
            FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
        list(APPEND CPACK_DEBIAN_${component}_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/${rackmind_package}/${script})
    endforeach()
endforeach()
set(rackmind_control ${CMAKE_BINARY_DIR}/debian/rackmindd)
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/rackmindd.prerm ${rackmind_control}/prerm COPYONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
list(APPEND CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA ${rackmind_control}/prerm)
file(WRITE ${rackmind_control}/conffiles "/etc/rackmind/rackmindd.conf\n")
list(APPEND CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA ${rackmind_control}/conffiles)
file(WRITE ${CMAKE_BINARY_DIR}/debian/rackmind-snmp/conffiles "/etc/snmp/snmpd.conf.d/rackmind.conf\n")
list(APPEND CPACK_DEBIAN_SNMP_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/rackmind-snmp/conffiles)
foreach(script postinst postrm)
    configure_file(${CMAKE_SOURCE_DIR}/snmp/agentx/rackmind-snmp.${script} ${CMAKE_BINARY_DIR}/debian/rackmind-snmp/${script}
        COPYONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    list(APPEND CPACK_DEBIAN_SNMP_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/rackmind-snmp/${script})
endforeach()

# Debian wants a copyright file and a changelog compressed without a time stamp in every package's doc
# folder; manual pages are compressed the same way.
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/rackmind-report-pdf COMPONENT pdf)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/rackmind-snmp COMPONENT snmp)
foreach(package console:rackmind service:rackmindd ctl:rackmind-ctl)
    string(REPLACE ":" ";" package ${package})
    list(GET package 0 component)
    list(GET package 1 program)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${program} COMPONENT ${component})
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/${program}.1.gz
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/resources/debian/${program}.1 > ${CMAKE_BINARY_DIR}/debian/${program}.1.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/resources/debian/${program}.1)
    list(APPEND rackmind_man_pages ${CMAKE_BINARY_DIR}/debian/${program}.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/debian/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT ${component})
endforeach()
add_custom_target(debian_files ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz ${rackmind_man_pages})

include(CPack)
