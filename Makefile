# The README's commands. Each one installs what is missing, builds, and then does its job;
# a second call skips what is done.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CONFIGURE = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

.PHONY: all deps test-deps build test-build test run bench sounds package clean

all: build

# What running and building need; the tests and the benchmark need more (test-deps).
deps:
	@scripts/install-deps run

test-deps:
	@scripts/install-deps test

$(BUILD)/build.ninja: CMakeLists.txt | deps
	$(CONFIGURE)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

# Configured again: a build made for `make run` has no tests until their packages are there,
# and no benchmark (CUE_BENCH, off in a plain build): the tests and `make bench` turn it on.
test-build: test-deps
	$(CONFIGURE) -DCUE_BENCH=ON >/dev/null
	cmake --build $(BUILD)

test: test-build
	scripts/test-env ctest --test-dir $(BUILD) --output-on-failure $(CTEST_ARGS)

sounds: deps
	scripts/make-sounds lab

run: build sounds
	exec $(BUILD)/app/cuesearch --lab lab

# The timing table twice: on a quiet machine, then with one core kept busy.
bench: test-build sounds
	scripts/test-env bench/run-bench $(BUILD)
	scripts/test-env bench/run-bench $(BUILD) --hog

# cuesearch_<version>_<arch>.deb in the build folder; the benchmark is neither built nor packed.
package: deps
	$(CONFIGURE) -DCUE_BENCH=OFF >/dev/null
	cmake --build $(BUILD)
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
