# The two entry points: `make demo` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: setup build demo test sanitize bench package package-test clean

setup:
	@bash scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

# The layer check and every CTest suite on the plain build.
test: build
	@bash scripts/check_layers.sh
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The benchmarks (bench/README.md says how to run each and what it measured).
bench: build
	@cmake --build $(BUILD) -j $(JOBS) --target bench

# Every suite again under AddressSanitizer+UBSan, the threaded ones under ThreadSanitizer.
sanitize: setup
	@JOBS=$(JOBS) bash scripts/sanitize_test.sh all

# The Debian package quivra-downloader_<version>_amd64.deb, in $(BUILD).
package: build
	@cd $(BUILD) && cpack -G DEB

# Builds, checks, installs and removes the package (root only; scripts/package_test.sh).
package-test: setup
	@bash scripts/package_test.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-tsan
