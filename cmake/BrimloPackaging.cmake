# Installation into a Debian-style prefix and the .deb package built from it with CPack
# (`cpack -G DEB` in the build tree, or the `package` target).
include(GNUInstallDirs)

set(BRIMLO_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/brimlo-hid-tool")

if(TARGET brimlo-hid)
    install(TARGETS brimlo-hid RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# udev reads packaged rules from /usr/lib; /etc/udev/rules.d stays the administrator's.
install(FILES "${PROJECT_BINARY_DIR}/res/70-brimlo-hid.rules" DESTINATION lib/udev/rules.d)
install(FILES README.md DESTINATION ${BRIMLO_DOC_DIR})

# The licence in Debian's machine-readable copyright format, from LICENSE.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" licence)
string(REGEX REPLACE "^MIT License\n\n[^\n]*\n\n" "" licence "${licence}")
string(REGEX REPLACE "\n$" "" licence "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REGEX REPLACE "\n" "\n " licence " ${licence}")
configure_file("${PROJECT_SOURCE_DIR}/res/deb/copyright.in" "${PROJECT_BINARY_DIR}/deb/copyright"
               @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/deb/copyright" DESTINATION ${BRIMLO_DOC_DIR})

# Debian keeps changelogs and manual pages compressed, with no time stamp in the gzip header.
find_program(BRIMLO_GZIP gzip REQUIRED)
configure_file("${PROJECT_SOURCE_DIR}/res/deb/changelog.in" "${PROJECT_BINARY_DIR}/deb/changelog"
               @ONLY)
add_custom_command(
    OUTPUT "${PROJECT_BINARY_DIR}/deb/changelog.gz"
    COMMAND ${BRIMLO_GZIP} -9nf -k "${PROJECT_BINARY_DIR}/deb/changelog"
    DEPENDS "${PROJECT_BINARY_DIR}/deb/changelog")
add_custom_target(brimlo_changelog ALL DEPENDS "${PROJECT_BINARY_DIR}/deb/changelog.gz")
install(FILES "${PROJECT_BINARY_DIR}/deb/changelog.gz" DESTINATION ${BRIMLO_DOC_DIR})

include(BrimloManPages)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brimlo-hid-tool)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "The brimlo-hid developers <brimlo-hid@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for the BRIMLO USB capture device")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The rule only takes effect where udev runs; the tools work without it as root.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
if(TARGET brimlo_hid_python)
    # For the module brimlo_hid, built for this Python version; the tools need no Python.
    set(v "${BRIMLO_PYTHON_VERSION}")
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3 (>= ${v}~), python3 (<< ${v}.99)")
endif()
# CPack puts the summary above this as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads and writes the capture chip's registers, makes IIC transfers, drives
the GPIO lines, reads the HDMI information and the firmware version, and
burns and dumps the board's SPI flash over the device's vendor HID interface.
.
Holds the dialog brimlo-hid-tool, the command-line tool brimlo-hid with its
'doctor' setup check, the Python 3 module brimlo_hid for scripts, and a udev
rule that lets the user at the seat use the device without root.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/res/deb/postinst;${PROJECT_SOURCE_DIR}/res/deb/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
