# Writes OUT, a header defining CUE_VERSION: the source tree's `git describe --always --dirty`,
# else FALLBACK outside a git checkout. Run at every build; OUT changes only with the version.
execute_process(COMMAND git describe --always --dirty WORKING_DIRECTORY ${SRC}
                OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE result ERROR_QUIET)
if(NOT result EQUAL 0 OR NOT version)
  set(version "${FALLBACK}")
endif()
set(text "#pragma once\n#define CUE_VERSION \"${version}\"\n")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${OUT} "${text}")
endif()
