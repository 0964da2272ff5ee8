# The two commands of a fresh machine are `make demo` and `make test`; both
# install what is missing first.

BUILD ?= build
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= 2

# Debian packages the build, the tests, the benchmarks and the fuzzers need.
PACKAGES := cmake ninja-build g++ make libgtest-dev libgmock-dev clang libclang-rt-14-dev liblz4-dev lz4 attr \
	qt6-base-dev fonts-dejavu-core xdg-utils
# The peers the job benchmark measures against, for the benchmark only.
PACKAGES += restic borgbackup

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build test demo bench fuzz screenshots clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		$(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

demo: build
	demo/backup-demo.sh $(BUILD)/dist/MorvaneBackup
	@tools/screenshots $(BUILD) | tail -1

screenshots: build
	tools/screenshots $(BUILD)

bench: build
	@for b in $(BUILD)/bench/*-bench; do echo "== $$b"; $$b || exit 1; done

fuzz: deps
	@[ -f $(FUZZ_BUILD)/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for f in $(FUZZ_BUILD)/fuzz/*-fuzz; do \
		name=$$(basename $$f -fuzz); \
		mkdir -p $(FUZZ_BUILD)/corpus/$$name; \
		echo "== $$name for $(FUZZ_SECONDS) s"; \
		$$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			$(FUZZ_BUILD)/corpus/$$name tests/fuzz/corpus/$$name || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
