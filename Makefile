# Quorlen — top-level commands. A fresh Debian 12 machine needs only these.
BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
JOBS      ?= $(shell nproc)
PREFIX    ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: all deps configure build test test-asan run install package format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	$(MAKE) build
	scripts/run-tests.sh $(BUILD_DIR)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLEN_SANITIZE=ON -DQUORLEN_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	scripts/run-tests.sh $(ASAN_DIR)

run: deps
	$(MAKE) build
	scripts/run.sh $(BUILD_DIR)

# The programs, the desktop entry and the icon under $(PREFIX).
install: deps
	$(MAKE) build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package $(BUILD_DIR)/quorlen_<version>_<arch>.deb; install it
# with sudo apt install ./$(BUILD_DIR)/quorlen_*.deb.
package: deps
	$(MAKE) build
	cmake --build $(BUILD_DIR) --target package

format:
	find src tests bench plugins fuzz -name '*.h' -o -name '*.cpp' 2>/dev/null | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
