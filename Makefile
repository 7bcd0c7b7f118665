# Two commands do everything on a fresh Debian machine:
#   make run    build the plug-in and run it in the simulator stand-in
#   make test   build everything and run every test
# Missing Debian packages are installed when run as root; otherwise the apt command is printed.

BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-win
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
SCENARIO   ?= examples/tour.scn
INI        ?=
PROFILE    ?=
UNITS      ?=
PLATFORM   ?= linux

DEB_PACKAGES := g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev \
                libudev-dev umockdev libumockdev-dev gir1.2-umockdev-1.0 \
                libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri libcairo2-dev python3 ccache unzip

# Only for the fuzz targets: libFuzzer comes with clang.
FUZZ_PACKAGES := clang libclang-rt-dev cmake make pkg-config libudev-dev
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 60
FUZZ_TARGETS  := fuzz_descriptor fuzz_devlib_input fuzz_devlib_text fuzz_catalogue fuzz_scenario \
                 fuzz_settings_read fuzz_settings_write

# Builds go through ccache when it is there: the sanitizer, fuzz and Windows builds and a
# second clone of the tree then compile only what changed.
CCACHE := $(shell command -v ccache 2>/dev/null)
export CCACHE_BASEDIR := $(CURDIR)
LAUNCHER := $(if $(CCACHE),-DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))

.PHONY: all deps deps-windows fuzz-deps configure build run pictures test test-asan test-tsan bench package fuzz fuzz-ci soak \
        windows-configure windows windows-cockpit test-windows clean

all: build

# The Windows cross-build and wine: needed by make windows and make test-windows, and installed by
# make deps too so that one command readies a machine for every build (cheap once installed).
WIN_DEB_PACKAGES := g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
                    mingw-w64-x86-64-dev wine wine64 libwine

# $(call install-missing,packages,apt options)
define install-missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $(2) $$missing; \
	  else \
	    echo "Missing packages. Install them with:"; \
	    echo "  sudo apt-get install $(2)$$missing"; \
	    exit 1; \
	  fi; \
	fi
endef

deps: deps-windows
	$(call install-missing,$(DEB_PACKAGES),)

fuzz-deps:
	$(call install-missing,$(FUZZ_PACKAGES),)

deps-windows:
	$(call install-missing,$(WIN_DEB_PACKAGES),--no-install-recommends)

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The virtual cockpit: the plug-in with one emulated unit of every model, playing a scenario.
# Pictures of the panel go to $(BUILD)/cockpit: at every "show" step and at the end.
# PLATFORM=windows: the Windows plug-in in the Windows stand-in under wine (windows-cockpit).
RUN_SIM = $(if $(filter windows,$(PLATFORM)),--sim-server $(WIN_SIM_SERVER) --wine $(WIN_PREFIX)-cockpit --plugin $(WIN_PLUGIN))
run: build $(if $(filter windows,$(PLATFORM)),windows-cockpit)
	@rm -f $(BUILD)/cockpit/*.png
	$(BUILD)/tools/cockpit/cockpit --pictures $(BUILD)/cockpit $(if $(INI),--ini $(INI)) $(if $(PROFILE),--profile $(PROFILE)) \
	  $(if $(UNITS),--units $(UNITS)) $(RUN_SIM) $(SCENARIO)
	@echo "The panel at the end: $(BUILD)/cockpit/panel-final.png"

# The pictures in the READMEs, drawn again from the tour: its final panel and one unit of each model.
pictures: build
	@rm -rf $(BUILD)/pictures
	$(BUILD)/tools/cockpit/cockpit --pictures $(BUILD)/pictures --unit-pictures examples/tour.scn \
	  > $(BUILD)/pictures.log || { cat $(BUILD)/pictures.log; exit 1; }
	@mkdir -p docs/cockpit
	cp $(BUILD)/pictures/panel-final.png docs/cockpit/panel.png
	@for f in $(BUILD)/pictures/QD-*-1-final.png; do \
	  n=$${f##*/}; cp "$$f" "docs/cockpit/$${n%-1-final.png}.png"; \
	done
	@echo "Written: docs/cockpit/panel.png and one picture per model in docs/cockpit/"

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDRAV_SANITIZE=ON -DDRAV_BENCH=OFF $(LAUNCHER)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The same tests under ThreadSanitizer. Suppressions (tests/tsan.supp) name only libraries
# that are not ours.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAV_TSAN=ON -DDRAV_BENCH=OFF $(LAUNCHER)
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp second_deadlock_stack=1" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*/bench_*; do [ -x "$$b" ] && "$$b"; done

