# The Debian package: `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh does both) writes
# korvane_<version>_amd64.deb with what cmake/Install.cmake installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR "Korvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Korvane developers <korvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch and tune a PID controller over Modbus RTU/ASCII")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # korvane_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description; CPack puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Korvane is a desktop Modbus master for one PID process controller on a
serial line (RTU or ASCII framing). Once per poll period it reads the
controller's holding registers and shows the process value, setpoint,
output and the PID factors as numbers and on a live strip chart. The
operator writes a new setpoint or new PID factors, picks the controller's
register map from preset files, records the values to a log file, exports
the chart's history and views recorded logs.
.
The package also holds korvane-sim, a simulated controller with a process
behind it on a pseudo-terminal, for trying Korvane without hardware.")

include(CPack)
