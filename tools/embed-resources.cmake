# Turns the custom resources named in a .rc file ("<id> <TYPE> \"file\"")
# into a C++ file that registers them with the host platform layer.
# Usage: cmake -DRC_FILE=setup.rc -DOUTPUT=out.cpp -P embed-resources.cmake
get_filename_component(_dir ${RC_FILE} DIRECTORY)
file(STRINGS ${RC_FILE} _lines)
set(_body "")
set(_table "")
set(_n 0)
foreach(_line IN LISTS _lines)
  if(_line MATCHES "^[ \t]*([0-9]+)[ \t]+(FD|MF)[ \t]+\"([^\"]+)\"")
    set(_id ${CMAKE_MATCH_1})
    set(_type ${CMAKE_MATCH_2})
    set(_file ${_dir}/${CMAKE_MATCH_3})
    file(READ ${_file} _hex HEX)
    string(LENGTH "${_hex}" _hexlen)
    math(EXPR _size "${_hexlen} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
    string(REGEX REPLACE "((0x..,){16})" "\\1\n" _bytes "${_bytes}")
    string(APPEND _body "const unsigned char kData${_n}[] = {\n${_bytes}0};\n")
    string(APPEND _table "    {\"${_type}\", ${_id}, kData${_n}, ${_size}},\n")
    math(EXPR _n "${_n} + 1")
  endif()
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Generated from ${RC_FILE}; do not edit.
#include \"platform/host.h\"

namespace {
${_body}
const hostwin::EmbeddedResource kResources[] = {
${_table}};

struct Registrar {
    Registrar() {
        for (const auto& r : kResources)
            hostwin::RegisterResource(r);
    }
} registrar;
} // namespace
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
