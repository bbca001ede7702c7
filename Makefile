# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The Windows cross build, and the Windows libraries it needs: their archive or an
# unpacked prefix. Found by themselves when scripts/windows-deps has made them, or when
# the shared folder beside the project holds the prebuilt archive.
WINBUILD ?= build-windows
WINDOWS_DEPS_ARCHIVE = mingw64-qt6.4.2-curl7.88.1-static.tar.xz
MORVANTIL_WINDOWS_DEPS ?= $(firstword $(wildcard $(HOME)/.cache/morvantil/windows-deps/$(WINDOWS_DEPS_ARCHIVE) \
                                                 ../shared/windows-deps/$(WINDOWS_DEPS_ARCHIVE)))
# `make package` builds apart, without the version check at start (see README).
PACKAGE_BUILD ?= build-package

.PHONY: all setup build run test windows-test bench screenshots package windows windows-installer clean

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
	@$(MAKE) --no-print-directory windows-test

# The Windows build of every test, under Wine; skipped, in one line, without the libraries.
windows-test:
	@if [ -z "$(MORVANTIL_WINDOWS_DEPS)" ]; then \
	    echo "make test: Windows part skipped: no Windows libraries (MORVANTIL_WINDOWS_DEPS=<archive or prefix>, or run scripts/windows-deps)"; \
	else \
	    bash scripts/windows-build "$(WINBUILD)" "$(MORVANTIL_WINDOWS_DEPS)" "$(JOBS)" all $(CMAKE_FLAGS) && \
	    cd $(WINBUILD) && ctest --output-on-failure -j $(JOBS); \
	fi

# Morvantil.exe, cross-built with MinGW-w64. Both Windows targets sign what they make when
# given MORVANTIL_SIGN_PKCS12= and MORVANTIL_SIGN_PASSWORD_FILE= (MORVANTIL_SIGN_TIMESTAMP_URL=
# optional), which scripts/windows-build reads at every build.
windows: setup
	@bash scripts/windows-build "$(WINBUILD)" "$(MORVANTIL_WINDOWS_DEPS)" "$(JOBS)" morvantil $(CMAKE_FLAGS)
	@ls -l $(WINBUILD)/Morvantil.exe

# $(WINBUILD)/Morvantil-<version>-setup.exe, made with NSIS.
windows-installer: setup
	@bash scripts/windows-build "$(WINBUILD)" "$(MORVANTIL_WINDOWS_DEPS)" "$(JOBS)" windows_installer $(CMAKE_FLAGS)
	@ls -l $(WINBUILD)/Morvantil-*-setup.exe
	@grep -q '^MORVANTIL_UPDATE_PUBLIC_KEY:STRING=$$' $(WINBUILD)/CMakeCache.txt && \
	    echo "windows-installer: built with the development update key of $(WINBUILD)/update-key, not the region's: for trying updates here, never for the offices" || true

bench: build
	@bash bench/run $(BUILD)
	@if [ -z "$(MORVANTIL_WINDOWS_DEPS)" ]; then \
	    echo "make bench: Windows part skipped: no Windows libraries (MORVANTIL_WINDOWS_DEPS=<archive or prefix>)"; \
	else \
	    bash scripts/windows-build "$(WINBUILD)" "$(MORVANTIL_WINDOWS_DEPS)" "$(JOBS)" morvantil $(CMAKE_FLAGS) >/dev/null && \
	    echo "== Windows" && bash bench/windows/run $(WINBUILD); \
	fi

# A .deb of the program, built in $(PACKAGE_BUILD). For production, CMAKE_FLAGS naming the
# real servers (-DMORVANTIL_FTP_HOST=... -DMORVANTIL_UPDATE_BASE_URL=...).
# The package never updates itself, whatever CMAKE_FLAGS or an older configure said.
package: setup
	@[ -f $(PACKAGE_BUILD)/CMakeCache.txt ] || cmake -S . -B $(PACKAGE_BUILD) -DBUILD_TESTING=OFF $(CMAKE_FLAGS)
	cmake -S . -B $(PACKAGE_BUILD) -DMORVANTIL_SELF_UPDATE=OFF >/dev/null
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls -l $(PACKAGE_BUILD)/*.deb

screenshots: build
	@bash scripts/screenshots screenshots

clean:
	rm -rf $(BUILD) $(WINBUILD) $(PACKAGE_BUILD)
