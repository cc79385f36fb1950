# cmake -DROOT=<source> -DOUT=<header> -P WriteVersion.cmake: TESSIK_VERSION from scripts/version.
execute_process(COMMAND ${ROOT}/scripts/version OUTPUT_VARIABLE version
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(text "#pragma once\n#define TESSIK_VERSION \"${version}\"\n")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
# Rewritten only when the version changes, so nothing recompiles otherwise.
if(NOT old STREQUAL text)
  file(WRITE ${OUT} "${text}")
endif()
