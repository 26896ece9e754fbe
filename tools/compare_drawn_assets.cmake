# Runs draw_assets into a scratch folder and checks that it writes exactly the .bmp files that
# are committed, byte for byte.
#
#   cmake -DDRAW_ASSETS=<program> -DDRAWN_DIR=<scratch folder> -DCOMMITTED_DIR=<assets folder>
#         -P compare_drawn_assets.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT DRAW_ASSETS OR NOT DRAWN_DIR OR NOT COMMITTED_DIR)
  message(FATAL_ERROR "compare_drawn_assets.cmake needs DRAW_ASSETS, DRAWN_DIR and COMMITTED_DIR")
endif()

file(REMOVE_RECURSE "${DRAWN_DIR}")
execute_process(COMMAND "${DRAW_ASSETS}" "${DRAWN_DIR}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "draw_assets failed: ${result}")
endif()

file(GLOB drawn RELATIVE "${DRAWN_DIR}" "${DRAWN_DIR}/*.bmp")
file(GLOB committed RELATIVE "${COMMITTED_DIR}" "${COMMITTED_DIR}/*.bmp")
list(SORT drawn)
list(SORT committed)
if(NOT drawn STREQUAL committed)
  set(only_drawn "")
  foreach(name IN LISTS drawn)
    if(NOT name IN_LIST committed)
      list(APPEND only_drawn ${name})
    endif()
  endforeach()
  set(only_committed "")
  foreach(name IN LISTS committed)
    if(NOT name IN_LIST drawn)
      list(APPEND only_committed ${name})
    endif()
  endforeach()
  message(FATAL_ERROR "drawn and committed pictures differ in name:\n"
                      "  drawn only: ${only_drawn}\n  committed only: ${only_committed}")
endif()

list(LENGTH drawn count)
if(count EQUAL 0)
  message(FATAL_ERROR "draw_assets wrote no pictures")
endif()

set(changed "")
foreach(name IN LISTS drawn)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E compare_files "${DRAWN_DIR}/${name}" "${COMMITTED_DIR}/${name}"
    RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    list(APPEND changed ${name})
  endif()
endforeach()
if(changed)
  message(FATAL_ERROR "committed pictures differ from what draw_assets draws: ${changed}\n"
                      "Run draw_assets on the assets folder and commit the result.")
endif()

file(REMOVE_RECURSE "${DRAWN_DIR}")
message(STATUS "all ${count} pictures match")
