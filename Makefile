# One entry point for developers and CI. `make test` and `make demo` set up a fresh machine.
BUILD      := build
THIRD      := $(BUILD)/third_party
JOBS       ?= $(shell nproc)

.PHONY: all setup third_party build build-native build-x64 build-x86 test demo gallery screens bench bench-install bench-wizard bench-pack bench-delta clean

all: build

setup:
	@bash scripts/setup.sh

third_party: setup
	@bash scripts/fetch_third_party.sh $(abspath $(THIRD))

$(BUILD)/x64/CMakeCache.txt: | third_party
	cmake -S . -B $(BUILD)/x64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DLUMEN_THIRD_PARTY_DIR=$(abspath $(THIRD))

$(BUILD)/x86/CMakeCache.txt: | third_party
	cmake -S . -B $(BUILD)/x86 -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMEN_BUILD_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DLUMEN_THIRD_PARTY_DIR=$(abspath $(THIRD))

# The release team's packer, a Linux program.
build-native: third_party
	cmake -S tools/lumenpack -B $(BUILD)/native -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)/native -j $(JOBS)

build-x64: third_party $(BUILD)/x64/CMakeCache.txt
	cmake --build $(BUILD)/x64 -j $(JOBS)

build-x86: third_party $(BUILD)/x86/CMakeCache.txt
	cmake --build $(BUILD)/x86 -j $(JOBS)

build: build-native build-x64 build-x86

# A test that hangs fails after 15 minutes with its output so far (the longest takes about 3).
test: build
	cd $(BUILD)/x64 && ctest --output-on-failure -j 1 --timeout 900

demo: build-native build-x64
	@bash scripts/demo.sh $(BUILD)/x64

# The UI library's gallery: every control in its states, rendered headless under Wine to
# $(BUILD)/x64/gallery.png, with the layout-and-repaint benchmark against straight GDI.
gallery: build-x64
	@bash scripts/gallery.sh $(BUILD)/x64

# The wizard's pages, the leave question and the install photographed at 96, 144 and 192 DPI into
# $(BUILD)/x64/screens/ (about 30 s).
screens: build-native build-x64
	@bash scripts/dpi_screens.sh $(BUILD)/x64

# Extraction benchmark (figures, not a test): about 3 minutes once its payload is cached.
bench: third_party build-native
	@bash bench/run_bench.sh

# Install benchmark (figures, not a test): setup.exe -s against an NSIS installer of the same
# payload; about 2 minutes once both installers are cached, 6 more to build them.
bench-install: third_party build-native build-x64
	@bash bench/install_bench.sh

# Wizard benchmark (figures, not a test), of the 64-bit and the shipped 32-bit program: start to
# the wizard against a plain window and an NSIS wizard's first page, with the wineserver running
# and stopped; Enter to the end of an install (preloaded) against a silent install of the same
# demo installer; the whole interactive install against the NSIS wizard's. About 4 minutes.
bench-wizard: build-native build-x64 build-x86
	@bash bench/wizard_bench.sh $(BUILD)/x64

# Block-split benchmark (figures, not a test): the packer's block limits (128, 256, 512 MiB, none)
# on the benchmark payload and on Wine's PE libraries: entry size, unpacking on all cores and one
# block at a time, and the download time they mean; about 20 minutes the first time (packing).
bench-pack: build-native build-x64
	@bash bench/pack_bench.sh $(BUILD)/x64

# Update benchmark (figures, not a test): the delta installer of a modelled update of the
# benchmark payload against the full installer (size, packing time); patches of this setup
# program against an older commit's (the packer's, zstd --patch-from, bsdiff); the update's time
# and memory under Wine, delta against full. About 15 minutes the first time (the older program
# is built for both architectures, the payload packed twice), 2 once cached.
bench-delta: third_party build-native build-x64 build-x86
	@bash bench/delta_bench.sh

clean:
	rm -rf $(BUILD)/x64 $(BUILD)/x86 $(BUILD)/native
