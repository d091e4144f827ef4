# GoogleTest: Debian's packaged build natively; built from Debian's sources when cross-compiling.
function(orvalix_use_googletest)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest 1.11 and later name their targets GTest:: themselves.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endfunction()

# Flags every test file is compiled with; the precompiled header must be made with the same.
function(orvalix_test_compile_settings target)
  target_link_libraries(${target} PRIVATE GTest::gtest)
  target_compile_definitions(${target} PRIVATE ORVALIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  orvalix_target_defaults(${target})
endfunction()

# GoogleTest's header costs more to compile than most test files: it is compiled once for all.
function(orvalix_add_test_header_cache)
  set(anchor ${CMAKE_BINARY_DIR}/orvalix_test_pch.cpp)
  file(CONFIGURE OUTPUT ${anchor} CONTENT "// Compiles the tests' precompiled header; nothing else.\n")
  add_library(orvalix_test_pch OBJECT ${anchor})
  orvalix_test_compile_settings(orvalix_test_pch)
  target_precompile_headers(orvalix_test_pch PRIVATE <gtest/gtest.h>)
endfunction()

# One test executable per module; every test case becomes a CTest test.
function(orvalix_add_test target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT TARGET orvalix_test_pch)
    orvalix_add_test_header_cache()
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPENDS} GTest::gtest_main)
  orvalix_test_compile_settings(${target})
  target_precompile_headers(${target} REUSE_FROM orvalix_test_pch)
  if(CMAKE_CROSSCOMPILING)
    # Discovery would start the emulator at build time; one CTest test per executable is enough.
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES LABELS ${target})
  else()
    include(GoogleTest)
    # The executable's name as a label lets a stage run one module's tests (ctest -L).
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${target})
  endif()
endfunction()
