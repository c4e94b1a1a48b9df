# Airmeter against iperf3 on the loopback interface: UDP Directed at full rate and Stream.
if(TARGET airmeter-cli)
  add_custom_target(run-airmeter-bench
    COMMAND ${ORU_BENCH_ENV} ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/airmeter_bench.py $<TARGET_FILE:airmeter-cli>
    DEPENDS airmeter-cli
    USES_TERMINAL
    VERBATIM)
  add_dependencies(run-benchmarks run-airmeter-bench)
endif()
