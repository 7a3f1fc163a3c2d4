# Front door: `make run` and `make test` install what is missing, configure, build, then run.
BUILD ?= build
JOBS ?= $(shell nproc)
PACKAGES = cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
           qt6-base-dev qt6-charts-dev libsimpleini-dev libudev-dev libcurl4-openssl-dev \
           libsodium-dev python3-pyftpdlib xvfb xauth

.PHONY: all deps configure build test run clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
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

run: build
	@if [ -x $(BUILD)/bin/nord5-config ]; then exec $(BUILD)/bin/nord5-config; \
	else echo "Built everything in $(BUILD)/bin; the desktop program nord5-config is not part of this build yet."; fi

clean:
	rm -rf $(BUILD)
