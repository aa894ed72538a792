# Writes the commit the test kit is built from into OUTPUT (a header), only when that changes, so
# that an unchanged commit rebuilds nothing. No time goes in: the kit stays byte for byte the same.
#   VORELO_COMMIT in the environment, when set (scripts/release sets it, so that a copy of the
#   sources without git builds the same bytes); else what git says of SOURCE; else "unknown".
#
#   cmake -DSOURCE=<checkout> -DOUTPUT=<header> -P kit_commit.cmake
if(NOT "$ENV{VORELO_COMMIT}" STREQUAL "")
  set(commit "$ENV{VORELO_COMMIT}")
else()
  execute_process(COMMAND git -C "${SOURCE}" rev-parse HEAD OUTPUT_VARIABLE commit
                  RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(failed OR commit STREQUAL "")
    set(commit "unknown")
  else()
    execute_process(COMMAND git -C "${SOURCE}" status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(NOT changes STREQUAL "")
      string(APPEND commit " with local changes")
    endif()
  endif()
endif()
string(REPLACE "\"" "" commit "${commit}")
set(text "// Made by cmake/kit_commit.cmake: the commit the test kit is built from.\n#pragma once\n\n#define VORELO_KIT_COMMIT \"${commit}\"\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
