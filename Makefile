# Two commands do all set-up on a fresh Debian machine: `make demo` and `make test`.
JOBS ?= $(shell nproc)
TEST_DIR := build/test
REL_DIR := build/release

.PHONY: all bootstrap test demo bench release format clean

all: release

bootstrap:
	@bash scripts/bootstrap

# Debug build with the sanitizers; any sanitizer report fails its test.
test: bootstrap
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DKZV_SANITIZE=ON -DKZV_TESTS=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

release: bootstrap
	cmake -S . -B $(REL_DIR) -DCMAKE_BUILD_TYPE=Release -DKZV_TESTS=OFF -DKZV_BENCH=ON
	cmake --build $(REL_DIR) -j $(JOBS)

demo: release
	@bash scripts/demo $(REL_DIR)/bin

# The console table and, beside it, Google Benchmark's JSON for scripts/bench-compare. Each
# benchmark runs BENCH_REPS times; the console shows mean, median and spread, the file keeps
# every repetition and the aggregates.
BENCH_REPS ?= 5
BENCH_OUT ?= $(REL_DIR)/bench.json
bench: release
	$(REL_DIR)/bin/kzv_bench --benchmark_repetitions=$(BENCH_REPS) --benchmark_display_aggregates_only=true \
	  --benchmark_out=$(BENCH_OUT) --benchmark_out_format=json $(BENCH_ARGS)
	@echo "bench: results in $(BENCH_OUT) (compare two with scripts/bench-compare OLD.json NEW.json)"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
