# Entry points for newcomers and CI. Every target installs what is missing, configures,
# builds and then runs; each can be repeated.
.PHONY: all deps configure build test demo package windows package-windows clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default

# The Linux build's tests, then the Windows build's under wine.
test: build
	@ctest --preset default
	@scripts/windows.sh test

demo: build
	@scripts/demo.sh

# Speed and memory figures beside their targets; about five minutes (six flashes in real time).
.PHONY: bench
bench: build
	@scripts/bench.sh

package: build
	@cd build && cpack -G TGZ

# The Debian package, build/velt-usb-firmware_<version>_<arch>.deb.
.PHONY: deb
deb: build
	@cd build && cpack -G DEB

# The 32-bit Windows programs in build-windows/bin/, and their zip.
windows: deps
	@scripts/windows.sh build

package-windows: deps
	@scripts/windows.sh package

# clang with AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitized/: every test
# but the VM suite, the fuzz targets' 30 s runs included.
.PHONY: test-sanitized fuzz
test-sanitized: deps test-threads
	@cmake --preset sanitized >/dev/null
	@cmake --build --preset sanitized
	@ctest --preset sanitized

# ThreadSanitizer over the code that runs devices side by side (the simulated bus, the
# shared clock, the command line's --all and --watch), in build-threads/.
.PHONY: test-threads
test-threads: deps
	@cmake --preset threads >/dev/null
	@cmake --build --preset threads --target cli_tests simulated_tests device_tests platform_tests
	@for test in cli_tests simulated_tests device_tests platform_tests; do \
		TSAN_OPTIONS=halt_on_error=1 build-threads/bin/$$test --gtest_brief=1 || exit 1; \
	done

# The fuzz targets alone, each for 30 s from its corpus (tests/fuzz).
fuzz: deps
	@cmake --preset sanitized >/dev/null
	@cmake --build --preset sanitized --target fuzz_targets
	@ctest --preset sanitized -L '^fuzz$$'

clean:
	rm -rf build build-windows build-sanitized build-threads
