# The commit the build is made from, beside the project's version: read at
# configure time for the package's version, and at every build (cmake -P with
# SOURCE_DIR and OUTPUT) for the header the programs print it from.
function(demo_commit source_dir out)
  execute_process(COMMAND git -C "${source_dir}" rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR commit STREQUAL "")
    set(commit "unknown")
  endif()
  set(${out} "${commit}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND OUTPUT)
  cmake_policy(VERSION 3.25)
  demo_commit("${SOURCE_DIR}" commit)
  # Rewritten only when the commit changes, so a build without one recompiles nothing.
  file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT
"// Made by cmake/version.cmake at build time.
#pragma once
#define DEMO_VERSION \"@VERSION@\"
#define DEMO_COMMIT \"@commit@\"
" @ONLY)
endif()
