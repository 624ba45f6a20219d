# Shorthands for ./build.sh, which does the work (and needs no make on a fresh machine).
.PHONY: run test asan valgrind fuzz bench deb format clean

run test asan valgrind bench deb:
	./build.sh $@

fuzz:
	./build.sh fuzz $(or $(FUZZ_SECONDS),60)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
