# The libraries the core and the command-line program build on, found once
# for the main build and for the fuzz build, which must agree on them.
find_package(PkgConfig REQUIRED)
find_package(SQLite3 REQUIRED)
pkg_check_modules(INIH REQUIRED IMPORTED_TARGET inih)
pkg_check_modules(XXHASH REQUIRED IMPORTED_TARGET libxxhash)
# Debian's libmdb (mdbtools-dev) reads old Jet project databases for conversion.
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)
# Debian's gumbo reads generated pages as an HTML5 browser would, for `check`.
pkg_check_modules(GUMBO REQUIRED IMPORTED_TARGET gumbo)
# Debian's libmicrohttpd serves the live preview.
pkg_check_modules(MICROHTTPD REQUIRED IMPORTED_TARGET libmicrohttpd)
# Debian's nlohmann-json writes the command-line program's --json output.
find_package(nlohmann_json 3.10 REQUIRED)
