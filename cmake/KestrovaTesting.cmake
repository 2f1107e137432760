# One helper registers every test program, so adding a test is one line.
#   kestrova_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib... [QT] [PROPERTIES key value...])
# GoogleTest programs are registered test by test; QT marks a Qt Test program,
# run headless on the offscreen platform. PROPERTIES go to every test of the
# program (FIXTURES_REQUIRED, for one).
find_package(GTest REQUIRED)
include(GoogleTest)

# In a sanitized build any report fails the test that caused it: ASan and UBSan
# stop the program, LeakSanitizer turns the exit code non-zero. Leaks are
# checked everywhere; the file names the system libraries whose leaks are not ours.
# KESTROVA_SLOWDOWN scales every test's timeout: instrumented code runs several
# times slower.
set(KESTROVA_SANITIZER_ENV)
set(KESTROVA_SLOWDOWN 1)
if(KESTROVA_SANITIZE)
  set(KESTROVA_SANITIZER_ENV
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan-suppressions.txt:print_suppressions=0)
  set(KESTROVA_SLOWDOWN 3)
endif()
math(EXPR KESTROVA_TEST_TIMEOUT "120 * ${KESTROVA_SLOWDOWN}")

set(KESTROVA_TEST_ENV
  QT_QPA_PLATFORM=offscreen
  XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime
  QT_LOGGING_RULES=qt.multimedia*=false
  KESTROVA_NO_AUDIO=1
  # Test programs live in tests/, away from the transfer program beside the game.
  KESTROVA_FETCH_PROGRAM=${CMAKE_BINARY_DIR}/bin/kestrova-fetch
  ${KESTROVA_SANITIZER_ENV})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime)
# Qt warns about a runtime folder that others may read.
file(CHMOD ${CMAKE_BINARY_DIR}/xdg-runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(kestrova_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_QT)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${KESTROVA_TEST_TIMEOUT} ENVIRONMENT "${KESTROVA_TEST_ENV}" ${T_PROPERTIES})
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${T_NAME}
      PROPERTIES ${T_PROPERTIES} TIMEOUT ${KESTROVA_TEST_TIMEOUT} DISCOVERY_TIMEOUT 60)
    # gtest_discover_tests hands a list-valued property on as separate words, so only
    # the first variable would arrive; this file sets them all once the tests are known.
    set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_environment.cmake)
    file(CONFIGURE OUTPUT ${env_file} CONTENT [=[
if(@T_NAME@_TESTS)
  set_tests_properties(${@T_NAME@_TESTS} PROPERTIES ENVIRONMENT "@KESTROVA_TEST_ENV@")
endif()
]=] @ONLY)
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
  endif()
endfunction()
