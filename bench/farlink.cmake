# The remote provider: a status-refresh tick and a 200 KB flash over TLS on 127.0.0.1 beside the
# same in process.
if(TARGET farlinkd AND TARGET oleaut_python AND TARGET oruDirEzo AND TARGET vireo-bench AND TARGET oru-fwimage)
  add_custom_target(run-farlink-bench
    COMMAND ${ORU_BENCH_ENV} ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/farlink_bench.py ${CMAKE_BINARY_DIR}
    DEPENDS farlinkd farlink_provider oleaut_python oruDirEzo vireo-bench oru-fwimage oru-regsvr
    USES_TERMINAL
    VERBATIM)
  add_dependencies(run-benchmarks run-farlink-bench)
endif()
