# oru_add_gtest(NAME [ONE_PROCESS] SOURCES... LIBS...): a GoogleTest binary registered with ctest.
# Tests run with a private registry hive and bench-state folder under the build tree, so they
# never touch the user's. Each test is its own ctest test, except with ONE_PROCESS: then the
# binary runs all its tests in one process, as one ctest test named NAME (window tests: one
# application start-up instead of one per test).
function(oru_add_gtest name)
  cmake_parse_arguments(T "ONE_PROCESS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(scratch ${CMAKE_BINARY_DIR}/test-scratch/${name})
  # The environment goes through `env` as the tests' launcher: a list in ENVIRONMENT would be split
  # apart by test discovery.
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR env
    ORU_REGISTRY=${scratch}/registry.reg
    ORU_BENCH_STATE=${scratch}/bench-state
    ORU_SOURCE_DIR=${CMAKE_SOURCE_DIR}
    ORU_BINARY_DIR=${CMAKE_BINARY_DIR})
  if(T_ONE_PROCESS)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
