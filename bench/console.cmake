# The console's refresh tick: a whole tick of the main window, widgets included, and its component
# calls alone.
if(TARGET kestview_main AND TARGET vireobench_testing AND TARGET oruDirEzo)
  add_executable(console_refresh_bench ${CMAKE_CURRENT_LIST_DIR}/console_refresh_bench.cpp)
  target_link_libraries(console_refresh_bench PRIVATE bench_results kestview_main vireobench_testing ${CMAKE_DL_LIBS})
  target_compile_definitions(console_refresh_bench PRIVATE ORU_COMPONENT_PATH="$<TARGET_FILE:oruDirEzo>")
  add_dependencies(console_refresh_bench oruDirEzo)
  add_custom_target(run-console-bench COMMAND ${ORU_BENCH_ENV} $<TARGET_FILE:console_refresh_bench> DEPENDS console_refresh_bench USES_TERMINAL)
  add_dependencies(run-benchmarks run-console-bench)
endif()
