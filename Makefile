# Everyday commands. `make deps` installs what the build and the tests need (quick when all is there).
SHELL := /bin/bash
.DEFAULT_GOAL := build

APT_PACKAGES := cmake ninja-build make g++ python3 \
	g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 libz-mingw-w64-dev \
	g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
	zlib1g-dev googletest wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick \
	unzip zip libarchive-tools clang-format

.PHONY: deps build build-native build-win32 test test-native test-win32 test-e2e demo bench format clean

deps:
	@./tools/deps.sh $(APT_PACKAGES)

build: deps build-native build-win32

build-native:
	@cmake --preset native >/dev/null
	@cmake --build --preset native

build-win32:
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32

# The Windows tiers go through tools/wine-build.sh, which falls back to a 64-bit build where the
# kernel runs no 32-bit code; the import check always reads the 32-bit programs that ship.
WINE_BUILD := ./tools/wine-build.sh

test: build
	@ctest --preset native
	@ctest --preset win32 -R check_imports
	@$(WINE_BUILD) bash -c 'ctest --preset $$MVN_WINE_PRESET -E check_imports && python3 tests/e2e/run.py'

test-native: deps build-native
	@ctest --preset native

test-win32: deps build-win32
	@ctest --preset win32 -R check_imports
	@$(WINE_BUILD) bash -c 'ctest --preset $$MVN_WINE_PRESET -E check_imports'

test-e2e: deps build-win32
	@$(WINE_BUILD) python3 tests/e2e/run.py

demo: deps build-win32
	@$(WINE_BUILD) python3 tools/demo.py

# The native tools in the release preset, the Windows side in the build that Wine can run here.
BENCH_WIN_TARGETS := mvnzip deflate_limit MVNUpdaterP2_10 MVNUpdater10 e2e_driver fake_morvane_9_1_0_12
bench: deps
	@cmake --preset native-release >/dev/null
	@cmake --build --preset native-release --target mvnzip deflate_limit
	@$(WINE_BUILD) bash -c 'cmake --preset $$MVN_WINE_PRESET >/dev/null && \
		cmake --build --preset $$MVN_WINE_PRESET --target $(BENCH_WIN_TARGETS) && ./tools/bench/run.sh'

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
