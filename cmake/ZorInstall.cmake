# `cmake --install`: the build tree's layout copied to a prefix, relocatable (libraries and
# tools find each other through $ORIGIN; the pkg-config file and the CMake package find the
# prefix from where they lie), and `cpack -G DEB` packs the same layout under /usr.
include(CMakePackageConfigHelpers)
# libZOR.so.1 with its development link libZOR.so; the plug-ins keep the names they are loaded by.
install(TARGETS ZOR ZorDravionLyn zorgrabc LIBRARY DESTINATION lib)
install(TARGETS zordemo zorisc zorregister zorstapl RUNTIME DESTINATION bin)
# The application headers are what the build tree's include/zor/ holds: zor.h, qtypes.h and
# the feature constants generated there; nothing of the driver's or the stand-ins' insides.
install(DIRECTORY ${PROJECT_BINARY_DIR}/include/zor/ DESTINATION include/zor OPTIONAL)
configure_file(${CMAKE_CURRENT_LIST_DIR}/zor.pc.in ${PROJECT_BINARY_DIR}/lib/pkgconfig/zor.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/lib/pkgconfig/zor.pc DESTINATION lib/pkgconfig)
set(zor_cmake_package ${PROJECT_BINARY_DIR}/lib/cmake/ZOR)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ZORConfig.cmake ${zor_cmake_package}/ZORConfig.cmake
               COPYONLY)
write_basic_package_version_file(${zor_cmake_package}/ZORConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${zor_cmake_package}/ZORConfig.cmake ${zor_cmake_package}/ZORConfigVersion.cmake
        DESTINATION lib/cmake/ZOR)

set(CPACK_PACKAGE_NAME zor-dravionlyn)
# What Debian asks of a package: the copyright and the changelog under share/doc/<package>.
set(zor_doc ${PROJECT_BINARY_DIR}/share/doc/${CPACK_PACKAGE_NAME})
zor_compress(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${zor_doc}/changelog.Debian.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${zor_doc}/changelog.Debian.gz
        DESTINATION share/doc/${CPACK_PACKAGE_NAME})

set(CPACK_PACKAGE_VENDOR "Velant")
set(CPACK_PACKAGE_CONTACT "Velant imaging support <imaging@velant.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Dravion Lyn frame grabber driver and ZOR host library")
# The summary is the description's first line; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The board driver of the Dravion Lyn analog frame grabbers,
libZorDravionLyn.so, and the ZOR host library, libZOR.so.1, that loads it
when an application allocates a system of this board type: grabs, hooks,
a GenICam feature layer with a web feature browser, and the board's
firmware update over JTAG.
.
The package holds the application headers with their pkg-config and CMake
packages, the tools zordemo, zorisc, zorstapl, zorregister and zorsetup,
the standard camera files and the firmware folder. When it is configured
it sets the driver up as its installer does: the registry values the
driver reads and the GenICam runtime's environment for every user.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision: the package is not Debian's own, so its changelog is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_STRIP_FILES ON)
# The Debian packages of the libraries it links, as dpkg-shlibdeps finds them, and the shlibs
# file that lets applications' packages depend on this one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The installer's part (debian/postinst runs zorsetup), what purging removes, and the linker
# cache's trigger for libZOR.so.1.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
    ${CMAKE_CURRENT_LIST_DIR}/debian/postrm ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
