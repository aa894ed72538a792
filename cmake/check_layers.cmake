cmake_policy(SET CMP0057 NEW)
# Fails when a source file of one layer includes a header of a layer it may not depend on, or
# a Windows header outside src/win32. Run by the build for every layer (see vorelo_layer in
# the top-level CMakeLists.txt), so a wrong-direction include fails the build.
#
#   cmake -DLAYER=engine -DALLOWED="base" -DWINDOWS=OFF -DSTAMP=<file> -DFILES="<a;b;...>"
#         -P check_layers.cmake
set(_layers base messages settings engine platform app win32)
set(_errors "")
foreach(_file IN LISTS FILES)
  file(STRINGS "${_file}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(_line IN LISTS _includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" _header "${_line}")
    string(TOLOWER "${_header}" _lower)
    if(NOT WINDOWS AND _lower MATCHES "^(windows|winuser|winbase|windef|commctrl|winresrc)\\.h$")
      list(APPEND _errors "${_file}: includes <${_header}>; only src/win32 may include Windows headers")
    endif()
    string(REGEX MATCH "^[a-z0-9_]+/" _top "${_header}")
    string(REGEX REPLACE "/$" "" _top "${_top}")
    if(_top AND _top IN_LIST _layers AND NOT _top STREQUAL LAYER AND NOT _top IN_LIST ALLOWED)
      list(APPEND _errors "${_file}: ${LAYER}/ may not include \"${_header}\" (${LAYER} depends only on: ${ALLOWED})")
    endif()
  endforeach()
endforeach()
if(_errors)
  list(JOIN _errors "\n" _text)
  message(FATAL_ERROR "Layer rule broken:\n${_text}")
endif()
file(WRITE "${STAMP}" "ok\n")
