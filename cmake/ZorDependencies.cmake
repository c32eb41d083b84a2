# Debian packages installed by scripts/install-deps.sh.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
find_package(LibXml2 REQUIRED)
find_package(PNG REQUIRED)
pkg_check_modules(LIBXSLT REQUIRED IMPORTED_TARGET libxslt)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
add_library(zor_rapidjson INTERFACE)
target_include_directories(zor_rapidjson SYSTEM INTERFACE ${RAPIDJSON_INCLUDE_DIR})
# Boost.Beast (header-only, libboost-dev) serves the feature browser's files and WebSocket.
find_package(Boost 1.74 REQUIRED)
