# Quorvane: `make run` builds and starts the program on the default terrain;
# `make test` builds and runs every test; `make bench` runs the benchmarks.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=

FUZZ_DIR ?= $(BUILD_DIR)-fuzz
FUZZ_SECONDS ?= 600
FUZZ_REGRESS_SECONDS ?= 30

.PHONY: run test bench microbench deps build asan-test fuzz-build fuzz fuzz-regress clean

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

# libFuzzer targets for the height-field and texture readers (clang, ASan, UBSan): only they and
# the library are built, and the seed corpus generated.
fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DQUORVANE_FUZZ=ON -DQUORVANE_BENCH=OFF -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets

# Each target for FUZZ_SECONDS, its corpus kept in $(FUZZ_DIR)/fuzz_corpus.
fuzz: fuzz-build
	tests/fuzz/run_fuzz.sh fuzz $(FUZZ_DIR) $(FUZZ_SECONDS)

# The seeds and kept crash inputs replayed, then each target fuzzed for FUZZ_REGRESS_SECONDS.
fuzz-regress: fuzz-build
	tests/fuzz/run_fuzz.sh regress $(FUZZ_DIR) $(FUZZ_REGRESS_SECONDS)

bench: build
	cd $(BUILD_DIR) && ./bench/micro_bench

# The Google Benchmark suite of single operations (error metric, builders, caches, methods).
microbench: build
	cd $(BUILD_DIR) && ./bench/micro_bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan $(FUZZ_DIR)
