# The RF path of the simulated adapters and the simulated instrument gateway with its instruments.
target_sources(vireobench PRIVATE
  src/rf/rf_emission.cpp src/rf/rf_output.cpp src/rf/spectrum.cpp
  src/gateway/device_file.cpp src/gateway/message_parser.cpp src/gateway/instrument.cpp src/gateway/behaviours.cpp
  src/gateway/prologix.cpp src/gateway/gateway_server.cpp src/gateway/gateway_registry.cpp
  src/gateway/gateway_command.cpp)
target_include_directories(vireobench PRIVATE ${CMAKE_SOURCE_DIR}/platform/instruments/include)

oru_add_gtest(vireobench_instrument_tests
  SOURCES tests/rf_model_test.cpp tests/instrument_language_test.cpp tests/gateway_protocol_test.cpp
  LIBS vireobench vireobench_testing nlohmann_json::nlohmann_json)
target_include_directories(vireobench_instrument_tests PRIVATE src)

install(DIRECTORY instruments/ DESTINATION ${ORU_INSTALL_DATADIR}/instruments COMPONENT bench FILES_MATCHING PATTERN "*.json")
