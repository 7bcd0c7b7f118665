# Two commands do everything on a fresh Debian machine:
#   make run    build the plug-in and run it in the simulator stand-in
#   make test   build everything and run every test
# Missing Debian packages are installed when run as root; otherwise the apt command is printed.

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
SCENARIO   ?= examples/tour.scn
INI        ?=
UNITS      ?=

DEB_PACKAGES := g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev \
                libudev-dev umockdev libumockdev-dev gir1.2-umockdev-1.0 \
                libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri python3

.PHONY: all deps configure build run test test-asan test-tsan bench package clean

all: build

deps:
	@missing=""; \
	for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Install them with:"; \
	    echo "  sudo apt-get install$$missing"; \
	    exit 1; \
	  fi; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The virtual cockpit: the plug-in with one emulated unit of every model, playing a scenario.
run: build
	$(BUILD)/tools/cockpit/cockpit $(if $(INI),--ini $(INI)) $(if $(UNITS),--units $(UNITS)) $(SCENARIO)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDRAV_SANITIZE=ON -DDRAV_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The same tests under ThreadSanitizer. Suppressions (tests/tsan.supp) name only libraries
# that are not ours.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAV_TSAN=ON -DDRAV_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp second_deadlock_stack=1" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*/bench_*; do [ -x "$$b" ] && "$$b"; done

# A tarball that installs by unpacking into <X-Plane>/Resources/plugins.
PACKAGE := $(BUILD)/DRAV-linux-x64.tar.gz
package: build
	sh tools/package.sh $(PACKAGE) $(BUILD)/DRAV/lin_x64/DRAV.xpl $(BUILD)/tools/qdtool .

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
