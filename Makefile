# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup build run test bench screenshots package clean

all: build

setup:
	@sh scripts/setup

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-local $(BUILD)/morvantil

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@bash bench/run $(BUILD)

# A .deb of the program in $(BUILD). For production, a fresh BUILD folder and CMAKE_FLAGS
# naming the real servers (-DMORVANTIL_FTP_HOST=... -DMORVANTIL_UPDATE_BASE_URL=...).
package: build
	cd $(BUILD) && cpack -G DEB
	@ls -l $(BUILD)/*.deb

screenshots: build
	@bash scripts/screenshots screenshots

clean:
	rm -rf $(BUILD)
