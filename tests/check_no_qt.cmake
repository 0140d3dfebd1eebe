# Fails if a source file of the toolkit-free core includes a Qt header.
# -DROOT=<project root> -DDIRS=<list of core folders>. platform/qt is the one Qt folder
# under platform/ and is skipped.
set(offenders "")
foreach(dir IN LISTS DIRS)
  file(GLOB sources LIST_DIRECTORIES false "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
    if(hits)
      list(APPEND offenders "${source}: ${hits}")
    endif()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n" text)
  message(FATAL_ERROR "Qt headers in the toolkit-free core:\n${text}")
endif()
list(LENGTH DIRS n)
message(STATUS "no Qt header in ${n} core folders")
