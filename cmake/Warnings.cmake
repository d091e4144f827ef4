# Applied to every target of ours through orvalix_target_defaults().
function(orvalix_target_defaults target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive-)
    if(ORVALIX_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
    # GCC 12 reports a false -Wrestrict inside its own <string> when it inlines
    # "literal" + std::string at -O2 and above.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
       AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(ORVALIX_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# A core library: sources relative to the calling directory, include root is src/.
function(orvalix_add_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
  orvalix_target_defaults(${target})
  orvalix_fuzz_coverage(${target})
endfunction()

# With the fuzzers, what they exercise reports its coverage to libFuzzer. The tests beside them
# in the same build are left out: they would only compile slower.
function(orvalix_fuzz_coverage target)
  if(ORVALIX_BUILD_FUZZERS)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()
