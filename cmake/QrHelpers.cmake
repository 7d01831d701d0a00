# Shared build settings. Every folder globs its own sources, so adding a file
# never means editing a list somewhere else.

function(qr_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion)
    if(QR_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# qr_glob(VAR dir...) : all .cpp files below the given folders, re-globbed on every build.
function(qr_glob out)
  set(all)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS "${dir}/*.cpp")
    list(APPEND all ${found})
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# qr_add_gtest(target LABEL label SOURCES ... LIBS ... [DEPENDS program...])
# CTest labels select what a run covers: `core` (in-process tests of the libraries),
# `sim` (tests that start the command-line tools or a simulator), `gui` (windows on the
# offscreen platform) and `hw` (real adapters: every test suite whose name ends in
# "Hardware" gets this label instead of LABEL, and CI leaves it out). DEPENDS names the
# programs the tests start, so building the tests rebuilds them and a missing one is a
# build error, not a test failure.
function(qr_add_gtest target)
  cmake_parse_arguments(A "" "LABEL" "SOURCES;LIBS;DEPENDS" ${ARGN})
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  qr_warnings(${target})
  foreach(program IN LISTS A_DEPENDS)
    add_dependencies(${target} ${program})
  endforeach()
  gtest_discover_tests(${target} TEST_FILTER "-*Hardware.*" PROPERTIES LABELS ${A_LABEL}
                       DISCOVERY_TIMEOUT 60)
  gtest_discover_tests(${target} TEST_FILTER "*Hardware.*" PROPERTIES LABELS hw DISCOVERY_TIMEOUT 60)
endfunction()

# qr_split_started(VAR_STARTS VAR_OTHERS HELPER_REGEX sources...): test sources that
# include one of the helpers that start programs (they are `sim` tests) and the rest.
# Shared helper sources (not *Test.cpp) go to both lists.
function(qr_split_started starts others helpers)
  set(s)
  set(o)
  foreach(src IN LISTS ARGN)
    if(NOT src MATCHES "Test\\.cpp$")
      list(APPEND s ${src})
      list(APPEND o ${src})
      continue()
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
    file(STRINGS ${src} hits REGEX "#include \"[^\"]*(${helpers})\"")
    if(hits)
      list(APPEND s ${src})
    else()
      list(APPEND o ${src})
    endif()
  endforeach()
  set(${starts} ${s} PARENT_SCOPE)
  set(${others} ${o} PARENT_SCOPE)
endfunction()

# qr_cli_deps(): CLI11::CLI11 and nlohmann_json::nlohmann_json for the command-line tools.
# Both are header-only. A cross build takes the build machine's headers, copied into the
# build tree: their CMake packages would put the machine's whole /usr/include (its C
# library included) on the target compiler's include path.
macro(qr_cli_deps)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(CLI11 CONFIG REQUIRED)
    find_package(nlohmann_json 3 REQUIRED)
  elseif(NOT TARGET CLI11::CLI11)
    find_path(QR_HOST_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_path(QR_HOST_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
              REQUIRED)
    set(_qr_staged ${CMAKE_BINARY_DIR}/host-headers)
    file(COPY ${QR_HOST_CLI11_INCLUDE}/CLI DESTINATION ${_qr_staged})
    file(COPY ${QR_HOST_JSON_INCLUDE}/nlohmann DESTINATION ${_qr_staged})
    add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
    set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                                                               ${_qr_staged})
  endif()
endmacro()

# qr_include_root(target folder): the target's headers are included by their path from
# the source root ("tessera/core/config/ConfigFile.h"), and only by the targets that link
# it. The target exports a folder of its own in the build tree holding one link,
# <folder> -> the source folder, so a header of a library that is not linked does not
# resolve. The links are made at configure time on the build host (also for the Windows
# cross-build, whose compiler runs there).
function(qr_include_root target folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  elseif(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
