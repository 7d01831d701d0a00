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

# qr_add_gtest(target LABEL label SOURCES ... LIBS ...)
function(qr_add_gtest target)
  cmake_parse_arguments(A "" "LABEL" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  qr_warnings(${target})
  gtest_discover_tests(${target} PROPERTIES LABELS ${A_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()
