# Fails if a folder includes a header of a folder above it. -DROOT=<project root>.
# platform/ is the base; labfolder/ sits on it, below everything that reads or writes a lab
# folder; the engine knows nothing of the start-up screen, the study or the programs; study/
# reads lab folders through labfolder/ and needs nothing of the engine.
# Each rule: a folder (its subfolders included), then the folders it must not include.
set(rules
  "platform|labfolder|engine|intake|study|screens|stimulus|app|bench|check|tools|random"
  "labfolder|engine|intake|study|screens|stimulus|app|bench|check|tools|random"
  "engine|intake|study|app|bench|check|tools"
  "study|engine|intake|screens|stimulus|app|bench")
set(offenders "")
set(folders 0)
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  list(POP_FRONT parts dir)
  list(JOIN parts "|" above)
  file(GLOB_RECURSE sources LIST_DIRECTORIES false "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
  if(NOT sources)
    message(FATAL_ERROR "no sources in ${ROOT}/${dir}: the check would pass on nothing")
  endif()
  math(EXPR folders "${folders} + 1")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${above})/")
    if(hits)
      list(APPEND offenders "${source}: ${hits}")
    endif()
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n" text)
  message(FATAL_ERROR "includes that run up the layers:\n${text}")
endif()
message(STATUS "${folders} folders include nothing above them")
