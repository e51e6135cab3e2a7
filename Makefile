# The two commands of the README, plus the benchmarks and the fuzzers.
# Every target starts by installing whatever Debian packages are missing.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
# Decided when a build folder is first set up, not when this file is read:
# deps may have installed Ninja moments before, on a fresh machine's first run.
GENERATOR   = $$(command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
JOBS       ?= $(shell nproc)

.PHONY: deps build play test tsan package unit-asan bench fuzz format clean

deps:
	@./scripts/install-deps.sh

build: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Without a display there is nothing to play on: say so before building.
play:
	@./scripts/play.sh --check-display
	@$(MAKE) --no-print-directory build
	@./scripts/play.sh $(BUILD)/game

# The normal build runs every test (unit, data, integration and end-to-end);
# the sanitizer build runs the unit tests again under ASan and UBSan, and the
# game built with ThreadSanitizer plays one whole session (make tsan).
test: build
	@[ -f $(ASAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DMIRVO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest -L unit --output-on-failure -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory tsan

# The game built with ThreadSanitizer, played through one whole session with
# the music on (scripts/tsan.sh); any race report fails it.
tsan: build
	@[ -f $(TSAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRVO_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target mirvo
	./scripts/tsan.sh $(BUILD) $(TSAN_BUILD)

# The Debian package, in $(BUILD)/package/ (make test builds and checks one too).
package: build
	cmake --build $(BUILD) --target package

bench: build
	$(BUILD)/bench/mirvo_bench

fuzz: deps
	@[ -f $(FUZZ_BUILD)/CMakeCache.txt ] || CXX=clang++ CC=clang cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRVO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	./scripts/fuzz.sh $(FUZZ_BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
