# Set-up commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps deps-test configure build run test bench format install clean

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

bench: deps build
	@bash bench/run.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: build
	@cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

clean:
	@rm -rf $(BUILD)
