# Entry points; the build itself is CMake's. `make run` and `make test` install what is missing.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
WINDOWS_DIR ?= build-windows
WINDOWS_DEPS_DIR ?= .cache/windows-deps
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 600
PREFIX ?= /usr/local

FUZZ_TARGETS = fuzz_decompress fuzz_roundtrip
# Past this many MiB in one allocation, a decompression input is reported. Payloads claim at most
# 2 MiB, for which the largest justified allocation is bzip3's suffix array, 4 bytes a byte: 8 MiB.
# Encoders take large tables by design (brotli's quality 9 a 32 MiB hash for any block past
# 64 KiB), so the round trip target is held to the RSS limit only.
FUZZ_MALLOC_MB ?= 12

.PHONY: all deps build run test test-sanitize fuzz windows test-windows clean

all: build

deps:
	scripts/install-deps.sh build test

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: deps build
	scripts/run-sample.sh $(BUILD_DIR)/bin

test: deps build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The unit and black-box suites again, under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLZPACK_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

.PHONY: install package

# DESTDIR stages the tree for a packager; the programs find their library relative to themselves.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# A Debian package in $(BUILD_DIR): apt-get install ./$(BUILD_DIR)/lzpack_*.deb
package: deps build
	scripts/install-deps.sh package
	cmake --build $(BUILD_DIR) --target package

# The comparison with other compressors (about an hour; see bench/README.md), and a few-minute
# subset of it. Neither is part of test.
.PHONY: bench bench-quick
bench: deps build
	bench/bench.sh full --bin $(BUILD_DIR)/bin

bench-quick: deps build
	bench/bench.sh quick --bin $(BUILD_DIR)/bin

# The 64-bit Windows programs and lzcodec.dll, cross-built into $(WINDOWS_DIR)/bin over coding
# libraries built from Debian's sources. Without a bzip3 source the DLL is built without bzip3.
windows:
	scripts/install-deps.sh windows
	JOBS=$(JOBS) scripts/build-windows-deps.sh $(WINDOWS_DEPS_DIR)
	cmake -S . -B $(WINDOWS_DIR) --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DLZPACK_BUILD_TESTS=OFF -DLZPACK_WINDOWS_DEPS_PREFIX=$(abspath $(WINDOWS_DEPS_DIR))/prefix \
	  -DLZPACK_WITH_BZIP3=$$(test -f $(WINDOWS_DEPS_DIR)/prefix/lib/pkgconfig/bzip3.pc && echo ON || echo OFF) \
	  $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_DIR) -j $(JOBS)

# The black-box tests against the Windows programs under wine, and files crossing the platforms.
test-windows: deps windows build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) -L windows

# Each fuzz target for FUZZ_SECONDS, from its generated seeds and its regression inputs; the
# corpus it grows and any crash it finds stay under $(FUZZ_DIR).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLZPACK_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_seeds $(FUZZ_TARGETS)
	$(FUZZ_DIR)/bin/fuzz_seeds $(FUZZ_DIR)/seeds
	for target in $(FUZZ_TARGETS); do \
	  regressions=tests/fuzz/regressions/$$target; [ -d $$regressions ] || regressions=; \
	  malloc_limit=0; [ $$target != fuzz_decompress ] || malloc_limit=$(FUZZ_MALLOC_MB); \
	  mkdir -p $(FUZZ_DIR)/corpus/$$target $(FUZZ_DIR)/crashes/$$target && \
	  $(FUZZ_DIR)/bin/$$target -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -malloc_limit_mb=$$malloc_limit \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/crashes/$$target/ \
	    $(FUZZ_DIR)/corpus/$$target $(FUZZ_DIR)/seeds/$$target $$regressions || exit 1; \
	done

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR) $(WINDOWS_DIR)
