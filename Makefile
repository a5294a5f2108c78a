# Convenience front end over CMake. `make test` and `make demo` do all set-up: they
# install the Debian packages the machine lacks (tools/install-deps), then build.
BUILD    ?= build
ASAN     ?= build-sanitize
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)

# The CMake build runs make itself; keep its output free of directory notices.
MAKEFLAGS += --no-print-directory

.PHONY: all build test check-sanitize demo bench clean

all: build

DEPS      = sh tools/install-deps
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

$(BUILD)/CMakeCache.txt:
	$(DEPS) build
	$(CONFIGURE)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Configured again, so that a build made before the test packages were there has them.
test:
	$(DEPS) build test
	$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN)/CMakeCache.txt:
	$(DEPS) build test
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=ON

check-sanitize: $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS)

# The demo needs the command and its tool files only, not the test suite.
demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target kxsyfchk kx_data
	sh sim/demo.sh $(BUILD)

bench: build
	$(DEPS) bench
	sh bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN)

# The snapshot collector (collect/), the fleet playbook and its helper (contrib/ansible/),
# tested against a tool directory installed from $(BUILD) (tests/fleet/run.sh): shells,
# Ansible and ansible-lint, headless Chromium for the fleet page (tools/install-deps
# fleet). The page's screenshot is kept as $(BUILD)/fleet-page.png.
.PHONY: fleet-test
fleet-test: build
	$(DEPS) fleet
	sh tests/fleet/run.sh $(BUILD)

# libFuzzer targets (tests/fuzz/README.md): clang, sanitizers, no EUC-JP literals.
FUZZ         ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: fuzz fuzz-smoke fuzz-build fuzz-clean

$(FUZZ)/CMakeCache.txt:
	$(DEPS) build fuzz
	cmake -S . -B $(FUZZ) -DCMAKE_CXX_COMPILER=clang++ -DKX_FUZZ=ON -DKX_BUILD_TESTS=OFF

fuzz-build: $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)

fuzz: fuzz-build
	sh tests/fuzz/run.sh $(FUZZ) $(FUZZ_SECONDS)

# Every kept input once, then a short run of each target.
fuzz-smoke: fuzz-build
	sh tests/fuzz/run.sh -r $(FUZZ) 10

clean: fuzz-clean
fuzz-clean:
	rm -rf $(FUZZ)
