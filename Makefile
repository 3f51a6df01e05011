# Patchlens: `make run` starts the viewer on the bundled samples, `make test` builds and runs
# every test. Both install the Debian packages they need first (apt-get; sudo when not root).

PRESET ?= default
BUILD_DIR := build/$(PRESET)
PATCHLENS := $(BUILD_DIR)/src/app/patchlens

DEBIAN_PACKAGES := cmake ninja-build g++ pkg-config \
	qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev \
	fonts-liberation poppler-utils

.PHONY: all deps configure build test run bench bench-search screenshot clean

all: build

deps:
	@missing=""; \
	for package in $(DEBIAN_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$package 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$package"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing Debian packages:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo apt-get update && DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET)

# The viewer on the bundled samples, the first one loaded. Without a display it prints them as
# text and says why.
run: build
	$(PATCHLENS) samples

bench: build
	$(BUILD_DIR)/bench/decode_bench
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/ui_bench

# The folder-tree search against ripgrep (hyperfine) on 20,000 generated patch files.
bench-search: build
	PATCHLENS=$(PATCHLENS) bench/search_bench.sh

# The main window with a sample loaded, rendered offscreen to screenshots/main-window.png.
screenshot: build
	mkdir -p screenshots
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/tests/patchlens_screenshot screenshots/main-window.png \
		samples "samples/Clean Lead.rp350p"

clean:
	rm -rf build
