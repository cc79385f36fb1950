# One static library per src/ folder; every .cpp/.h in the folder (and in the SUBDIRS named, for
# a folder split by platform) belongs to it.
function(tessik_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SUBDIRS" ${ARGN})
  set(patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  foreach(sub ${ARG_SUBDIRS})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  # A folder with headers only still builds a (nearly empty) static library, so the target never
  # changes type when its first .cpp arrives (that would leave Qt's moc step stale).
  add_library(${name} STATIC ${sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  # A header that arrives after the first build must still reach moc. moc reruns when a list
  # file of this directory changes; this one is rewritten only when the folder's files change.
  string(REPLACE ";" "\n# " listing "${sources}")
  set(file_list ${CMAKE_CURRENT_BINARY_DIR}/${name}_files.cmake)
  file(CONFIGURE OUTPUT ${file_list} CONTENT "# ${listing}\n")
  include(${file_list})
endfunction()
