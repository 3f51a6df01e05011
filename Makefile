# Patchlens: `make run` starts the viewer on the bundled samples, `make test` builds and runs
# every test. Both install the Debian packages they need first (apt-get; sudo when not root).

PRESET ?= default
BUILD_DIR := build/$(PRESET)
PATCHLENS := $(BUILD_DIR)/src/app/patchlens

DEBIAN_PACKAGES := cmake ninja-build g++ pkg-config \
	qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev \
	fonts-liberation poppler-utils desktop-file-utils shared-mime-info

.PHONY: all deps configure build test run bench bench-search screenshot clean

all: build

deps:
	tools/install-debian-packages.sh $(DEBIAN_PACKAGES)

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

# Every test, then every test again under AddressSanitizer and UndefinedBehaviorSanitizer
# (leaks count as failures).
test: build
	ctest --preset $(PRESET)
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# The viewer on the bundled samples, the first one loaded. Without a display it prints them as
# text and says why.
run: build
	$(PATCHLENS) samples

bench: build
	$(BUILD_DIR)/bench/decode_bench
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/ui_bench

# The folder-tree search against ripgrep and a floor (hyperfine), five modules, warm and cold, and
# its peak memory, on 20,000 generated patch files (and 100,000 for the memory).
bench-search: build
	PATCHLENS=$(PATCHLENS) bench/search_bench.sh

# The main window with a sample loaded, rendered offscreen to screenshots/main-window.png.
screenshot: build
	mkdir -p screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/tests/patchlens_screenshot screenshots/main-window.png \
		samples "samples/Clean Lead.rp350p"

# The libFuzzer targets of fuzz/ (clang, AddressSanitizer, UBSan), each run for FUZZ_SECONDS
# seconds, one after the other (`make fuzz FUZZ_SECONDS=600` for longer runs). Fails on any
# finding; corpora, logs and findings stay under build/fuzz/run.
FUZZ_SECONDS ?= 30
FUZZ_DEBIAN_PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev

.PHONY: fuzz
fuzz:
	tools/install-debian-packages.sh $(FUZZ_DEBIAN_PACKAGES)
	cmake --preset fuzz
	cmake --build --preset fuzz
	fuzz/run_fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# The core and its tests cross-built for 64-bit Windows with MinGW-w64 and run under wine (a wine
# prefix of its own in build/windows/wine). Not part of `make test`.
WINDOWS_DEBIAN_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest \
	wine wine64

.PHONY: test-windows
test-windows:
	tools/install-debian-packages.sh $(WINDOWS_DEBIAN_PACKAGES)
	cmake --preset windows
	cmake --build --preset windows
	ctest --preset windows

clean:
	rm -rf build
