# Two commands do everything: `make run` and `make test`.
BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= 2
CMAKE_FLAGS = -DCMAKE_BUILD_TYPE=Release -DKELVRA_WERROR=ON

.PHONY: all build run test test-plain test-asan windows test-windows fuzz lint bench install package test-package clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target kelvra

run: build
	./$(BUILD)/kelvra

# Installs what the tests use (tools/packages.txt), then runs the whole
# suite, and beside it the whole suite again under the sanitizers: most
# cases wait on a clock, a terminal or a child, so the two share the cores
# well. Each half runs to its end whatever the other does, and its report
# comes out whole once it is done. A check whose tool is missing fails.
test:
	bash tools/install-deps.sh run test
	$(MAKE) --no-print-directory -k -j2 --output-sync=target test-plain test-asan

test-plain: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan:
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DKELVRA_WERROR=ON -DKELVRA_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

windows:
	bash tools/windows-build.sh

test-windows:
	bash tools/test-windows.sh

fuzz:
	bash tools/fuzz.sh

# Static analysis, every finding an error (a finding that must stay is
# suppressed at its line, saying why): clang-tidy (.clang-tidy) beside the
# compiler in a build of the program and the fuzz target, and of the
# Windows console against the MinGW-w64 headers; cppcheck; the layout of
# every tracked .cpp and .h file (.clang-format).
TIDY = clang-tidy-14;--quiet
lint:
	bash tools/install-deps.sh lint
	cmake -S . -B build-lint "-DCMAKE_CXX_CLANG_TIDY=$(TIDY)" > /dev/null
	cmake --build build-lint -j $(JOBS) --clean-first --target kelvra kelvra_fuzz
	cmake --no-warn-unused-cli -S . -B build-lint-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKELVRA_TESTS=OFF \
	  "-DCMAKE_CXX_CLANG_TIDY=$(TIDY);--extra-arg=--target=x86_64-w64-mingw32;--extra-arg=-I$(CURDIR)/src" > /dev/null
	cmake --build build-lint-windows --clean-first --target src/console/console_windows.cpp.obj
	cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --enable=warning,style,performance,portability \
	  --inline-suppr --suppress=missingIncludeSystem -I src --template='{file}:{line}:{column}: {severity}: {message} [{id}]' src fuzz
	clang-format-14 --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

# Installs the bench group of tools/packages.txt, then prints the table of
# figures; it fails only when it cannot build or run, never on timing.
bench:
	bash tools/install-deps.sh bench
	bash tools/bench.sh

# The release files in build-package/: the .deb, the Windows installer and
# zip, SHA256SUMS; then the check that installs and removes them for real.
package:
	bash tools/install-deps.sh run windows package
	JOBS=$(JOBS) bash tools/package.sh

test-package: package
	bash tools/test-package.sh

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) build-windows build-fuzz build-bench build-lint build-lint-windows build-package
