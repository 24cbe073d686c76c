# Quorvane: `make run` builds and starts the program on the default terrain;
# `make test` builds and runs every test; `make bench` compares the drawing methods headless at
# equal picture quality;
# `make microbench` runs the micro benchmarks; `make soak` flies both drawing methods for 100000
# frames checking that nothing leaks.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=

FUZZ_DIR ?= $(BUILD_DIR)-fuzz
FUZZ_SECONDS ?= 600
FUZZ_REGRESS_SECONDS ?= 30

.PHONY: run test bench bench-only microbench deps build release-build asan-test fuzz-build fuzz fuzz-regress soak clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The programs as a user's plain Release build compiles them (-O3, where the compiler warns
# differently), without the tests.
release-build: deps
	cmake -S . -B $(BUILD_DIR)-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQUORVANE_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)-release -j $(JOBS) --target quorvane quorvane-bench quorvane-import

# Without a display the program cannot open its window: the headless comparison runs instead.
run: build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "make run: no display (DISPLAY is not set); running the headless benchmark instead."; \
	  $(MAKE) --no-print-directory bench-only; \
	else \
	  cd $(BUILD_DIR) && ./quorvane; \
	fi

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 600 -j $(JOBS)

# Unit and GL tests, and one end-to-end tour of the real program, under AddressSanitizer (leak
# detection on) and UndefinedBehaviorSanitizer. Leaks inside the system's GL and X libraries are
# suppressed by tests/sanitizers/lsan.supp; the program's own code is never suppressed. The soak
# flies a shorter flight here: the sanitizers make every frame several times slower.
# intercept_tls_get_addr=0: this libsanitizer misreads the dynamic TLS of a process that has run
# threads after loading the GL driver, and its leak scan then crashes; our code keeps nothing in
# dynamic TLS, so the scan loses nothing of ours.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

asan-test: deps
	cmake -S . -B $(BUILD_DIR)-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON -DQUORVANE_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	cd $(BUILD_DIR)-asan && $(SANITIZER_ENV) QUORVANE_SOAK_FRAMES=2000 ctest --output-on-failure --timeout 900 -L 'unit|gl' -j $(JOBS)
	cd $(BUILD_DIR)-asan && $(SANITIZER_ENV) ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0:verify_asan_link_order=0 \
	  LD_PRELOAD=$(CURDIR)/$(BUILD_DIR)-asan/tests/libkeep_modules.so \
	  ctest --output-on-failure --timeout 900 -R FullTourEndToEnd

# libFuzzer targets for the height-field and texture readers (clang, ASan, UBSan): only they and
# the library are built, and the seed corpus generated.
fuzz-build:
	@scripts/install-deps fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DQUORVANE_FUZZ=ON -DQUORVANE_BENCH=OFF -DBUILD_TESTING=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets

# Each target for FUZZ_SECONDS, its corpus kept in $(FUZZ_DIR)/fuzz_corpus.
fuzz: fuzz-build
	tests/fuzz/run_fuzz.sh fuzz $(FUZZ_DIR) $(FUZZ_SECONDS)

# The seeds and kept crash inputs replayed, then each target fuzzed for FUZZ_REGRESS_SECONDS.
fuzz-regress: fuzz-build
	tests/fuzz/run_fuzz.sh regress $(FUZZ_DIR) $(FUZZ_REGRESS_SECONDS)

# The long soak: both drawing methods flown for SOAK_FRAMES frames in all (the CI test flies a
# few thousand).
SOAK_FRAMES ?= 100000
soak: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target soak_tests
	cd $(BUILD_DIR) && QUORVANE_SOAK_FRAMES=$(SOAK_FRAMES) ./tests/soak_tests

# A sweep of screen-space errors on the default terrain, offscreen: ROAM and CABTT (L3 uniform,
# L4 and L5 adaptive) each at 8, 4, 2, 1 and 0.5 px over 150 frames of the pass flight at
# 640 x 480, quality every 10 frames; about two minutes on a 2-core machine (README, Benchmark).
# The table and the comparison at equal quality on the terminal; in build/: every frame in
# bench.csv, one row per method and setting in bench-summary.csv, frame times and triangles in
# bench.svg, quality against time in bench-quality.svg.
BENCH_SWEEP = --terrain def_hf.png --flight pass --frames 150 --quality-every 10 \
  --methods roam,cabtt:3:uniform,cabtt:4:adaptive,cabtt:5:adaptive --pixel-error 8,4,2,1,0.5

bench: build
	@$(MAKE) --no-print-directory bench-only

bench-only:
	cd $(BUILD_DIR) && ./quorvane-bench $(BENCH_SWEEP) --log-time --csv bench.csv \
	  --summary-csv bench-summary.csv --svg bench.svg --quality-svg bench-quality.svg

# The Google Benchmark suite of single operations (error metric, builders, caches, methods).
microbench: build
	cd $(BUILD_DIR) && ./bench/micro_bench

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan $(BUILD_DIR)-release $(FUZZ_DIR)
