# Patchlens: `make run` starts the viewer on the bundled samples, `make test` builds and runs
# every test. Both install the Debian packages they need first (apt-get; sudo when not root).

PRESET ?= default
# Tests run side by side, one per processor (each desktop test has an X server of its own).
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_DIR := build/$(PRESET)
PATCHLENS := $(BUILD_DIR)/src/app/patchlens

DEBIAN_PACKAGES := cmake ninja-build g++ pkg-config \
	qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev \
	fonts-liberation poppler-utils desktop-file-utils shared-mime-info \
	python3 xvfb xauth openbox xdotool imagemagick x11-utils appstream man-db

.PHONY: all deps configure build test run bench bench-search bench-collection bench-sheet bench-startup screenshot clean

all: build

deps:
	tools/install-debian-packages.sh $(DEBIAN_PACKAGES)

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

# Every test, then every test again under AddressSanitizer and UndefinedBehaviorSanitizer
# (leaks count as failures), then the tests of decoding on several threads under ThreadSanitizer.
test: build
	ctest --preset $(PRESET) --parallel $(JOBS)
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan --parallel $(JOBS)
	cmake --preset tsan
	cmake --build --preset tsan --target core_tests
	ctest --preset tsan --tests-regex '^(DecodeThreads\.|CollectionScan\.(Entries|AStopped))'

# The viewer on the bundled samples, the first one loaded. Without a display it prints them as
# text and says why.
run: build
	$(PATCHLENS) samples

bench: build
	$(BUILD_DIR)/bench/decode_bench
	$(BUILD_DIR)/bench/filter_bench
	$(BUILD_DIR)/bench/collection_bench
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/ui_bench

# The folder-tree search against ripgrep and a floor (hyperfine), five modules, warm and cold, and
# its peak memory, on 20,000 generated patch files (and 100,000 for the memory).
bench-search: build
	PATCHLENS=$(PATCHLENS) bench/search_bench.sh

# The collection listing (--list --recursive --csv) against a floor (warm) and ripgrep (cold), and
# its peak memory, on the search benchmark's 20,000 generated patch files (and 100,000 for the memory).
bench-collection: build
	PATCHLENS=$(PATCHLENS) bench/collection_bench.sh

# A collection PDF of 100 and of 500 patches: time per page and peak memory (/usr/bin/time -v).
bench-sheet: build
	PATCHLENS=$(PATCHLENS) bench/sheet_pdf_bench.sh

# Start-up: process start to the window's map, `patchlens samples` against a Qt Widgets
# hello-world, 21 runs each taking turns, on an Xvfb of its own with openbox and without.
STARTUP_DEBIAN_PACKAGES := python3-xlib xvfb openbox
bench-startup: build
	tools/install-debian-packages.sh $(STARTUP_DEBIAN_PACKAGES)
	/usr/bin/python3 bench/startup_bench.py --build $(BUILD_DIR)

# The main window with a sample loaded, rendered offscreen to screenshots/main-window.png.
screenshot: build
	mkdir -p screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/tests/patchlens_screenshot screenshots/main-window.png \
		samples "samples/Clean Lead.rp350p"

# The Debian package, made by CPack from the build: build/package/patchlens_<version>-1_<arch>.deb.
# `make test-package` runs lintian on it (no error or warning allowed), installs it into this
# machine with apt-get (sudo when not root), checks the installed program, its manual pages and
# bash completion, the desktop entry and the file type, and removes it again; not part of
# `make test`.
PACKAGE_DIR := build/package
VERSION := $(shell grep -o 'Patchlens VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
DEB := $(PACKAGE_DIR)/patchlens_$(VERSION)-1_$(shell dpkg --print-architecture).deb
PACKAGE_DEBIAN_PACKAGES := dpkg-dev file
PACKAGE_TEST_DEBIAN_PACKAGES := xdg-utils libfile-mimeinfo-perl desktop-file-utils shared-mime-info poppler-utils \
	lintian man-db appstream

.PHONY: package test-package
package: build
	tools/install-debian-packages.sh $(PACKAGE_DEBIAN_PACKAGES)
	rm -f $(PACKAGE_DIR)/*.deb
	cpack --config $(BUILD_DIR)/CPackConfig.cmake -B $(abspath $(PACKAGE_DIR))
	@test -f $(DEB) || { echo "cpack did not write $(DEB)" >&2; exit 1; }
	@echo "Debian package: $(DEB)"

test-package: package
	tools/install-debian-packages.sh $(PACKAGE_TEST_DEBIAN_PACKAGES)
	tests/package_test.sh $(DEB)

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

# The program and every test cross-built for 64-bit Windows with MinGW-w64 and run under wine (a
# wine prefix of its own in build/windows/wine). Qt for Windows is built from Debian's source the
# first time (tools/build-qt-mingw.sh; the better part of an hour), then kept in ~/.cache/patchlens.
# Not part of `make test`.
WINDOWS_DEBIAN_PACKAGES := cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest \
	qt6-base-dev qt6-base-dev-tools fonts-liberation wine wine64

.PHONY: test-windows build-windows package-windows
test-windows: build-windows
	ctest --preset windows

build-windows:
	tools/install-debian-packages.sh $(WINDOWS_DEBIAN_PACKAGES)
	tools/build-qt-mingw.sh
	cmake --preset windows
	cmake --build --preset windows

# The Windows zip, build/windows-package/Patchlens-VERSION-windows-x64.zip (patchlens.exe and
# patchlens.com, the Qt and runtime DLLs, the manual, the READMEs, the licences), then checked the
# way a user gets it: unzipped into a fresh wine prefix, its dumps against the Linux build's, its
# window on Xvfb with openbox with a library beside it (tools/check-windows-package.sh). Then the
# installer of the same files, Patchlens-VERSION-setup.exe (NSIS), installed over an older one,
# opened through its file type, uninstalled, in a fresh prefix (tools/check-windows-installer.sh).
package-windows: build build-windows
	tools/install-debian-packages.sh zip unzip binutils-mingw-w64-x86-64 nsis
	tools/package-windows.sh build/windows build/windows-package
	tools/check-windows-package.sh "" $(PATCHLENS)
	tools/check-windows-installer.sh

clean:
	rm -rf build
