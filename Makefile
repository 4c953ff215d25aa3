# The two entry points: `make demo` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: setup build demo test clean

setup:
	@bash scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

# Every test, then the suite again under AddressSanitizer+UBSan and the threaded tests
# under ThreadSanitizer.
test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@JOBS=$(JOBS) bash scripts/sanitize_test.sh all

clean:
	rm -rf $(BUILD) build-asan build-tsan
