# make test: install what is missing, then build and test the Windows DLL (under
# Wine), the Linux library, and the Linux library under ASan/UBSan.
PRESETS := windows linux linux-asan
JOBS ?= $(shell nproc)
export LANG := C.UTF-8
export LC_ALL := C.UTF-8

.PHONY: test deps build $(addprefix test-,$(PRESETS)) $(addprefix build-,$(PRESETS)) bench clean

test: deps
	@for p in $(PRESETS); do $(MAKE) --no-print-directory test-$$p || exit 1; done

deps:
	@bash scripts/install-deps.sh

build: deps $(addprefix build-,$(PRESETS))

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j $(JOBS)

test-windows: build-windows
	bash scripts/wine-ctest.sh build/windows --preset windows -j $(JOBS)

test-linux test-linux-asan: test-%: build-%
	ctest --preset $* -j $(JOBS)

bench: deps build-linux
	@for b in build/linux/bin/bench_*; do [ -x "$$b" ] && "$$b" || true; done

clean:
	rm -rf build
