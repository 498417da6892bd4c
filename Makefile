# Everyday commands. `make deps` installs what the build and the tests need (quick when all is there).
SHELL := /bin/bash
.DEFAULT_GOAL := build

APT_PACKAGES := cmake ninja-build make g++ python3 \
	g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 libz-mingw-w64-dev \
	g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
	zlib1g-dev googletest wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick \
	unzip zip libarchive-tools clang-format \
	g++-multilib zlib1g-dev:i386 qemu-user

.PHONY: deps build build-native build-native32 build-win32 test test-native test-native32 test-win32 test-e2e \
	demo bench format clean

deps:
	@./tools/deps.sh $(APT_PACKAGES)

build: deps build-native build-win32

build-native:
	@cmake --preset native >/dev/null
	@cmake --build --preset native

# The portable logic as 32-bit x86 code (UBSan only: ASan cannot run under qemu-i386).
build-native32:
	@cmake --preset native32 >/dev/null
	@cmake --build --preset native32

build-win32:
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32

# The Windows tiers go through tools/wine-build.sh, which falls back to a 64-bit build where the
# kernel runs no 32-bit code; the checks of the shipped files always read the 32-bit programs.
WINE_BUILD := ./tools/wine-build.sh
# The Windows versions that Wine reports to the end-to-end suite, one full run each.
WINVER ?= win7 win10
E2E := for v in $(WINVER); do MVN_WINVER=$$v python3 tests/e2e/run.py || failed="$$failed $$v"; done; \
	[ -z "$$failed" ] || { echo "e2e failed under:$$failed"; exit 1; }
NATIVE32 := echo "note: the 32-bit unit tests run $$(tests/run-i386.sh --which build/native32/probe_i386)"; \
	ctest --preset native32

test: build build-native32
	@ctest --preset native
	@$(NATIVE32)
	@ctest --preset win32 -R '^check_'
	@$(WINE_BUILD) bash -c 'ctest --preset $$MVN_WINE_PRESET -E "^check_" && { $(E2E); }'

test-native: deps build-native
	@ctest --preset native

test-native32: deps build-native32
	@$(NATIVE32)

test-win32: deps build-win32
	@ctest --preset win32 -R '^check_'
	@$(WINE_BUILD) bash -c 'ctest --preset $$MVN_WINE_PRESET -E "^check_"'

test-e2e: deps build-win32
	@$(WINE_BUILD) bash -c '$(E2E)'

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
