# Entry points for newcomers and CI. Every target installs what is missing, configures,
# builds and then runs; each can be repeated.
.PHONY: all deps configure build test demo package clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default

test: build
	@ctest --preset default

demo: build
	@scripts/demo.sh

package: build
	@cd build && cpack -G TGZ

clean:
	rm -rf build
