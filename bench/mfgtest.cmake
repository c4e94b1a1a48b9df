# The whole spectral-mask test, headless, on the simulated bench with its gateway in process, with a
# time scale that makes the test's waits 1 % of real.
if(TARGET kestview_mfgtest AND TARGET vireobench_testing AND TARGET oruDirEzo)
  add_executable(mfgtest_bench ${CMAKE_CURRENT_LIST_DIR}/mfgtest_bench.cpp)
  target_link_libraries(mfgtest_bench PRIVATE bench_results kestview_mfgtest vireobench vireobench_testing ${CMAKE_DL_LIBS})
  target_compile_definitions(mfgtest_bench PRIVATE ORU_COMPONENT_PATH="$<TARGET_FILE:oruDirEzo>")
  add_dependencies(mfgtest_bench oruDirEzo hp438a hp8593e)
  add_custom_target(run-mfgtest-bench COMMAND ${ORU_BENCH_ENV} $<TARGET_FILE:mfgtest_bench> DEPENDS mfgtest_bench USES_TERMINAL)
  add_dependencies(run-benchmarks run-mfgtest-bench)
endif()
