# The two set-up commands: `make demo` and `make test`.
.PHONY: all build demo test asan asan-build bench clean deps

BUILD := build

all: build

deps:
	./scripts/install-deps

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

demo: build
	./scripts/demo

# Every test, then the sanitizer run.
test: build asan-build
	ctest --preset default
	ctest --preset asan

# Built with AddressSanitizer and UBSan: only the tests the preset `asan`
# selects, and what they link, so CI stays within its time.
asan: asan-build
	ctest --preset asan

asan-build: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan --target $$(ctest --preset asan -N | sed -n 's/^ *Test *#[0-9]*: *//p')

bench: build
	./bench/run

clean:
	rm -rf $(BUILD) build-asan instalacion-demo
