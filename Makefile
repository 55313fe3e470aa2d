# Builds the Windows program and the native tests, runs the program and every suite.
# `make run` and `make test` install what is missing first (Debian 12, through sudo when not root).

NATIVE := build/native
WIN32 := build/win32
WIN32_TESTS := build/win32-tests
JOBS := $(shell nproc)
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"

.PHONY: all deps build native win32 win32-tests test test-native test-wine run clean

all: build

deps:
	@scripts/install-deps.sh

build: deps native win32 win32-tests

native:
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

win32:
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN32) -j$(JOBS)

win32-tests:
	@cmake -S . -B $(WIN32_TESTS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DMINGW_THREADS=posix -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN32_TESTS) -j$(JOBS) --target win32_tests

test: build test-native test-wine

test-native:
	@ctest --test-dir $(NATIVE) --output-on-failure -LE wine
	@scripts/check-exe.sh $(WIN32)/Quor-kelvra.exe

test-wine:
	@$(XVFB) scripts/test-wine.sh

# On the user's display when there is one, otherwise on Xvfb, closing the dialog itself.
run: build
	@if [ -n "$$DISPLAY" ]; then scripts/run.sh; else QK_HEADLESS=1 $(XVFB) scripts/run.sh; fi

clean:
	-chattr -R -i build/tmp 2>/dev/null
	rm -rf build
