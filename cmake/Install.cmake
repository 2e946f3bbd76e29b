# What `cmake --install` lays out, in the GNU/Debian directory convention:
#   bin/korvane, bin/korvane-sim
#   share/korvane/presets/*.Korvane        (found from bin/ as ../share/korvane/presets)
#   share/applications/korvane.desktop
#   share/icons/hicolor/{scalable,NxN}/apps/korvane.{svg,png}
#   share/man/man1/korvane.1.gz, korvane-sim.1.gz
#   share/doc/korvane/                     (README, guides, copyright, changelog)
include(GNUInstallDirs)

# Directories the install creates are 0755 whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(KORVANE_DATA_SOURCE ${PROJECT_SOURCE_DIR}/data)
set(KORVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/korvane)

# Either program may be left out of a build (no GUI; a cross build without
# the pseudo-terminal simulator).
foreach(program korvane korvane-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES ${KORVANE_PRESET_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/presets)

install(FILES ${KORVANE_DATA_SOURCE}/korvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KORVANE_DATA_SOURCE}/icons/korvane.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The PNG sizes are rendered from the SVG by scripts/render-icons.sh and kept
# in the source tree, so a build needs no SVG renderer.
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${KORVANE_DATA_SOURCE}/icons/${size}x${size}/korvane.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages and the Debian changelog, compressed as Debian wants them
# (gzip -n: no name or time stamp, so the bytes repeat).
set(korvane_gzipped)
foreach(page korvane.1 korvane-sim.1 changelog)
  set(source ${KORVANE_DATA_SOURCE}/${page})
  set(output ${CMAKE_CURRENT_BINARY_DIR}/data/${page}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/data
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${page}")
  list(APPEND korvane_gzipped ${output})
endforeach()
add_custom_target(korvane_install_data ALL DEPENDS ${korvane_gzipped})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/data/korvane.1.gz ${CMAKE_CURRENT_BINARY_DIR}/data/korvane-sim.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES
    ${PROJECT_SOURCE_DIR}/README.md
    ${PROJECT_SOURCE_DIR}/docs/simulator.md
    ${PROJECT_SOURCE_DIR}/docs/com-ports.md
    ${KORVANE_DATA_SOURCE}/copyright
    ${CMAKE_CURRENT_BINARY_DIR}/data/changelog.gz
  DESTINATION ${KORVANE_DOC_DIR})
