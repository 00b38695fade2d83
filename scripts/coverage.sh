#!/usr/bin/env bash
# Line coverage of the library by the GoogleTest suites: builds the test
# programs of the coverage preset, runs them and reports with gcovr every
# source outside tests/, bench/ and build/. Not part of CI. The per-file
# report lands in build/coverage/coverage.txt; the last line printed is the total.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh gcovr
# Coverage notes record the folder they were compiled in, so a cached object
# must never come from another checkout's build.
unset CCACHE_NOHASHDIR
export CCACHE_HASHDIR=1
cmake --preset coverage >/dev/null
targets=()
for dir in tests/*/; do
  compgen -G "$dir*.cpp" >/dev/null && targets+=("test_$(basename "$dir")")
done
cmake --build --preset coverage -j2 --target "${targets[@]}"
find build/coverage -name '*.gcda' -delete
ctest --preset coverage -j2
gcovr --root . --object-directory build/coverage --exclude-directories '.*/CMakeFiles/[0-9.]+' \
  --exclude 'tests/' --exclude 'bench/' --exclude 'build/' \
  --txt build/coverage/coverage.txt --print-summary
