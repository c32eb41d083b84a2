include(GoogleTest)

# zor_add_test(<name> LABEL <area> SOURCES <files...> [LIBS <targets...>])
# One GoogleTest binary; each test runs as its own ctest entry with its own
# registry root (see tests/support/testmain.cpp).
function(zor_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zor_testmain)
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 120
    DISCOVERY_TIMEOUT 120)
endfunction()

# zor_add_bench(<name> SOURCES <files...> [LIBS <targets...>])
function(zor_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark_main)
endfunction()

# Adds every immediate sub-folder of the current folder that has a CMakeLists.txt.
function(zor_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# zor_link_whole_archive(<target> <library>...)
# Puts every object of the static libraries into the target, also those that only register
# themselves when the program loads and that the linker would otherwise drop. Usage requirements
# and outside libraries still come from target_link_libraries.
function(zor_link_whole_archive target)
  set(archives)
  foreach(library IN LISTS ARGN)
    list(APPEND archives $<TARGET_FILE:${library}>)
  endforeach()
  target_link_options(${target} PRIVATE LINKER:--whole-archive ${archives} LINKER:--no-whole-archive)
endfunction()

# zor_compress(<source> <output>): gzip's best compression without name or time stamp, as
# Debian keeps changelogs and manual pages; made again when the source changes.
function(zor_compress source output)
  get_filename_component(folder ${output} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${output} COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

# zor_install_manual(<page.1>): a tool's manual page, installed in share/man/man1.
function(zor_install_manual page)
  set(compressed ${PROJECT_BINARY_DIR}/share/man/man1/${page}.gz)
  zor_compress(${CMAKE_CURRENT_SOURCE_DIR}/${page} ${compressed})
  install(FILES ${compressed} DESTINATION share/man/man1)
endfunction()

# zor_install_examples(<file>...): files to try the tools with, installed with the package's
# documentation (share/doc/zor-dravionlyn/examples), where the manual pages show them run.
function(zor_install_examples)
  install(FILES ${ARGN} DESTINATION share/doc/zor-dravionlyn/examples)
endfunction()
