# The two commands: 'make run' starts the full-screen saver, 'make test' runs every test.
# Both install what is missing (tools/bootstrap) and build first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
WIN_BUILD  ?= build-win
FUZZ_SECONDS ?= 30
JOBS       ?= $(shell nproc)

CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The sanitizer and fuzz builds are made to find faults, not to run fast or be
# debugged: less optimisation and line tables only build them in about two thirds of
# the time, and their reports still name the file and line.
CHECK_FLAGS = -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
              -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"

PREFIX ?= /usr/local

.PHONY: all bootstrap build run test test-asan fuzz windows windows-zip windows-installer test-windows install deb clean

all: build

bootstrap:
	@tools/bootstrap

$(BUILD)/build.ninja: CMakeLists.txt | bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: bootstrap $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	tools/run-saver $(BUILD)

test: build
	tools/with-display ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 120

# The whole test suite again, built with the address and undefined-behaviour sanitizers.
test-asan: bootstrap
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) $(CHECK_FLAGS) -DORBSAVER_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  tools/with-display ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) --timeout 300

# Builds the fuzz targets with clang and runs each for FUZZ_SECONDS.
fuzz: bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_FLAGS) $(CHECK_FLAGS) -DORBSAVER_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz-all
	tools/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The Windows build, cross-compiled with mingw-w64 into WIN_BUILD, and its tests run
# under Wine in a Wine prefix of the build's own (WIN_BUILD/wine).
windows: bootstrap
	cmake -S . -B $(WIN_BUILD) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN_BUILD) -j $(JOBS)

# What a Windows user downloads: WIN_BUILD/orbsaver-<version>-win64.zip (the saver with
# its data folder beside it) and WIN_BUILD/orbsaver-setup-<version>.exe (NSIS).
windows-zip: windows
	cmake --build $(WIN_BUILD) --target orbsaver_zip

windows-installer: windows
	cmake --build $(WIN_BUILD) --target orbsaver_installer

test-windows: windows
	ORBSAVER_WINEPREFIX=$(abspath $(WIN_BUILD))/wine tools/with-display sh -c \
	  'tools/wine-run --prepare && ctest --test-dir $(WIN_BUILD) --output-on-failure -j $(JOBS) --timeout 120 --repeat until-pass:2'
	WINEPREFIX=$(abspath $(WIN_BUILD))/wine wineserver -k 2>/dev/null || true

# Installs into PREFIX (default /usr/local; DESTDIR is honoured).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in build/, installed under /usr.
deb: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD)
