# find_package(ZOR): ZOR::ZOR, the application interface of libZOR.so (#include <zor/zor.h>).
# The prefix is where this file lies, so an installed tree may be moved. The headers ask for no
# language version: C11 and C++11 or later both include them.
get_filename_component(_zor_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET ZOR::ZOR)
  add_library(ZOR::ZOR SHARED IMPORTED)
  set_target_properties(ZOR::ZOR PROPERTIES
    IMPORTED_LOCATION "${_zor_prefix}/lib/libZOR.so.1"
    IMPORTED_SONAME libZOR.so.1
    INTERFACE_INCLUDE_DIRECTORIES "${_zor_prefix}/include")
endif()
set(ZOR_FOUND TRUE)
unset(_zor_prefix)
