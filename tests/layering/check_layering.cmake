# Hosts reach the engine through its faces only: no file of the Qt view, the
# apps or the examples includes a thread, event, buffer, source or playback
# header, and the face headers they include pull none in.
# cmake -DSOURCE_DIR=... -DCXX=... -P check_layering.cmake
set(banned "platform/thread\\.h|platform/event\\.h|buffers/|sources/|playback/")
set(failures "")

file(GLOB_RECURSE host_files ${SOURCE_DIR}/src/ui/* ${SOURCE_DIR}/apps/*
     ${SOURCE_DIR}/examples/*)
foreach(f ${host_files})
  if(NOT f MATCHES "\\.(h|cpp)$")
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"(${banned})")
  foreach(line ${lines})
    file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
    string(APPEND failures "${rel}: ${line}\n")
  endforeach()
endforeach()

foreach(face control/kiv_player_core.h control/record_reader.h nails/thumbnails.h preview/previews.h
             export/exporter.h)
  execute_process(
    COMMAND ${CXX} -std=c++20 -M -x c++ -I${SOURCE_DIR}/src ${SOURCE_DIR}/src/${face}
    OUTPUT_VARIABLE deps ERROR_VARIABLE error RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    string(APPEND failures "${face}: ${error}\n")
  endif()
  string(REGEX MATCHALL "src/(${banned})[^ \\\\\n]*" pulled "${deps}")
  foreach(p ${pulled})
    string(APPEND failures "${face} pulls in ${p}\n")
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "Hosts reach below the faces:\n${failures}")
endif()
message(STATUS "layering: hosts include only the faces")
