# The README's commands. Each one installs what is missing, builds, and then does its job;
# a second call skips what is done.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps build test run bench sounds clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

test: build
	scripts/test-env ctest --test-dir $(BUILD) --output-on-failure $(CTEST_ARGS)

sounds: deps
	scripts/make-sounds lab

run: build sounds
	cd lab && exec ../$(BUILD)/app/cuesearch

# The timing table twice: on a quiet machine, then with one core kept busy.
bench: build sounds
	scripts/test-env bench/run-bench $(BUILD)
	scripts/test-env bench/run-bench $(BUILD) --hog

clean:
	rm -rf $(BUILD)
