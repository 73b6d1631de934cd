# The two set-up commands: `make demo` and `make test`.
.PHONY: all build demo test bench clean deps

BUILD := build

all: build

deps:
	./scripts/install-deps

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default

demo: build
	./scripts/demo

test: build
	ctest --preset default

bench: build
	./bench/run

clean:
	rm -rf $(BUILD) instalacion-demo
