# make test: install what is missing, then build and test the Windows DLL (under
# Wine), the Linux library, the Linux library under ASan/UBSan, and every test that
# starts threads under ThreadSanitizer (the linux-tsan test preset picks them by
# name: a gtest case that starts threads says Thread or Race in its name, and the
# logger's host steps, the events program and the events sample are taken whole;
# the demo is left to the other builds); then build the
# fuzz targets, replay their committed corpora and run a short fixed-seed session.
PRESETS := windows linux linux-asan linux-tsan
FUZZ_TARGETS := markup_parse markup_read markup_edit markup_escape from_hex utf8 profile format
FUZZ_RUNS ?= 20000
JOBS ?= $(shell nproc)
export LANG := C.UTF-8
export LC_ALL := C.UTF-8

.PHONY: test deps build $(addprefix test-,$(PRESETS) fuzz) $(addprefix build-,$(PRESETS) fuzz) \
	bench demo clean

test: deps
	@for p in $(PRESETS); do $(MAKE) --no-print-directory test-$$p || exit 1; done
	@$(MAKE) --no-print-directory test-fuzz

deps:
	@bash scripts/install-deps.sh

build: deps $(addprefix build-,$(PRESETS))

$(addprefix build-,$(PRESETS) fuzz): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j $(JOBS)

# The Windows tests convert pixels with a libswscale built for Windows from Debian's
# ffmpeg source (cached outside the tree after the first build).
test-windows: build-windows
	bash scripts/build-swscale-win.sh build/windows/bin
	bash scripts/wine-ctest.sh build/windows --preset windows -j $(JOBS)

test-linux test-linux-asan test-linux-tsan: test-%: build-%
	ctest --preset $* -j $(JOBS)

# The session writes what it finds into a scratch corpus emptied first, so the run
# depends on the seed and the committed corpus alone. A failing run prints its log.
test-fuzz: build-fuzz
	@for t in $(FUZZ_TARGETS); do \
	    bin=build/fuzz/bin/fuzz_$$t; work=build/fuzz/work/$$t; log=build/fuzz/$$t.log; \
	    rm -rf $$work && mkdir -p $$work; \
	    $$bin -runs=0 fuzz/corpus/$$t >$$log 2>&1 || { cat $$log; exit 1; }; \
	    echo "fuzz_$$t: corpus replayed, $$(ls fuzz/corpus/$$t | wc -l) inputs"; \
	    dict=; [ -f fuzz/$$t.dict ] && dict=-dict=fuzz/$$t.dict; \
	    $$bin -seed=1 -runs=$(FUZZ_RUNS) -max_len=65536 -timeout=60 $$dict \
	        $$work fuzz/corpus/$$t >$$log 2>&1 || { cat $$log; exit 1; }; \
	    echo "fuzz_$$t: $(FUZZ_RUNS) runs from seed 1 in $$(grep -o 'runs in [0-9]*' $$log | grep -o '[0-9]*$$') s: $$(grep -o 'cov: [0-9]*' $$log | tail -n 1), no failure"; \
	done

# make demo: one capture session of DEMO_SECONDS on the Linux build, then one on the
# Windows build under Wine (examples/capture_pipeline/run.sh builds the demo against
# the installed package and encodes its clip the first time). Only the library is
# built here.
DEMO_SECONDS ?= 30
demo: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j $(JOBS) --target pubfunc
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS) --target pubfunc
	bash examples/capture_pipeline/run.sh build/linux --seconds $(DEMO_SECONDS)
	bash examples/capture_pipeline/run.sh build/windows --seconds $(DEMO_SECONDS); \
	    rc=$$?; WINEPREFIX=$(CURDIR)/build/windows/wineprefix wineserver -w; exit $$rc

# Runs every bench/ program on the Linux build and writes BENCHMARKS.md from their
# JSON results (several minutes; best on a quiet machine).
bench: deps build-linux
	python3 scripts/bench-report.py build/linux/bin BENCHMARKS.md "make bench"

clean:
	rm -rf build
