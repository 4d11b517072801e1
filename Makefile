# The commands that do everything on a fresh machine. `make test` is what CI runs.
JOBS      ?= $(shell nproc)
CMAKE_GEN := -G Ninja
CTEST     := ctest --output-on-failure -j$(JOBS)

.PHONY: all deps build test test-asan test-tsan fuzz bench run package clean

all: build

deps:
	@scripts/install-deps

build/build.ninja: CMakeLists.txt | deps
	cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps build/build.ninja
	cmake --build build -j$(JOBS)

test: build
	cd build && $(CTEST)

test-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) -DORBO_SANITIZE=address
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 $(CTEST)

test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) -DORBO_SANITIZE=thread
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 $(CTEST)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DORBO_FUZZ=ON
	cmake --build build-fuzz -j$(JOBS)
	@echo "fuzz targets in build-fuzz/bin/fuzz_*; run e.g. build-fuzz/bin/fuzz_NAME fuzz/corpus/NAME -runs=1000000"

bench: build
	@for b in build/bin/*_bench; do echo "== $$b"; $$b; done

# The Debian package (build/orbo-zorvan-tool_<version>_<arch>.deb), made by CPack from what
# `cmake --install` installs (docs/packaging.md).
package: build
	cmake --build build --target package

# The main job: a simulated sensor (zorvan-sim) on a virtual port and the desktop program connected
# to it on the target page, until the window closes; without a display, zorvan-cli monitor showing
# its live reports until Ctrl-C (scripts/run-demo).
run: build
	@scripts/run-demo

clean:
	rm -rf build build-asan build-tsan build-fuzz
