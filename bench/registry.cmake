# The registry stand-in and the bench file at scale: a 400,000-key hive, registering the component
# into a 4,000-key hive, and bench files of thousands of adapters.
if(TARGET oruDirEzo AND TARGET vireobench)
  add_executable(registry_bench ${CMAKE_CURRENT_LIST_DIR}/registry_bench.cpp)
  target_link_libraries(registry_bench PRIVATE bench_results registry oleaut vireobench ${CMAKE_DL_LIBS})
  target_compile_definitions(registry_bench PRIVATE ORU_COMPONENT_PATH="$<TARGET_FILE:oruDirEzo>")
  add_dependencies(registry_bench oruDirEzo)
  add_custom_target(run-registry-bench COMMAND ${ORU_BENCH_ENV} $<TARGET_FILE:registry_bench> DEPENDS registry_bench USES_TERMINAL)
  add_dependencies(run-benchmarks run-registry-bench)
endif()
