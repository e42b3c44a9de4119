# Two commands for a fresh machine: `make run` and `make test`. Both install what is missing.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
ARGS ?=
CMAKE_COMMON := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: deps run build-release build-test build-tsan test test-tsan windows-syntax-check bench fuzz clean

deps:
	@scripts/install-deps

build/release/build.ninja:
	cmake -S . -B build/release $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DVORNA_BUILD_TESTS=OFF

build-release: deps build/release/build.ninja
	cmake --build build/release -j $(JOBS)

# A simulated session, the agent on it and the settings window (see scripts/run-session).
run: build-release
	scripts/run-session $(ARGS)

build/test/build.ninja:
	cmake -S . -B build/test $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug "-DVORNA_SANITIZE=address;undefined"

build-test: deps build/test/build.ninja
	cmake --build build/test -j $(JOBS)

windows-syntax-check: build-test
	cmake --build build/test --target windows-syntax-check

test: build-test windows-syntax-check
	cd build/test && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 300
	$(MAKE) --no-print-directory test-tsan

build/tsan/build.ninja:
	cmake -S . -B build/tsan $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DVORNA_SANITIZE=thread

# Threaded code runs again under ThreadSanitizer: the tests labelled "threaded".
test-tsan: deps
	@if grep -rqs 'LABELS threaded' tests; then \
		$(MAKE) --no-print-directory build/tsan/build.ninja && \
		cmake --build build/tsan -j $(JOBS) && \
		cd build/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
			ctest --output-on-failure -j $(JOBS) -L threaded --timeout 300; \
	else echo "test-tsan: no threaded tests yet"; fi

build/bench/build.ninja:
	cmake -S . -B build/bench $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DVORNA_BUILD_TESTS=OFF -DVORNA_BUILD_BENCH=ON

bench: deps build/bench/build.ninja
	cmake --build build/bench -j $(JOBS)
	@for b in build/bench/bench/*_bench; do echo "== $$b"; $$b --benchmark_counters_tabular=true || exit 1; done

# libFuzzer runs of every fuzz target, FUZZ_SECONDS each (clang, from install-deps). A run's
# corpus grows in build/fuzz/corpus/<target>, seeded from fuzz/corpus/<target>; inputs that
# crash land in build/fuzz/findings/<target>. `make test` replays fuzz/corpus once. An input
# may take 10 s, except in agent_dispatch: its agent's own watchdog ends an agent silent for 5 s,
# and libFuzzer must name such an input before that.
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?= request_line library action_request agent_line sim_wire package_reading agent_dispatch

build/fuzz/build.ninja:
	cmake -S . -B build/fuzz $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link "-DVORNA_SANITIZE=address;undefined" \
		-DVORNA_BUILD_TESTS=OFF -DVORNA_BUILD_FUZZ=ON

fuzz:
	@scripts/install-deps fuzz
	$(MAKE) --no-print-directory build/fuzz/build.ninja
	cmake --build build/fuzz -j $(JOBS) --target $(addsuffix _fuzz,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p build/fuzz/corpus/$$t build/fuzz/findings/$$t && \
		timeout=10 && { [ $$t != agent_dispatch ] || timeout=4; } && \
		echo "== $$t: $(FUZZ_SECONDS) s" && \
		( cd build/fuzz/findings/$$t && QT_QPA_PLATFORM=offscreen \
			ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
			LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
			$(CURDIR)/build/fuzz/fuzz/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=$$timeout -rss_limit_mb=2048 \
			$(CURDIR)/build/fuzz/corpus/$$t $(CURDIR)/fuzz/corpus/$$t ) || exit 1; \
	done

clean:
	rm -rf build
