# The two commands a fresh machine needs are `make demo` and `make test`;
# both install what is missing first.
JOBS ?= $(shell nproc)
BUILD := cmake --build --preset
export WINEDEBUG ?= -all

.PHONY: all setup art linux windows build test test-asan fuzz demo bench lint clean scenario

all: build

setup:
	@bash scripts/setup.sh

art: setup
	@cmake --preset art >/dev/null
	@$(BUILD) art -j $(JOBS)

linux: art
	@cmake --preset linux32 >/dev/null
	@$(BUILD) linux32 -j $(JOBS)

windows: art
	@cmake --preset windows32 >/dev/null
	@$(BUILD) windows32 -j $(JOBS)

build: linux windows

test: build
	@ctest --preset linux32 -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

# The Linux suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (modules, panelhost and tests alike; the Wine tests are left out).
test-asan: build
	@cmake --preset linux32-asan >/dev/null
	@$(BUILD) linux32-asan -j $(JOBS)
	@ctest --preset linux32-asan -j $(JOBS)

# Coverage-guided fuzzing of the scenario and flight-log parsers (clang's libFuzzer).
fuzz: setup
	@bash scripts/fuzz.sh

demo: build
	@bash scripts/demo.sh

# Benchmarks: a release build of its own (build/bench), then the Google
# Benchmark table; JSON and a Markdown summary go to out/bench/.
bench: art
	@cmake --preset bench >/dev/null
	@$(BUILD) bench -j $(JOBS) --target panel_bench
	@mkdir -p out/bench
	@build/bench/bench/panel_bench --benchmark_out=out/bench/bench.json \
	  --benchmark_out_format=json --summary=out/bench/summary.md

lint: setup
	@bash scripts/lint.sh

clean:
	rm -rf build dist out

# Rewrites scenarios/default_flight.scn from its generator.
scenario: linux
	@$(BUILD) linux32 --target default_flight
