# Helpers shared by the subsystem folders.

# korvel_library(NAME [DEPENDENCY...]): the folder's *.cpp files as the static library
# korvel_NAME, with src/ as the include root, linked with korvel_DEPENDENCY for each one.
function(korvel_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(korvel_${name} STATIC ${sources})
  target_include_directories(korvel_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set(dependencies ${ARGN})
  list(TRANSFORM dependencies PREPEND korvel_)
  target_link_libraries(korvel_${name} PUBLIC ${dependencies})
endfunction()

# korvel_test_program(NAME [NO_PROGRAM]): the folder's *.cpp files as the GoogleTest program
# test_NAME against korvel_NAME. Tests find the external test data through
# tests/support/test_data.h (its defaults: KORVEL_TESTDATA_DIR, KORVEL_ROMS_DIR) and the
# built program, for headless whole-machine runs, through KORVEL_BINARY; NO_PROGRAM leaves
# out the build dependency on the program (core tests).
function(korvel_test_program name)
  cmake_parse_arguments(arg "NO_PROGRAM" "" "" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE korvel_${name} PNG::PNG GTest::gtest_main GTest::gmock)
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(test_${name} PRIVATE
    KORVEL_TESTDATA_DIR="${KORVEL_TESTDATA_DIR}"
    KORVEL_ROMS_DIR="${KORVEL_ROMS_DIR}"
    KORVEL_BINARY="$<TARGET_FILE:korvel>")
  if(NOT arg_NO_PROGRAM)
    add_dependencies(test_${name} korvel)
  endif()
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
