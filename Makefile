# make test: install what is missing, run clang-tidy over src/ (make tidy), then
# build and test the Windows DLL (under Wine), the Linux library, the Linux library
# under ASan/UBSan, and every test that starts threads under ThreadSanitizer (the
# linux-tsan test preset picks them by name: a gtest case that starts threads says
# Thread or Race in its name, and the logger's host steps, the events program and
# the events sample are taken whole; the demo is left to the other builds); then
# build the fuzz targets, replay their committed corpora and run a short fixed-seed
# session.
PRESETS := windows linux linux-asan linux-tsan
FUZZ_TARGETS := markup_parse markup_read markup_edit markup_escape from_hex utf8 profile format
FUZZ_RUNS ?= 20000
JOBS ?= $(shell nproc)
export LANG := C.UTF-8
export LC_ALL := C.UTF-8

.PHONY: test deps build $(addprefix test-,$(PRESETS) fuzz) $(addprefix build-,$(PRESETS) fuzz) \
	bench demo clean tidy coverage coverage-windows

test: deps
	@$(MAKE) --no-print-directory tidy
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

# make tidy: clang-tidy with the checks of .clang-tidy over the sources of the Linux
# build in src/ (the _win files are not compiled there), from the linux preset's
# compile_commands.json; configuring is enough. Any finding fails.
TIDY_SOURCES = $(filter-out %_win.cpp,$(sort $(wildcard src/*/*.cpp)))
tidy: deps
	cmake --preset linux >/dev/null
	@printf '%s\n' $(TIDY_SOURCES) | xargs -P $(JOBS) -n 4 clang-tidy-14 -p build/linux --quiet \
	    >build/linux/tidy.log 2>&1; rc=$$?; grep -v 'warnings generated\.$$' build/linux/tidy.log; \
	    [ $$rc -eq 0 ] || { echo "make tidy: clang-tidy reported findings"; exit 1; }
	@echo "make tidy: $(words $(TIDY_SOURCES)) files, no findings"

# make coverage: the Linux build with gcc's coverage instrumentation (unoptimised)
# runs the Linux tests from fresh counters, then gcovr prints line and branch
# coverage per folder of src/ and writes the HTML report. Branches that only throw
# or that the compiler proves unreachable are left out of the branch count.
# $(call gcovr,BUILD_DIR,FILTER,GCOV,TABLE_OPTIONS): the report of one build tree.
gcovr = gcovr -r . --filter '$(2)' --gcov-executable $(3) -j $(JOBS) \
	    --exclude-throw-branches --exclude-unreachable-branches \
	    --html-details $(1)/coverage/index.html --json-summary $(1)/coverage/summary.json \
	    $(1) >/dev/null && \
	python3 scripts/coverage-table.py $(4) $(1)/coverage/summary.json && \
	echo "HTML report: $(1)/coverage/index.html"
coverage: deps
	cmake --preset linux-coverage >/dev/null
	cmake --build --preset linux-coverage -j $(JOBS)
	find build/linux-coverage -name '*.gcda' -delete
	rm -rf build/linux-coverage/coverage && mkdir -p build/linux-coverage/coverage
	ctest --preset linux-coverage -j $(JOBS); rc=$$?; \
	$(call gcovr,build/linux-coverage,src/,gcov,) && exit $$rc

# make coverage-windows: the Windows build's own files (the _win ones, which make
# coverage cannot see), measured by the Windows tests under Wine and mingw's gcov.
# The counter files are named by absolute Unix paths; the test preset's GCOV_PREFIX=Z:
# puts them on Wine's drive Z: (the Unix root) whatever a test's current drive.
coverage-windows: deps
	cmake --preset windows-coverage >/dev/null
	cmake --build --preset windows-coverage -j $(JOBS)
	find build/windows-coverage -name '*.gcda' -delete
	rm -rf build/windows-coverage/coverage && mkdir -p build/windows-coverage/coverage
	bash scripts/build-swscale-win.sh build/windows-coverage/bin
	bash scripts/wine-ctest.sh build/windows-coverage --preset windows-coverage -j $(JOBS); rc=$$?; \
	$(call gcovr,build/windows-coverage,src/.*_win\.cpp,x86_64-w64-mingw32-gcov-posix,--by-file) \
	    && exit $$rc

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
