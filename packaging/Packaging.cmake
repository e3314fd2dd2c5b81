# Desktop integration, documentation, the udev rule and the Debian package.
# All destinations are relative to the install prefix, so the same rules serve
# `cmake --install` (default /usr/local) and the package (/usr).

set(VANTREL_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VANTREL_PACKAGE_NAME vantrel-monitor)
set(VANTREL_APP_ID invalid.vantrel.monitor)
set(VANTREL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${VANTREL_PACKAGE_NAME})
set(VANTREL_ICON_DIR ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
# udev reads <prefix>/lib/udev/rules.d for /usr and /usr/local alike, whatever
# the multiarch library directory is.
set(VANTREL_UDEV_RULES_DIR lib/udev/rules.d
    CACHE STRING "udev rules folder, relative to the install prefix")

install(FILES ${VANTREL_PACKAGING_DIR}/${VANTREL_PACKAGE_NAME}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${VANTREL_PACKAGING_DIR}/${VANTREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

install(FILES ${VANTREL_PACKAGING_DIR}/icons/${VANTREL_PACKAGE_NAME}.svg
        DESTINATION ${VANTREL_ICON_DIR}/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${VANTREL_PACKAGING_DIR}/icons/hicolor/${size}x${size}/${VANTREL_PACKAGE_NAME}.png
            DESTINATION ${VANTREL_ICON_DIR}/${size}x${size}/apps)
endforeach()

install(FILES ${VANTREL_PACKAGING_DIR}/70-vantrel-monitor.rules
        DESTINATION ${VANTREL_UDEV_RULES_DIR})

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/packaging.md
        DESTINATION ${VANTREL_DOC_DIR} OPTIONAL)

# Debian keeps manual pages and the changelog gzipped, without a time stamp in
# the header (gzip -n) so that rebuilds give the same bytes.
find_program(VANTREL_GZIP gzip REQUIRED)
set(VANTREL_GZIPPED
    ${VANTREL_PACKAGING_DIR}/man/vantrel-monitor.1:${CMAKE_CURRENT_BINARY_DIR}/packaging/vantrel-monitor.1.gz
    ${VANTREL_PACKAGING_DIR}/debian/changelog:${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
set(VANTREL_GZIPPED_OUTPUTS)
foreach(pair IN LISTS VANTREL_GZIPPED)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 input)
    list(GET pair 1 output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
        COMMAND ${VANTREL_GZIP} -9 -n -c ${input} > ${output}
        DEPENDS ${input} VERBATIM)
    list(APPEND VANTREL_GZIPPED_OUTPUTS ${output})
endforeach()
add_custom_target(vantrel_packaging_data ALL DEPENDS ${VANTREL_GZIPPED_OUTPUTS})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/vantrel-monitor.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${VANTREL_DOC_DIR})

# Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME ${VANTREL_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vantrel Monitor developers")
set(CPACK_PACKAGE_CONTACT "Vantrel Monitor developers <dev@vantrel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Desktop companion of a handheld vital-signs monitor")
# Wrapped by hand: dpkg shows the long description as it stands.
set(CPACK_PACKAGE_DESCRIPTION [=[
Imports the patients of a handheld vital-signs monitor over its USB virtual
COM port, with their blood pressure (NIBP), oxygen saturation (SpO2) and
temperature records, into a local SQLite database. Shows them as tables and
trend graphs, merges patients that are the same person and exports a
patient's records as CSV files.

Ships a udev rule that lets the local desktop session open the monitor
without root rights, and the monitor simulator vantrel-monitor-sim.]=])
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SQLite driver as a plugin, so shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# Patient names from the monitor are often Chinese; without a CJK font they
# show as empty boxes. Either font will do; the small one comes first.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
# Only a workstation sharing a patient base on a PostgreSQL server needs it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${VANTREL_PACKAGING_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
