# One obvious command per job; see README.md.
BUILD       ?= out/build
CHECK_BUILD ?= out/check
FUZZ_BUILD  ?= out/fuzz
BENCH_BUILD ?= out/bench
FUZZ_SECONDS ?= 60
JOBS        ?= 2

CMAKE_FLAGS = -G Ninja -Wno-dev

.PHONY: all deps build demo test check bench fuzz format clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	ninja -C $(BUILD) -j$(JOBS)

demo: build
	@scripts/demo $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

$(CHECK_BUILD)/build.ninja: | deps
	cmake -S . -B $(CHECK_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DPALINDOR_SANITIZE=ON

check: deps $(CHECK_BUILD)/build.ninja
	ninja -C $(CHECK_BUILD) -j$(JOBS)
	cd $(CHECK_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j$(JOBS)

$(BENCH_BUILD)/build.ninja: | deps
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release \
	    -DPALINDOR_TESTS=OFF -DPALINDOR_BENCH=ON

bench: deps $(BENCH_BUILD)/build.ninja
	ninja -C $(BENCH_BUILD) -j$(JOBS)
	@scripts/run-benchmarks $(BENCH_BUILD)

$(FUZZ_BUILD)/build.ninja: | deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) $(CMAKE_FLAGS) \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALINDOR_TESTS=OFF -DPALINDOR_FUZZ=ON

fuzz: deps $(FUZZ_BUILD)/build.ninja
	ninja -C $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 -r clang-format -i

clean:
	rm -rf out
