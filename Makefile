# The two doors: `make demo` (the main job) and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build demo test bench fuzz asan farm-deps farm-test clean

all: build

deps:
	@./scripts/deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DTILERON_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS) --target tileron-bench
	./$(BUILD)-bench/tileron-bench

# Reader harnesses under libFuzzer (clang), FUZZ_SECONDS each; see docs/testing.md.
FUZZ_SECONDS ?= 60
fuzz: deps
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang (apt-get install clang)"; exit 1; }
	cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTILERON_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target tileron-fuzzers
	./scripts/fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

# The whole test suite under AddressSanitizer and UBSan, building only what
# the suite runs; see docs/testing.md for the options. Built with clang: g++
# takes four times as long over the same instrumented sources.
ASAN_ENV = UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
asan: deps
	@command -v clang++ >/dev/null || { echo "make asan needs clang (apt-get install clang)"; exit 1; }
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTILERON_SANITIZE=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(BUILD)-asan -j $(JOBS) --target tileron-suite
	cd $(BUILD)-asan && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS)

# Renders on a one-node Slurm cluster started on this machine; see docs/farm.md.
farm-deps:
	@./scripts/farm/deps.sh

farm-test: build
	./scripts/farm/test.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-fuzz $(BUILD)-asan out
