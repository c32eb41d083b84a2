# zor_embed_resource(<target> TYPE <type> NAME <name> FILE <path>)
# Embeds the file in <target> at build time; the module then finds it with
# os::FindResource / os::EnumResourceNames under that type and name. The
# generated source registers itself when the module loads, so a static
# library that carries resources must be linked whole (as driver parts are),
# and <target> must link zor_os.
# Included, this file defines the function; run with -P, it writes the source.

if(CMAKE_SCRIPT_MODE_FILE)
  file(READ "${INPUT}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}.
#include \"platform/os/process/resource.h\"

namespace {
// One spare byte keeps an empty file's array legal.
const unsigned char kData[] = {
${bytes}0};
const bool kRegistered = [] {
  os::RegisterResource(os::ModuleFromAddress(kData), L\"${TYPE}\", L\"${NAME}\", kData, ${size});
  return true;
}();
}  // namespace
")
  file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUTPUT}.tmp")
  return()
endif()

function(zor_embed_resource target)
  cmake_parse_arguments(ARG "" "TYPE;NAME;FILE" "" ${ARGN})
  foreach(word IN ITEMS "${ARG_TYPE}" "${ARG_NAME}")
    if(NOT word MATCHES "^[A-Za-z0-9_.-]+$")
      message(FATAL_ERROR "zor_embed_resource: '${word}' must be letters, digits, '_', '.' or '-'")
    endif()
  endforeach()
  get_filename_component(input "${ARG_FILE}" ABSOLUTE)
  string(MAKE_C_IDENTIFIER "${target}_${ARG_TYPE}_${ARG_NAME}" id)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/zor_resources/${id}.cpp)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DTYPE=${ARG_TYPE}
            -DNAME=${ARG_NAME} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    DEPENDS ${input} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    COMMENT "Embedding ${ARG_FILE} as ${ARG_TYPE}/${ARG_NAME}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
