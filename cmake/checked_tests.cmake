# Every test runs through tools/run-test.sh, which passes it only when the program's own summary
# says so, and has a time limit: generous for the slowest suite, far below CI's own limit.
set(KESTROW_TEST_TIMEOUT 900 CACHE STRING "Seconds a test may run before ctest stops it")

# kestrow_checked_test(NAME name KIND gtest|script COMMAND program [args...] [TIMEOUT seconds])
# A program that is a target of a Windows build runs under the emulator (wine64).
function(kestrow_checked_test)
  cmake_parse_arguments(T "" "NAME;KIND;TIMEOUT" "COMMAND" ${ARGN})
  list(POP_FRONT T_COMMAND program)
  set(emulator "")
  if(TARGET ${program})
    if(CMAKE_CROSSCOMPILING_EMULATOR)
      set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
    endif()
    set(program $<TARGET_FILE:${program}>)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${CMAKE_SOURCE_DIR}/tools/run-test.sh ${T_KIND} ${emulator} ${program} ${T_COMMAND})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${KESTROW_TEST_TIMEOUT})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} KESTROW_CHECKED ON)
endfunction()

# Fails the configuration when a test of the directory was added without kestrow_checked_test.
function(kestrow_require_checked_tests)
  get_property(tests DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} PROPERTY TESTS)
  foreach(t IN LISTS tests)
    get_test_property(${t} KESTROW_CHECKED checked)
    if(NOT checked)
      message(FATAL_ERROR "test ${t} is not registered with kestrow_checked_test")
    endif()
  endforeach()
endfunction()
