# `cpack -G DEB` in the build folder makes quarrow_<version>_<arch>.deb from
# what `cmake --install` puts in place, under /usr. Its dependencies are
# read off the libraries the two programs are linked with (dpkg-shlibdeps,
# from dpkg-dev).
set(CPACK_PACKAGE_NAME quarrow)
set(CPACK_PACKAGE_VENDOR "${QUARROW_VENDOR}")
set(CPACK_PACKAGE_CONTACT "The Quarrow developers <developers@${QUARROW_HOME_HOST}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "look hardware drivers up in a local catalogue")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://${QUARROW_HOME_HOST}/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked, but used: the desktop's opener for download addresses, the
# faces that stand in for the windows' declared fonts, and the registries
# that quarrow-catalogue builds device catalogues and samples from.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pci.ids, usb.ids")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quarrow finds drivers for hardware. Type part of a driver's name and it
searches its local driver catalogue, shows the matching drivers and their
count, and hands the chosen driver's download address to the web browser.
It also searches a catalogue of PCI and USB device identifiers and lists
hardware makers' driver pages.
.
The desktop menu entry keeps the catalogues in ~/.local/share/quarrow.
The package also holds quarrow-catalogue, which builds catalogues from
tab-separated text.")

include(CPack)