# The release archive: one zip that installs by unpacking into <X-Plane>/Resources/plugins, with
# both plug-ins (lin_x64/, win_x64/) and qdtool for each system. The package test then unpacks it
# and loads each plug-in in its stand-in (the Windows one under wine).
VERSION := $(shell awk '/^project/ { for (i = 1; i < NF; i++) if ($$i == "VERSION") print $$(i + 1) }' CMakeLists.txt)
PACKAGE := $(BUILD)/DRAV-$(VERSION).zip
package: build windows-configure
	cmake --build $(WIN_BUILD)/drav --target DRAV qdtool xphost -j $(JOBS)
	python3 tools/package.py $(PACKAGE) . --linux $(BUILD)/DRAV/lin_x64/DRAV.xpl $(BUILD)/tools/qdtool \
	  --windows $(WIN_BUILD)/drav/DRAV/win_x64/DRAV.xpl $(WIN_BUILD)/drav/bin/qdtool.exe
	sh tests/package/package_test.sh $(PACKAGE) $(BUILD)/hostsim/xphost $(WIN_BUILD)/drav/bin/xphost.exe \
	  $(WIN_PREFIX); rc=$$?; WINEPREFIX=$(WIN_PREFIX) /usr/lib/wine/wineserver -k 2>/dev/null; exit $$rc

# libFuzzer targets (fuzz/), each run FUZZ_SECONDS from its seed corpus in fuzz/corpus/. New
# inputs go to $(FUZZ_BUILD)/corpus/, crashes to $(FUZZ_BUILD)/crashes/ (add each to the seed
# corpus with a regression test).
fuzz: fuzz-deps
	cmake -S fuzz -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(LAUNCHER)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@mkdir -p $(FUZZ_BUILD)/crashes; \
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  $(FUZZ_BUILD)/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t- $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t \
	    > $(FUZZ_BUILD)/$$t.log 2>&1 || { tail -40 $(FUZZ_BUILD)/$$t.log; exit 1; }; \
	  grep -E "number_of_executed_units|peak_rss" $(FUZZ_BUILD)/$$t.log; \
	done

# What CI runs: every target for 20 s.
fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=20

# 1,000 plug cycles through the device library, in processes of 40 (not part of make test).
soak: configure
	cmake --build $(BUILD) -j $(JOBS) --target devlib_soak
	$(BUILD)/tests/devlib_soak/devlib_soak --batches 25 --cycles 40

# The Windows plug-in, cross-built with mingw-w64: $(WIN_BUILD)/DRAV/win_x64/DRAV.xpl.
# GoogleTest has no mingw package: it is cross-built once from Debian's sources.
WIN_TOOLCHAIN := $(CURDIR)/cmake/mingw-w64-x86_64.cmake
WIN_GTEST     := $(WIN_BUILD)/gtest
WIN_PREFIX    := $(abspath $(WIN_BUILD))/wineprefix
WIN_PLUGIN    := $(abspath $(WIN_BUILD))/drav/DRAV/win_x64/DRAV.xpl
WIN_SIM_SERVER := $(abspath $(WIN_BUILD))/drav/bin/sim_server.exe

$(WIN_GTEST)/lib/cmake/GTest/GTestConfig.cmake:
	cmake -S /usr/src/googletest -B $(WIN_BUILD)/gtest-build -DCMAKE_TOOLCHAIN_FILE=$(WIN_TOOLCHAIN) \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(abspath $(WIN_GTEST)) -DBUILD_GMOCK=OFF
	cmake --build $(WIN_BUILD)/gtest-build -j $(JOBS)
	cmake --install $(WIN_BUILD)/gtest-build

windows-configure: deps $(WIN_GTEST)/lib/cmake/GTest/GTestConfig.cmake
	cmake -S . -B $(WIN_BUILD)/drav -DCMAKE_TOOLCHAIN_FILE=$(WIN_TOOLCHAIN) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER) \
	  -DGTest_DIR=$(abspath $(WIN_GTEST))/lib/cmake/GTest -DDRAV_WINEPREFIX=$(WIN_PREFIX) \
	  -DDRAV_WINEBED=$(abspath $(BUILD))/tests/devlib_windows/qdwinebed \
	  -DDRAV_COCKPIT=$(abspath $(BUILD))/tools/cockpit/cockpit

windows: windows-configure
	cmake --build $(WIN_BUILD)/drav --target DRAV -j $(JOBS)
	@echo "Built $(WIN_BUILD)/drav/DRAV/win_x64/DRAV.xpl"

# The Windows side of the virtual cockpit: the plug-in, the stand-in's sim server and their prefix.
windows-cockpit: windows-configure
	cmake --build $(WIN_BUILD)/drav --target DRAV sim_server -j $(JOBS)
	sh cmake/wine-prefix.sh $(WIN_PREFIX)-cockpit --no-server

# The Windows tests under wine, headless. The HID tests need the Linux side of their test bed
# (emulated units), built in $(BUILD).
test-windows: configure windows-configure
	cmake --build $(BUILD) --target qdwinebed cockpit -j $(JOBS)
	cmake --build $(WIN_BUILD)/drav -j $(JOBS)
	sh cmake/wine-prefix.sh $(WIN_PREFIX)-hid --no-server
	sh cmake/wine-prefix.sh $(WIN_PREFIX)-cockpit --no-server
	sh cmake/wine-prefix.sh $(WIN_PREFIX)
	ctest --test-dir $(WIN_BUILD)/drav --output-on-failure -j $(JOBS); rc=$$?; \
	  WINEPREFIX=$(WIN_PREFIX) /usr/lib/wine/wineserver -k 2>/dev/null; exit $$rc

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD)
