# The Debian package: "cpack -G DEB" in a build folder packs what "cmake --install"
# installs (programs stripped, manual pages, README) under /usr.
set(CPACK_PACKAGE_NAME meshpix)
set(CPACK_PACKAGE_VENDOR "meshpix")
set(CPACK_PACKAGE_CONTACT "meshpix developers <meshpix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "command-line programs for coloured triangle-mesh models (STL, ZCP) and pictures (GIF, TIFF)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The programs link the C++ runtime in: the C library is all they need.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6")
include(CPack)
