# The two doors: `make demo` (the main job) and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build demo test bench clean

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

clean:
	rm -rf $(BUILD) $(BUILD)-bench out
