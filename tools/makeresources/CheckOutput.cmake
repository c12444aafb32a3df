# Runs makeresources into a fresh folder and compares every file it writes
# with the committed one. Arguments: TOOL, SOURCE_DIR, WORK_DIR.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
  COMMAND ${TOOL} ${WORK_DIR}/resources --sheet ${WORK_DIR}/contact-sheet.png
  RESULT_VARIABLE status
  OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "makeresources failed: ${status}")
endif()

file(GLOB made RELATIVE ${WORK_DIR}/resources ${WORK_DIR}/resources/*)
set(pairs "")
foreach(name ${made})
  list(APPEND pairs "${WORK_DIR}/resources/${name}|${SOURCE_DIR}/resources/${name}")
endforeach()
list(APPEND pairs "${WORK_DIR}/contact-sheet.png|${SOURCE_DIR}/docs/contact-sheet.png")

set(stale "")
foreach(pair ${pairs})
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 fresh)
  list(GET pair 1 committed)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${fresh} ${committed} RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    list(APPEND stale ${committed})
  endif()
endforeach()
if(stale)
  string(REPLACE ";" "\n  " stale "${stale}")
  message(FATAL_ERROR "These committed files differ from what makeresources makes now "
                      "(regenerate them, see README.md):\n  ${stale}")
endif()
list(LENGTH pairs count)
message(STATUS "all ${count} files match")
