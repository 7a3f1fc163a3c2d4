# Front door: `make run` and `make test` install what is missing, configure, build, then run.
BUILD ?= build
JOBS ?= $(shell nproc)
PACKAGES = cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
           qt6-base-dev qt6-charts-dev libsimpleini-dev libudev-dev libcurl4-openssl-dev \
           libsodium-dev python3-pyftpdlib xvfb xauth desktop-file-utils appstream
# What `make package` needs on top: dpkg-shlibdeps finds the runtime dependencies.
PACKAGE_TOOLS = dpkg-dev
# `make test-sanitize`: the whole suite again with AddressSanitizer and UBSan in its own folder.
SANITIZE_BUILD ?= build-sanitize

.PHONY: all deps configure build test run clean package test-sanitize

all: build

deps:
	@missing=""; for p in $(PACKAGES) $(EXTRA_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Debian package of the three programs with desktop entry, icons, metainfo and manual pages.
package:
	$(MAKE) build EXTRA_PACKAGES="$(PACKAGE_TOOLS)"
	cd $(BUILD) && cpack -G DEB
	packaging/check-package.sh $$(ls -t $(BUILD)/nord5_*.deb | head -n 1)

# Any report of a sanitizer fails its test (halt_on_error, exit code 1). The leak suppressions
# are in tests/sanitize/lsan.supp, each with its reason. No strict_string_checks: with it, the
# X11 keyboard library's bounded strndup calls are reported when the X11 title test starts the
# program under a real X server.
SANITIZE_ENV = ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0

$(SANITIZE_BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DNORD5_SANITIZE=ON

test-sanitize: deps $(SANITIZE_BUILD)/build.ninja
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/nord5-config ]; then exec $(BUILD)/bin/nord5-config; \
	else echo "Built everything in $(BUILD)/bin; the desktop program nord5-config is not part of this build yet."; fi

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
