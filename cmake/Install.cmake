# What `cmake --install` puts in place. On Linux and other Unix desktops:
#   <libdir>/quarrow/      the program, its skin Shine.asz and the launcher
#   <bindir>/              quarrow (a link to the program), quarrow-catalogue
#   <datadir>/quarrow/     the sample catalogues and dz.cmd, which the launcher
#                          copies into the user's data folder
#   <datadir>/applications, metainfo, icons; <mandir>/man1; <docdir>
# Every file is listed in install_manifest.txt.
include(GNUInstallDirs)
# Named after the package, as Debian wants it, not after the project.
set(QUARROW_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quarrow)

set(QUARROW_APP_ID io.github.quarrow.Quarrow)
set(QUARROW_SCREENSHOT_URL
    "https://raw.githubusercontent.com/quarrow/quarrow/main/docs/screenshots"
    CACHE STRING "Where the screenshots named in the AppStream metadata are published")
set(QUARROW_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUARROW_GENERATED_DIR ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS quarrow-catalogue RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(NOT UNIX OR APPLE)
  install(TARGETS quarrow RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QUARROW_SHINE_PACKED} artwork/quarrow.ico DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES LICENSE DESTINATION ${QUARROW_DOC_DIR})
  return()
endif()

# The program finds its skin in its own folder, so both live in a folder of
# their own and the command on the path is a link to the program.
set(QUARROW_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/quarrow)
install(TARGETS quarrow RUNTIME DESTINATION ${QUARROW_PROGRAM_DIR})
install(FILES ${QUARROW_SHINE_PACKED} DESTINATION ${QUARROW_PROGRAM_DIR})

file(RELATIVE_PATH QUARROW_PROGRAM_LINK /${CMAKE_INSTALL_BINDIR} /${QUARROW_PROGRAM_DIR}/quarrow)
file(MAKE_DIRECTORY ${QUARROW_GENERATED_DIR}/bin)
file(CREATE_LINK ${QUARROW_PROGRAM_LINK} ${QUARROW_GENERATED_DIR}/bin/quarrow SYMBOLIC)
install(FILES ${QUARROW_GENERATED_DIR}/bin/quarrow DESTINATION ${CMAKE_INSTALL_BINDIR})

# The launcher finds the installed catalogues from its own place, so an
# installation can be moved as a whole.
file(RELATIVE_PATH QUARROW_LAUNCHER_TO_DATA /${QUARROW_PROGRAM_DIR} /${CMAKE_INSTALL_DATADIR}/quarrow)
configure_file(${QUARROW_PACKAGING_DIR}/quarrow-launcher.in
               ${QUARROW_GENERATED_DIR}/quarrow-launcher @ONLY)
install(PROGRAMS ${QUARROW_GENERATED_DIR}/quarrow-launcher DESTINATION ${QUARROW_PROGRAM_DIR})
install(FILES ${QUARROW_SAMPLE_DIR}/vek.mdb ${QUARROW_SAMPLE_DIR}/dev.mdb ${QUARROW_SAMPLE_DIR}/dz.cmd
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quarrow)

# The desktop entry names the launcher by its full path, which is known only
# when installing (a package installs under another prefix than a build),
# and quoted as the desktop wants it.
install(CODE "
  include(\"${CMAKE_CURRENT_LIST_DIR}/DesktopEntry.cmake\")
  set(QUARROW_APP_ID ${QUARROW_APP_ID})
  quarrow_desktop_exec_value(\"\${CMAKE_INSTALL_PREFIX}/${QUARROW_PROGRAM_DIR}/quarrow-launcher\"
                             QUARROW_LAUNCHER)
  configure_file(\"${QUARROW_PACKAGING_DIR}/${QUARROW_APP_ID}.desktop.in\"
                 \"${QUARROW_GENERATED_DIR}/${QUARROW_APP_ID}.desktop\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
       TYPE FILE FILES \"${QUARROW_GENERATED_DIR}/${QUARROW_APP_ID}.desktop\")")

configure_file(${QUARROW_PACKAGING_DIR}/${QUARROW_APP_ID}.metainfo.xml.in
               ${QUARROW_GENERATED_DIR}/${QUARROW_APP_ID}.metainfo.xml @ONLY)
install(FILES ${QUARROW_GENERATED_DIR}/${QUARROW_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

foreach(size 16 24 32 48 96 128 256)
  install(FILES artwork/icons/quarrow-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${QUARROW_APP_ID}.png)
endforeach()
install(FILES artwork/icon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUARROW_APP_ID}.svg)

# Manual pages and the changelog compressed as Debian keeps them: gzip -9
# without a name or a time stamp, so that builds give the same bytes.
find_program(QUARROW_GZIP gzip REQUIRED)
set(QUARROW_COMPRESSED)
foreach(source man/quarrow.1 man/quarrow-catalogue.1 changelog)
  get_filename_component(name ${source} NAME)
  set(compressed ${QUARROW_GENERATED_DIR}/${name}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${QUARROW_GZIP} -9 -n -c ${QUARROW_PACKAGING_DIR}/${source} > ${compressed}
    DEPENDS ${QUARROW_PACKAGING_DIR}/${source})
  list(APPEND QUARROW_COMPRESSED ${compressed})
endforeach()
add_custom_target(quarrow_documents ALL DEPENDS ${QUARROW_COMPRESSED})
install(FILES ${QUARROW_GENERATED_DIR}/quarrow.1.gz ${QUARROW_GENERATED_DIR}/quarrow-catalogue.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence: as it is, and in the machine-readable form Debian reads.
file(READ LICENSE QUARROW_LICENSE_TEXT)
string(FIND "${QUARROW_LICENSE_TEXT}" "Permission" QUARROW_LICENSE_START)
string(SUBSTRING "${QUARROW_LICENSE_TEXT}" ${QUARROW_LICENSE_START} -1 QUARROW_LICENSE_TEXT)
string(REGEX REPLACE "\n+$" "" QUARROW_LICENSE_TEXT "${QUARROW_LICENSE_TEXT}")
string(REGEX REPLACE "\n\n" "\n.\n" QUARROW_LICENSE_TEXT "${QUARROW_LICENSE_TEXT}")
string(REGEX REPLACE "\n" "\n " QUARROW_LICENSE_TEXT "${QUARROW_LICENSE_TEXT}")
configure_file(${QUARROW_PACKAGING_DIR}/copyright.in ${QUARROW_GENERATED_DIR}/copyright @ONLY)
install(FILES LICENSE ${QUARROW_GENERATED_DIR}/copyright ${QUARROW_GENERATED_DIR}/changelog.gz
        DESTINATION ${QUARROW_DOC_DIR})
