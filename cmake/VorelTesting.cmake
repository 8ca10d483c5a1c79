# vorel_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest executable beside the code it tests; each TEST becomes a CTest case.
# Tests run headless (Qt's offscreen platform) and each gets the build's folders in
# its environment so that it can lay out a throw-away system root.
if(VOREL_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Tests run with Qt's headless platform. (Sanitizer options are compiled into each
# test program: platform/testing/SanitizerDefaults.cpp.)
set(VOREL_TEST_SUPPORT ${PROJECT_SOURCE_DIR}/platform/testing/SanitizerDefaults.cpp)

function(vorel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  # Without tests the target still exists (outside "all"), so that a folder may
  # add definitions or dependencies to it unconditionally.
  if(NOT VOREL_TESTS)
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES} ${VOREL_TEST_SUPPORT})
    return()
  endif()
  add_executable(${name} ${T_SOURCES} ${VOREL_TEST_SUPPORT})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    VOREL_BUILD_DIR="${PROJECT_BINARY_DIR}"
    VOREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # An empty LABELS value would shift the property list, so it is only added when given.
  set(props TIMEOUT 300 ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

# vorel_add_fuzz(<name> SOURCES <files...> LIBS <targets...> CORPUS <folder>)
# A fuzz target defines LLVMFuzzerTestOneInput. Every build turns it into a CTest
# case that replays each file of its seed corpus (so CI runs the corpus as a
# regression test with whatever compiler it has); with VOREL_FUZZ=ON under clang
# it is also built as a real libFuzzer program named <name>_fuzzer.
function(vorel_add_fuzz name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(VOREL_TESTS)
    add_executable(${name}_replay ${F_SOURCES} ${PROJECT_SOURCE_DIR}/platform/testing/FuzzReplay.cpp ${VOREL_TEST_SUPPORT})
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    add_test(NAME ${name}_corpus COMMAND ${name}_replay ${F_CORPUS})
    set_tests_properties(${name}_corpus PROPERTIES TIMEOUT 600)
  endif()
  if(VOREL_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_executable(${name}_fuzzer ${F_SOURCES})
    target_compile_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer)
    target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name}_fuzzer PRIVATE ${F_LIBS})
  endif()
endfunction()
