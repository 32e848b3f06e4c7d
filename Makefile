# Set-up commands of the README: `make run` and `make test`; `make package` for the .deb.
BUILD ?= build
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# The build tree has the layout of the package (/usr); `make install` gives its own prefix.
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
PREFIX ?= /usr/local

.PHONY: all deps deps-test configure build run test test-asan bench fuzz fuzz-build fuzz-ci format install package clean

all: build

deps:
	@bash scripts/install-deps.sh

deps-test:
	@bash scripts/install-deps.sh --test

configure:
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: deps build
	@if [ -x $(BUILD)/gui/Velmora ]; then $(BUILD)/gui/Velmora; else $(BUILD)/batch/VelmoraBatch; fi

test: deps deps-test build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in its own
# folder so that the normal build is left alone. Any report fails the test that caused it.
ASAN_BUILD ?= build-asan
ASAN_CXXFLAGS ?= -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all
test-asan: deps deps-test
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE= -DVELMORA_DEBIAN_FLAGS=OFF -DCMAKE_CXX_FLAGS="$(ASAN_CXXFLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS) --timeout 900

bench: deps build
	@bash bench/run.sh $(BUILD)

# Runs each libFuzzer target (every tests/fuzz/fuzz_*.cpp) for FUZZ_SECONDS on its saved corpus
# (clang build in build-fuzz): long random runs, to be made before any change to a parser is
# finished. A crash input is left in the current folder: add it to tests/fuzz/corpus/<target>/.
FUZZ_SECONDS ?= 600
FUZZ_TARGETS := $(patsubst tests/fuzz/fuzz_%.cpp,%,$(wildcard tests/fuzz/fuzz_*.cpp))
fuzz-build: deps deps-test
	@cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))

fuzz: fuzz-build
	@for f in $(FUZZ_TARGETS); do \
	    mkdir -p build-fuzz/corpus-$$f && \
	    build-fuzz/tests/fuzz/fuzz_$$f build-fuzz/corpus-$$f tests/fuzz/corpus/$$f \
	        -max_total_time=$(FUZZ_SECONDS) -max_len=4096 || exit 1; \
	done

# The fuzz pass of CI: each target over its saved corpus with a fixed seed and a fixed number
# of runs, from a fresh working corpus, so that the same tree always gives the same result.
FUZZ_CI_RUNS ?= 300000
fuzz-ci: fuzz-build
	@for f in $(FUZZ_TARGETS); do \
	    rm -rf build-fuzz/ci-corpus-$$f && mkdir -p build-fuzz/ci-corpus-$$f && \
	    build-fuzz/tests/fuzz/fuzz_$$f build-fuzz/ci-corpus-$$f tests/fuzz/corpus/$$f \
	        -seed=1 -runs=$(FUZZ_CI_RUNS) -max_len=4096 -print_final_stats=1 || exit 1; \
	done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# velmora_<version>_<arch>.deb in the current folder (CPack's DEB generator, see packaging/),
# with velmora-dbgsym_<version>_<arch>.deb, the debug data of its programs. Every date in the
# package is the date of the last commit (of the newest source file outside a git checkout), so
# that two builds of one commit give the same bytes (scripts/check-reproducible.sh).
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null || \
	find . -path ./$(BUILD) -prune -o -type f -printf '%T@\n' | sort -n | tail -1 | cut -d. -f1)
package: deps build
	@rm -rf $(BUILD)/paquet
	@cd $(BUILD) && SOURCE_DATE_EPOCH=$(SOURCE_DATE_EPOCH) cpack -G DEB -B $(abspath $(BUILD))/paquet >/dev/null
	@cp $(BUILD)/paquet/velmora_*.deb . && ls velmora_*.deb
	@for f in $(BUILD)/paquet/velmora-dbgsym_*.ddeb; do \
	    if [ -f "$$f" ]; then b=$${f##*/}; cp "$$f" "$${b%.ddeb}.deb" && echo "$${b%.ddeb}.deb"; fi; \
	done

clean:
	@rm -rf $(BUILD)
