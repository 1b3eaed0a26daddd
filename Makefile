# A thin front for CMake. Each goal first installs the Debian packages its
# own work needs and are missing, so `make run` and `make test` work on a
# fresh Debian machine, and running the program never installs the tests'.
MAKEFLAGS += --no-print-directory
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

WINDOWS_BUILD ?= build-windows
WEB_BUILD ?= build-web

.PHONY: all build run test check bench bench-whole bench-build install deb windows bench-windows \
        web web-run bench-web clean

all: build

# The program alone; the tests and benchmarks are built by `make test`.
build:
	@scripts/install-deps run
	@$(CONFIGURE) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target glimmet2

run: build
	@$(BUILD)/glimmet2

# run-tests builds everything first, quietly, as its first phase.
test:
	@scripts/install-deps test
	@$(CONFIGURE) -DGLIMMET2_TESTS=ON -DGLIMMET2_BENCHMARKS=ON > /dev/null
	@scripts/run-tests $(BUILD)

# The quick loop while working: unit tests and the Xvfb suites, with what
# is installed, from a build of its own without link-time optimisation or
# debug information, which take most of a build's time.
CHECK_BUILD ?= build-check
check:
	@scripts/check $(CHECK_BUILD)

bench: bench-build
	@scripts/bench $(BUILD)

bench-whole: bench-build
	@bench/whole-program $(BUILD)

bench-build:
	@scripts/install-deps bench
	@$(CONFIGURE) -DGLIMMET2_BENCHMARKS=ON > /dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target glimmet2 glimmet2-bench

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

deb:
	@scripts/install-deps deb
	@scripts/make-deb

# One statically linked 64-bit exe, cross-built, and the zip for Windows users.
windows:
	@scripts/install-deps windows
	@cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DGLIMMET2_TESTS=OFF > /dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target glimmet2 windows-zip
	@echo "$(WINDOWS_BUILD)/glimmet2-windows-x86_64.zip"

# The Windows window pass beside its floor, under Wine on a private Xvfb:
# at 96 dpi (a cell a pixel), then in the same prefix at 192 (2 x 2).
bench-windows: windows
	@scripts/install-deps windows wine wine64 xvfb
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target glimmet2-windows-bench
	@scripts/with-xvfb scripts/with-wine bash -c 'wine "$$1" && \
	  wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d 192 /f \
	    >/dev/null 2>&1 && wine "$$1"' bench $(WINDOWS_BUILD)/glimmet2-windows-bench.exe

# The site for any static host: build-web/site, served as it is.
web:
	@scripts/install-deps web
	@scripts/web-build $(WEB_BUILD) -DGLIMMET2_TESTS=OFF > /dev/null
	@echo "$(WEB_BUILD)/site"

web-run: web
	@scripts/serve-web $(WEB_BUILD)/site

# The page against its floor, and its cost paused, in headless Chromium; a
# folder of its own, as it needs the browser driver that the site does not.
bench-web:
	@scripts/install-deps web chromium
	@scripts/web-build $(WEB_BUILD)-bench -DGLIMMET2_TESTS=ON site glimmet2-floor > /dev/null
	@NODE_PATH=$(WEB_BUILD)-bench/npm/node_modules node bench/web.js $(WEB_BUILD)-bench

clean:
	rm -rf $(BUILD) $(CHECK_BUILD) $(WINDOWS_BUILD) $(WEB_BUILD)
