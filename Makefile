# Two commands for a fresh Debian machine: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
SANITIZE ?= OFF
JOBS ?= $(shell nproc)

.PHONY: all deps test-deps configure build run test bench clean initdb package demo screenshots

all: build

deps:
	@bash scripts/install-deps.sh

# The tests need more than the program: LibreOffice Writer (without its GUI)
# reads the documents they write.
test-deps:
	@bash scripts/install-deps.sh --test

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTALVORA_SANITIZE=$(SANITIZE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Creates the databases with a starter department on first run, then starts the program.
initdb: build
	@$(BUILD_DIR)/tools/talvora-db/talvora-db init --if-missing

# Adds about 60 fictional patients (two departments, a few weeks' work) to the
# databases, creating them first when there are none.
demo: build
	@$(BUILD_DIR)/tools/talvora-db/talvora-db demo

run: initdb
	@if [ -x $(BUILD_DIR)/src/app/talvora ]; then $(BUILD_DIR)/src/app/talvora; \
	 else echo "The workstation program is not built yet; the databases are ready (talvora-db)."; fi

test: test-deps build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The Debian package talvora_<version>_amd64.deb, in $(BUILD_DIR).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB
	@ls $(BUILD_DIR)/talvora_*_amd64.deb

# The README's pictures, from a scratch demo department under Xvfb.
screenshots:
	@BUILD_DIR=$(BUILD_DIR) bash scripts/screenshots.sh

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVORA_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@echo "Benchmarks are in build-bench/bench/"

clean:
	rm -rf $(BUILD_DIR) build-bench
