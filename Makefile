# Entry points: `make run` starts the console on the simulated bench, `make test` runs the suite,
# `make fuzz` runs the fuzz targets, `make packages` makes the Debian packages.
PYTHON      := /usr/bin/python3
BUILD       ?= build
TEST_BUILD  ?= build-test
BENCH_BUILD ?= build-bench
FUZZ_BUILD  ?= build-fuzz
RELEASE_BUILD ?= build-release
CMAKE_FLAGS := -G Ninja -DPython3_EXECUTABLE=$(PYTHON)
# Parallel jobs: `make -jN TARGET` (or JOBS=N) builds with N jobs and runs N tests at once; without
# it the build uses every core and the suite runs two tests at once.
JOBS ?= $(patsubst -j%,%,$(filter -j%,$(MAKEFLAGS)))
BUILD_ENV = $(if $(JOBS),CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS))
TEST_JOBS = $(or $(JOBS),2)

.PHONY: all deps build run test bench fuzz packages clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@$(BUILD_ENV) cmake --build $(BUILD)

# What `make run` starts: the console, the component and the bench tools it needs (no tests).
RUN_TARGETS := kestview oruDirEzo oru-regsvr vireo-bench

run: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@$(BUILD_ENV) cmake --build $(BUILD) --target $(RUN_TARGETS)
	@scripts/run-main $(BUILD)

test: deps
	@cmake -S . -B $(TEST_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DORU_SANITIZE=ON >/dev/null
	@$(BUILD_ENV) cmake --build $(TEST_BUILD)
	@cd $(TEST_BUILD) && ctest --output-on-failure -j$(TEST_JOBS)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(BUILD_ENV) cmake --build $(BENCH_BUILD)
	@$(BUILD_ENV) cmake --build $(BENCH_BUILD) --target run-benchmarks

# Every fuzz target for FUZZ_SECONDS (default 300) or FUZZ_RUNS executions each; see scripts/run-fuzz.
fuzz: deps
	@$(BUILD_ENV) scripts/run-fuzz $(FUZZ_BUILD)

# A release build and its Debian packages in $(RELEASE_BUILD)/packages.
packages: deps
	@cmake -S . -B $(RELEASE_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(BUILD_ENV) cmake --build $(RELEASE_BUILD)
	@cd $(RELEASE_BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(RELEASE_BUILD)
