# cmake -DSRC_DIR=<src> -P check_includes.cmake
# Every #include "<folder>/..." in src/ must point to the file's own folder
# or to one the layer table (QqcLayers.cmake) lets it use. Lists every
# violation with its file and include, then fails.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/QqcLayers.cmake)

file(GLOB_RECURSE files RELATIVE ${SRC_DIR} ${SRC_DIR}/*.h ${SRC_DIR}/*.cpp)
set(failures "")
foreach(file IN LISTS files)
  # The folder of a path: its first directory, with "/ui" when it sits in
  # that folder's ui subfolder.
  string(REGEX MATCH "^[^/]+(/ui/)?" from "${file}")
  string(REGEX REPLACE "/$" "" from "${from}")
  if(from STREQUAL file)
    continue()   # a file directly in src/
  endif()
  file(STRINGS ${SRC_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${line}")
    string(REGEX MATCH "^[^/]+(/ui/)?" to "${header}")
    string(REGEX REPLACE "/$" "" to "${to}")
    if(to STREQUAL from)
      continue()
    endif()
    qqc_layer_allows(${from} ${to} ok)
    if(ok STREQUAL "UNKNOWN")
      list(APPEND failures "src/${file}: folder ${from} is not in the layer table (cmake/QqcLayers.cmake)")
    elseif(NOT ok)
      list(APPEND failures "src/${file} includes \"${header}\": ${from} may not use ${to}")
    endif()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Includes against the layers:\n${text}")
endif()
list(LENGTH files count)
message(STATUS "Layers hold in ${count} files")
