# Two commands do everything on a fresh Debian machine:
#   make run    build the plug-in and run it in the simulator stand-in
#   make test   build everything and run every test
# Missing Debian packages are installed when run as root; otherwise the apt command is printed.

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
SCENARIO   ?= examples/tour.scn
INI        ?=
PROFILE    ?=
UNITS      ?=

DEB_PACKAGES := g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev \
                libudev-dev umockdev libumockdev-dev gir1.2-umockdev-1.0 \
                libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri libcairo2-dev python3

.PHONY: all deps configure build run pictures test test-asan bench package clean

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
# Pictures of the panel go to $(BUILD)/cockpit: at every "show" step and at the end.
run: build
	@rm -f $(BUILD)/cockpit/*.png
	$(BUILD)/tools/cockpit/cockpit --pictures $(BUILD)/cockpit $(if $(INI),--ini $(INI)) $(if $(PROFILE),--profile $(PROFILE)) \
	  $(if $(UNITS),--units $(UNITS)) $(SCENARIO)
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
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDRAV_SANITIZE=ON -DDRAV_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*/bench_*; do [ -x "$$b" ] && "$$b"; done

# A tarball that installs by unpacking into <X-Plane>/Resources/plugins.
PACKAGE := $(BUILD)/DRAV-linux-x64.tar.gz
package: build
	sh tools/package.sh $(PACKAGE) $(BUILD)/DRAV/lin_x64/DRAV.xpl $(BUILD)/tools/qdtool .

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
