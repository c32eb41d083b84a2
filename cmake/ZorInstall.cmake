# `cmake --install`: the build tree's layout copied to a prefix, relocatable (libraries and
# tools find each other through $ORIGIN; the pkg-config file and the CMake package find the
# prefix from where they lie), and `cpack -G DEB` packs the same layout under /usr.
install(TARGETS ZOR ZorDravionLyn zorgrabc LIBRARY DESTINATION lib)
install(TARGETS zordemo zorisc zorregister zorstapl RUNTIME DESTINATION bin)
# The application headers are what the build tree's include/zor/ holds: zor.h, qtypes.h and
# the feature constants generated there; nothing of the driver's or the stand-ins' insides.
install(DIRECTORY ${PROJECT_BINARY_DIR}/include/zor/ DESTINATION include/zor OPTIONAL)
configure_file(${CMAKE_CURRENT_LIST_DIR}/zor.pc.in ${PROJECT_BINARY_DIR}/lib/pkgconfig/zor.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lib/pkgconfig/zor.pc DESTINATION lib/pkgconfig)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ZORConfig.cmake ${PROJECT_BINARY_DIR}/lib/cmake/ZOR/ZORConfig.cmake
               COPYONLY)
install(FILES ${PROJECT_BINARY_DIR}/lib/cmake/ZOR/ZORConfig.cmake DESTINATION lib/cmake/ZOR)

set(CPACK_PACKAGE_NAME zor-dravionlyn)
set(CPACK_PACKAGE_VENDOR "Velant")
set(CPACK_PACKAGE_CONTACT "Velant imaging support <imaging@velant.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Dravion Lyn frame grabber driver with the ZOR host library and its application headers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_STRIP_FILES ON)
# The Debian packages of the libraries it links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
