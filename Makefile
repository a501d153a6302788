# Entry points for newcomers and CI. Every target installs what is missing, configures,
# builds and then runs; each can be repeated.
.PHONY: all deps configure build test demo package windows package-windows clean

all: build

# Each entry point installs the package groups its step needs (scripts/install-deps.sh):
# the build's alone by default; make demo adds what the demo needs, make test the test
# bench. Set for a target, DEPS reaches the deps step it depends on.
DEPS = build
deps:
	@scripts/install-deps.sh $(DEPS)

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default

# The Linux build's tests, then the Windows build's under wine: on this host where it runs
# 32-bit programs, else in the test VM.
test: DEPS = test
test: build
	@ctest --preset default
	@scripts/windows.sh test

# Where this host runs the Windows programs itself, their suite once more in the test VM,
# so that a run here proves both ways (CI runs it); elsewhere make test took the VM already.
.PHONY: test-windows-vm
test-windows-vm: DEPS = test
test-windows-vm: build
	@scripts/windows.sh test-vm

demo: DEPS = build demo
demo: build
	@scripts/demo.sh

# Speed and memory figures beside their targets; about five minutes (six flashes in real time).
.PHONY: bench
bench: build
	@scripts/bench.sh

# The packages are the same bytes whoever builds them from one commit (cmake/Reproducible.cmake);
# each package target lists their SHA-256 in SHA256SUMS beside them.
# The portable folder, build/velt-usb-firmware-<version>-linux-<arch>.tar.gz.
package: DEPS = build package
package: build
	@cd build && cpack -G TGZ

# The Debian package, build/velt-usb-firmware_<version>_<arch>.deb.
.PHONY: deb
deb: DEPS = build package
deb: build
	@cd build && cpack -G DEB

# The 32-bit Windows programs in build-windows/bin/, and their zip beside them in build-windows/.
windows: DEPS = build windows
windows: deps
	@scripts/windows.sh build

package-windows: DEPS = build windows
package-windows: deps
	@scripts/windows.sh package

# The .deb, the tarball and the zip built twice from this commit, in two fresh clones under
# build-reproducible/ with different folder names, times, time zones and umasks, and
# compared byte for byte (scripts/reproducible-check.sh); about 12 minutes on 2 CPUs.
.PHONY: reproducible-check
reproducible-check: DEPS = build package windows
reproducible-check: deps
	@scripts/reproducible-check.sh

# clang with AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitized/: every test
# but the VM suite, the fuzz targets' 30 s runs included.
.PHONY: test-sanitized fuzz
test-sanitized: DEPS = test
test-sanitized: deps test-threads
	@cmake --preset sanitized >/dev/null
	@cmake --build --preset sanitized
	@ctest --preset sanitized

# ThreadSanitizer over the code that runs devices side by side (the simulated bus, the
# shared clock, the command line's --all and --watch, the production station), in build-threads/.
.PHONY: test-threads
test-threads: DEPS = test
test-threads: deps
	@cmake --preset threads >/dev/null
	@cmake --build --preset threads --target cli_tests production_tests simulated_tests device_tests platform_tests
	@for test in cli_tests production_tests simulated_tests device_tests platform_tests; do \
		TSAN_OPTIONS=halt_on_error=1 build-threads/bin/$$test --gtest_brief=1 || exit 1; \
	done

# The fuzz targets alone, each for 30 s from its corpus (tests/fuzz).
fuzz: DEPS = test
fuzz: deps
	@cmake --preset sanitized >/dev/null
	@cmake --build --preset sanitized --target fuzz_targets
	@ctest --preset sanitized -L '^fuzz$$'

clean:
	rm -rf build build-windows build-sanitized build-threads build-reproducible
