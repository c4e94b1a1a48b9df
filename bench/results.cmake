# The results database: a month's yield over 100,000 stored runs.
if(TARGET kestview_results)
  add_executable(results_bench ${CMAKE_CURRENT_LIST_DIR}/results_bench.cpp)
  target_link_libraries(results_bench PRIVATE kestview_results bench_results)
  add_custom_target(run-results-bench COMMAND ${ORU_BENCH_ENV} $<TARGET_FILE:results_bench> DEPENDS results_bench USES_TERMINAL)
  add_dependencies(run-benchmarks run-results-bench)
endif()
