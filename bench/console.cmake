# The console's refresh tick: the component calls of one tick through the IDispatch wrappers.
if(TARGET kestview_core AND TARGET vireobench_testing AND TARGET oruDirEzo)
  add_executable(console_refresh_bench ${CMAKE_CURRENT_LIST_DIR}/console_refresh_bench.cpp)
  target_link_libraries(console_refresh_bench PRIVATE bench_results kestview_core vireobench_testing ${CMAKE_DL_LIBS})
  target_compile_definitions(console_refresh_bench PRIVATE ORU_COMPONENT_PATH="$<TARGET_FILE:oruDirEzo>")
  add_dependencies(console_refresh_bench oruDirEzo)
  add_custom_target(run-console-bench COMMAND ${ORU_BENCH_ENV} $<TARGET_FILE:console_refresh_bench> DEPENDS console_refresh_bench USES_TERMINAL)
  add_dependencies(run-benchmarks run-console-bench)
endif()
