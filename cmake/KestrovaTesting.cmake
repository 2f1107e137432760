# One helper registers every test program, so adding a test is one line.
#   kestrova_add_test(NAME name SOURCES a.cpp b.cpp LIBS lib... [QT] [PROPERTIES key value...])
# GoogleTest programs are registered test by test; QT marks a Qt Test program,
# run headless on the offscreen platform. PROPERTIES go to every test of the
# program (FIXTURES_REQUIRED, for one).
find_package(GTest REQUIRED)
include(GoogleTest)

set(KESTROVA_TEST_ENV
  QT_QPA_PLATFORM=offscreen
  XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime
  QT_LOGGING_RULES=qt.multimedia*=false
  KESTROVA_NO_AUDIO=1)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime)

function(kestrova_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_QT)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 120 ENVIRONMENT "${KESTROVA_TEST_ENV}" ${T_PROPERTIES})
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    gtest_discover_tests(${T_NAME}
      PROPERTIES ${T_PROPERTIES} TIMEOUT 120 ENVIRONMENT "${KESTROVA_TEST_ENV}"
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
