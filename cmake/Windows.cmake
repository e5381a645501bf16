# What the Windows build adds to the two programs and what its installer
# says: the icon, the application manifest and the version information of
# quarrow.exe and quarrow-catalogue.exe (compiled by windres), and the
# product's details for packaging/windows/quarrow.wxs.
set(QUARROW_VENDOR "The Quarrow developers")
set(QUARROW_DESCRIPTION "Look hardware drivers up in a local catalogue")
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE QUARROW_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)

# quarrow_windows_resources(TARGET DESCRIPTION): TARGET.exe gets the icon, the
# manifest and version information with DESCRIPTION as its file description.
function(quarrow_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(QUARROW_RC_NAME ${target})
  set(QUARROW_RC_FILE_NAME ${target}.exe)
  set(QUARROW_RC_DESCRIPTION "${description}")
  set(QUARROW_RC_ICON ${PROJECT_SOURCE_DIR}/artwork/quarrow.ico)
  set(QUARROW_RC_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/quarrow.manifest)
  set(resources ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/resources.rc.in ${resources} @ONLY)
  target_sources(${target} PRIVATE ${resources})
  set_source_files_properties(${resources} PROPERTIES
    OBJECT_DEPENDS "${QUARROW_RC_ICON};${QUARROW_RC_MANIFEST}")
endfunction()

if(WIN32)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/product.wxi.in
                 ${CMAKE_BINARY_DIR}/packaging/windows/product.wxi @ONLY)
endif()
