# Convenience front end over CMake. `make test` and `make demo` do all set-up.
BUILD    ?= build
ASAN     ?= build-sanitize
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)

# The CMake build runs make itself; keep its output free of directory notices.
MAKEFLAGS += --no-print-directory

.PHONY: all build test check-sanitize demo bench clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN)/CMakeCache.txt:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=ON

check-sanitize: $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS)

demo: build
	sh sim/demo.sh $(BUILD)

bench: build
	sh bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN)
