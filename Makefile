# Everyday commands. `make deps` installs what the build and the tests need (quick when all is there).
SHELL := /bin/bash
.DEFAULT_GOAL := build

APT_PACKAGES := cmake ninja-build make g++ python3 \
	g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 libz-mingw-w64-dev \
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

test: build
	@ctest --preset native
	@ctest --preset win32
	@python3 tests/e2e/run.py

test-native: deps build-native
	@ctest --preset native

test-win32: deps build-win32
	@ctest --preset win32

test-e2e: deps build-win32
	@python3 tests/e2e/run.py

demo: deps build-win32
	@python3 tools/demo.py

bench: deps
	@cmake --preset native-release >/dev/null
	@cmake --build --preset native-release --target mvnzip deflate_limit
	@./tools/bench/run.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
