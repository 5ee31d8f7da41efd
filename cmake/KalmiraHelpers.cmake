# Small helpers shared by every folder's CMakeLists.

function(kalmira_add_subdirectory_if_present dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# kalmira_glob_library(<target> DIRS <dir>... [DEPS <target>...] [PUBLIC_INCLUDE <dir>])
# A static library of every .cpp in the given folders (relative to the current folder).
# With no sources yet it is an interface library, so layers above can link it already.
function(kalmira_glob_library target)
  cmake_parse_arguments(ARG "" "PUBLIC_INCLUDE" "DIRS;DEPS;EXCLUDE" ${ARGN})
  set(sources)
  foreach(dir ${ARG_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  foreach(pattern ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT ARG_PUBLIC_INCLUDE)
    set(ARG_PUBLIC_INCLUDE ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  if(sources)
    add_library(${target} STATIC ${sources})
    # AUTOGEN reruns only when a file it already knows or a list file of the folder changes, so
    # a source the glob newly finds would go unscanned: the source list becomes a list file
    # (rewritten only when it changes).
    set(source_list ${CMAKE_CURRENT_BINARY_DIR}/${target}_sources.cmake)
    string(REPLACE ";" "\n#   " source_lines "${sources}")
    file(CONFIGURE OUTPUT ${source_list} CONTENT "# Sources of ${target}:\n#   ${source_lines}\n")
    include(${source_list})
    target_include_directories(${target} PUBLIC ${ARG_PUBLIC_INCLUDE})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${ARG_PUBLIC_INCLUDE})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# kalmira_gtest(<name> SOURCES <file>... DEPS <target>...)
function(kalmira_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # The program sets its own language, platform and configuration folder (tests/support), so
  # it runs the same straight from the build folder as under CTest.
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kalmira_test_environment GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# kalmira_qtest(<name> SOURCES <file>... DEPS <target>...): one Qt Test executable, run headless.
function(kalmira_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kalmira_test_environment Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
