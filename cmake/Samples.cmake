# The sample catalogues that ./run.sh starts with and that are installed for
# the desktop menu entry: a driver catalogue of up to 5000 devices of pci.ids
# with their makers' driver pages and nothing made up (--known-only), the
# device catalogue of the PCI and USB registries, and the device-manager
# script.
# They are built by quarrow-catalogue into <build>/share/quarrow/.
set(QUARROW_SAMPLE_DIR ${CMAKE_BINARY_DIR}/share/quarrow)
# The password that the program's connection strings name.
set(QUARROW_CATALOGUE_PASSWORD kavrel)
set(QUARROW_PCI_IDS /usr/share/misc/pci.ids)
set(QUARROW_USB_IDS /usr/share/misc/usb.ids)
set(QUARROW_SAMPLE_TOOL $<TARGET_FILE:quarrow-catalogue>)
if(CMAKE_CROSSCOMPILING)
  # The tool built for another system runs through its emulator (Wine for
  # the Windows build).
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(FATAL_ERROR "A cross build makes its sample catalogues with the tool it builds: "
                        "set CMAKE_CROSSCOMPILING_EMULATOR")
  endif()
  set(QUARROW_SAMPLE_TOOL ${CMAKE_CROSSCOMPILING_EMULATOR} ${QUARROW_SAMPLE_TOOL})
endif()
if(QUARROW_SANITIZE)
  # The samples are data to run the program with; the tool's leaks are the
  # tests' business, with their suppressions.
  set(QUARROW_SAMPLE_TOOL ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 ${QUARROW_SAMPLE_TOOL})
endif()

add_custom_command(
  OUTPUT ${QUARROW_SAMPLE_DIR}/vek.mdb
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARROW_SAMPLE_DIR}
  COMMAND ${QUARROW_SAMPLE_TOOL} sample --known-only --rows 5000 --password ${QUARROW_CATALOGUE_PASSWORD}
          --pci ${QUARROW_PCI_IDS} ${QUARROW_SAMPLE_DIR}/vek.mdb
  DEPENDS quarrow-catalogue ${QUARROW_PCI_IDS}
  COMMENT "Building the sample driver catalogue vek.mdb"
  VERBATIM)
add_custom_command(
  OUTPUT ${QUARROW_SAMPLE_DIR}/dev.mdb
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARROW_SAMPLE_DIR}
  COMMAND ${QUARROW_SAMPLE_TOOL} devices --password ${QUARROW_CATALOGUE_PASSWORD}
          --pci ${QUARROW_PCI_IDS} --usb ${QUARROW_USB_IDS} ${QUARROW_SAMPLE_DIR}/dev.mdb
  DEPENDS quarrow-catalogue ${QUARROW_PCI_IDS} ${QUARROW_USB_IDS}
  COMMENT "Building the device catalogue dev.mdb"
  VERBATIM)
add_custom_command(
  OUTPUT ${QUARROW_SAMPLE_DIR}/dz.cmd
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/dz.cmd ${QUARROW_SAMPLE_DIR}/dz.cmd
  DEPENDS ${PROJECT_SOURCE_DIR}/data/dz.cmd
  VERBATIM)
add_custom_target(quarrow_samples ALL
  DEPENDS ${QUARROW_SAMPLE_DIR}/vek.mdb ${QUARROW_SAMPLE_DIR}/dev.mdb ${QUARROW_SAMPLE_DIR}/dz.cmd)
