# The Debian package: `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package-check.sh does that).
set(CPACK_PACKAGE_NAME pellandrix)
set(CPACK_PACKAGE_VENDOR "Pellandrix team")
set(CPACK_PACKAGE_CONTACT "Pellandrix team <pellandrix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTML page generator working on template projects")
set(CPACK_PACKAGE_DESCRIPTION
  "Pellandrix keeps projects of template files in an SQLite database and builds
sets of HTML (or other text) pages from them with a small line-oriented
preprocessor (#include, #define, #undef, #ifdef, #ifndef, #else, #endif).
The package holds the Qt desktop program pellandrix and the command-line
generator pellandrix-cli.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies come from the shared libraries the programs link
# (dpkg-shlibdeps), so no hand-kept list can go stale.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts in the desktop program (file dialogs, message-box buttons)
# are German with Qt's translations; without them they stay English and the
# program works all the same.
if(PELLANDRIX_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
endif()
set(CPACK_STRIP_FILES ON)
# The desktop program looks for its help under the data directory compiled
# in from CMAKE_INSTALL_PREFIX; the package must put the files there too.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_GENERATOR DEB)
include(CPack)
