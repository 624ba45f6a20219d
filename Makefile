# The two commands of the README, and a few more for developers.
PRESET ?= dev
BUILD := build/$(PRESET)

.PHONY: setup build run test asan valgrind fuzz bench format clean

setup:
	./scripts/setup-debian.sh

build: setup
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET)

# Starts the program; it needs a graphical display.
run: build
	./$(BUILD)/bin/corvane

# Every test: conversions, logic on the headless runtime, the window offscreen, and the real
# program on a virtual X server.
test: build
	ctest --preset $(PRESET) -j2

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
asan:
	$(MAKE) test PRESET=asan

# The logic tests under valgrind's memory checker; any error fails.
valgrind: build
	CORVANE_WITH_VALGRIND=1 ./scripts/setup-debian.sh
	./scripts/run-valgrind.sh $(BUILD)

# A bounded libFuzzer run over everything a user can type (FUZZ_SECONDS, default 60).
fuzz:
	./scripts/run-fuzz.sh $(or $(FUZZ_SECONDS),60)

bench: build
	./scripts/run-benchmarks.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
