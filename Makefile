# Quorvane: `make run` builds and starts the program on the default terrain;
# `make test` builds and runs every test; `make bench` runs the benchmarks; `make soak` flies
# both drawing methods for 100000 frames checking that nothing leaks.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: run test bench microbench deps build asan-test soak clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "make run: no display (DISPLAY is not set); start it on a desktop or under xvfb-run."; \
	  exit 1; \
	fi
	cd $(BUILD_DIR) && ./quorvane

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 600 -j $(JOBS)

# Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: deps
	cmake -S . -B $(BUILD_DIR)-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON -DQUORVANE_BENCH=OFF
	cmake --build $(BUILD_DIR)-asan -j $(JOBS) --target unit_tests
	cd $(BUILD_DIR)-asan && ctest --output-on-failure -L unit -j $(JOBS)

# The long soak: both drawing methods flown for SOAK_FRAMES frames in all (the CI test flies a
# few thousand).
SOAK_FRAMES ?= 100000
soak: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target gl_tests
	cd $(BUILD_DIR) && QUORVANE_SOAK_FRAMES=$(SOAK_FRAMES) ./tests/gl_tests --gtest_filter='SoakTest.*'

bench: build
	cd $(BUILD_DIR) && ./bench/micro_bench

# The Google Benchmark suite of single operations (error metric, builders, caches, methods).
microbench: build
	cd $(BUILD_DIR) && ./bench/micro_bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan
