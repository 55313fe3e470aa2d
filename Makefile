# Builds the Windows program and the native tests, runs the program and every suite.
# `make run` and `make test` install what is missing first (Debian 12, through sudo when not root).

SHELL := /bin/bash
NATIVE := build/native
WIN32 := build/win32
WIN64 := build/win64
JOBS := $(shell nproc)
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"

.PHONY: fuzz-build fuzz-long all deps build native summary win32 win64 dist fuzz bench test test-sanitize test-native test-dist test-wine run clean

all: build

deps:
	@scripts/install-deps.sh

# Every Windows target is compiled for both architectures on every machine, whatever its kernel
# runs: only the step that runs the Windows suites picks which build it runs (scripts/test-wine.sh).
build: deps native summary win32 win64

native:
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

RELEASE := build/release

# The site summary for Linux, optimised: it is the one native program a user runs.
summary:
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DQK_TESTS=OFF >/dev/null
	@cmake --build $(RELEASE) -j$(JOBS) --target quor-kelvra-summary

# The shipped 32-bit programs, and beside them, from the same configuration, what tests them.
WIN32_CONFIGURE = cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DQK_TESTS=ON >/dev/null

win32:
	@$(WIN32_CONFIGURE)
	@cmake --build $(WIN32) -j$(JOBS)

# The same sources as a 64-bit program, shipped as Quor-kelvra-x64.exe (for WinPE and Windows
# without 32-bit support), and the stand-in where Wine cannot start 32-bit programs.
WIN64_CONFIGURE = cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DQK_TESTS=ON >/dev/null

win64:
	@$(WIN64_CONFIGURE)
	@cmake --build $(WIN64) -j$(JOBS)

# The release package: dist/Quor-kelvra-<version>.zip (both architectures' programs) and
# dist/SHA256SUMS; signed with the maker's key when one is given, or with the detached signatures
# of QK_SIGNATURES=FOLDER (scripts/dist.sh, docs/signing.md). DIST names another folder.
DIST ?= dist

dist:
	@QK_DEPS=build scripts/install-deps.sh
	@$(WIN32_CONFIGURE)
	@$(WIN64_CONFIGURE)
	@cmake --build $(WIN32) -j$(JOBS) --target Quor-kelvra Quor-kelvra-summary
	@cmake --build $(WIN64) -j$(JOBS) --target Quor-kelvra
	@scripts/dist.sh $(WIN32) $(WIN64) $(DIST)

# The Windows suites come last: their final line names the program they ran against.
test: build test-native test-sanitize fuzz test-dist test-wine

SANITIZE := build/sanitize

# The native suite again with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	@cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" >/dev/null
	@cmake --build $(SANITIZE) -j$(JOBS) --target native_tests
	@$(SANITIZE)/native_tests --gtest_brief=1

FUZZ := build/fuzz
FUZZ_SECONDS ?= 30

FUZZERS := report_import command_line summary since

fuzz-build:
	@cmake -S . -B $(FUZZ) -DQK_FUZZ=ON -DQK_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS) --target $(addsuffix _fuzzer,$(FUZZERS))

# Short libFuzzer runs from the corpora kept in tests/fuzz/corpus (the import FUZZ_SECONDS, the
# others half of it each); a crash is saved as a regression case of the native suite.
fuzz: fuzz-build
	@scripts/fuzz.sh short $(FUZZ) report_import $(FUZZ_SECONDS)
	@for fuzzer in command_line summary since; do \
		scripts/fuzz.sh short $(FUZZ) $$fuzzer $$(( $(FUZZ_SECONDS) / 2 )) || exit 1; done

# Long runs on both cores that grow the kept corpora and re-minimise them: FUZZ_SECONDS each
# (default 600). Commit what changed in tests/fuzz/.
fuzz-long: fuzz-build
	@status=0; for fuzzer in $(FUZZERS); do \
		scripts/fuzz.sh long $(FUZZ) $$fuzzer $(if $(filter file,$(origin FUZZ_SECONDS)),600,$(FUZZ_SECONDS)) || status=1; \
	done; exit $$status

test-native:
	@ctest --test-dir $(NATIVE) --output-on-failure -LE wine
	@scripts/check-layers.sh
	@scripts/check-exe.sh $(WIN32) $(WIN64)/Quor-kelvra.exe

# The package built in a fresh folder and from the tested trees, byte for byte the same, and its
# programs the tested ones; then signed with a throwaway key, and its signatures detached and
# attached again (the end-to-end suite runs the signed program).
test-dist:
	@scripts/check-dist.sh
	@scripts/check-signing.sh

test-wine:
	@$(XVFB) scripts/test-wine.sh

BENCH := build/bench

# Benchmarks: native figures, then the program under Wine beside its floor; writes docs/performance.md.
bench: build
	@cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BENCH) -j$(JOBS) --target native_bench wine_bench qk-read-floor
	@$(XVFB) scripts/bench.sh

# On the user's display when there is one, otherwise on Xvfb, closing the dialog itself. It builds
# only what it runs (scripts/run.sh): the program for the architecture this machine's Wine starts
# and the driver that reads its dialog; make test still builds everything.
run:
	@QK_DEPS=run scripts/install-deps.sh
	@if [ -n "$$DISPLAY" ]; then scripts/run.sh; else QK_HEADLESS=1 $(XVFB) scripts/run.sh; fi

clean:
	-grep -o " $(CURDIR)/build/tmp/[^ ]*" /proc/mounts | xargs -r umount 2>/dev/null
	-chattr -R -i build/tmp 2>/dev/null
	rm -rf build dist
