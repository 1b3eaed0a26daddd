# A thin front for CMake. `make run` and `make test` install what is missing
# first, so they work on a fresh Debian machine.
MAKEFLAGS += --no-print-directory
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench bench-whole install deb clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/glimmet2

# run-tests builds first, quietly, as its first phase.
test: configure
	@scripts/run-tests $(BUILD)

bench: build
	@scripts/bench $(BUILD)

bench-whole: build
	@bench/whole-program $(BUILD)

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

deb: deps
	@scripts/make-deb

clean:
	rm -rf $(BUILD)
