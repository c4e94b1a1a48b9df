# Firmware images: load the largest image the reader accepts next to srec_cat converting the same
# file, and download it to an adapter of the simulated bench through the component.
if(TARGET direzo_core AND TARGET vireobench_testing)
  add_executable(firmware_bench ${CMAKE_CURRENT_LIST_DIR}/firmware_bench.cpp)
  target_link_libraries(firmware_bench PRIVATE bench_results direzo_core vireobench_testing)
  add_custom_target(run-firmware-bench COMMAND ${ORU_BENCH_ENV} $<TARGET_FILE:firmware_bench> DEPENDS firmware_bench USES_TERMINAL)
  add_dependencies(run-benchmarks run-firmware-bench)
endif()
