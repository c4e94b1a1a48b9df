# The instrument drivers: a marker amplitude read and a power-meter reading through the simulated
# gateway on loopback, from C and from PyVISA.
if(TARGET hp438a AND TARGET hp8593e AND TARGET vireobench_testing)
  add_executable(instruments_bench ${CMAKE_CURRENT_LIST_DIR}/instruments_bench.cpp)
  target_link_libraries(instruments_bench PRIVATE bench_results hp438a hp8593e vireobench_testing)
  target_compile_definitions(instruments_bench PRIVATE ORU_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                             ORU_PYTHON="${Python3_EXECUTABLE}")
  target_include_directories(instruments_bench PRIVATE ${CMAKE_SOURCE_DIR}/platform/instruments/include
                             ${CMAKE_SOURCE_DIR}/sim/src ${CMAKE_SOURCE_DIR}/sim/tests)
  add_custom_target(run-instruments-bench COMMAND ${ORU_BENCH_ENV} $<TARGET_FILE:instruments_bench> DEPENDS instruments_bench USES_TERMINAL)
  add_dependencies(run-benchmarks run-instruments-bench)
endif()
