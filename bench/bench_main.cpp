// The one main() of tileron-bench; every bench/*.cpp only registers cases.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
