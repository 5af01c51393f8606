#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once plainly, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

echo "== plain build"
bash scripts/build.sh build
# Beside its fixed seeds the oracle tries new ones each commit: a window that moves with the
# commit, so that CI keeps searching instead of proving the same seeds again.
commit=$(git rev-parse --short=8 HEAD 2>/dev/null || echo 0)
window_start=$((20000 + (16#$commit % 1000000) * 3))
export QS_ORACLE_WINDOW="$window_start-$((window_start + 2499))"
# What the new seeds find is printed (lines "BROKEN INVARIANT, new seed ..."), not failed on:
# the fixed seeds hold the build, a new finding becomes one of them once it is mended.
export QS_ORACLE_WINDOW_REPORT=1
(cd build && ctest --output-on-failure -j"$jobs" -E NewSeeds)
# A seed that crashes is such a finding too: it prints itself and its stack, and the search
# goes on after it.
window_end=$((window_start + 2499))
while :; do
    status=0
    (cd build && QS_ORACLE_WINDOW="$window_start-$window_end" \
        ./tests/test_oracle --gtest_filter='*NewSeeds*' 2>&1) | tee build/oracle-window.log || status=$?
    crashed=$(sed -n 's/^oracle: seed \([0-9]*\) crashed.*/\1/p' build/oracle-window.log | tail -1)
    [ "$status" -eq 0 ] && break
    [ -n "$crashed" ] || exit "$status"
    echo "CRASHED, new seed $crashed (QS_ORACLE_SEEDS=$crashed build/tests/test_oracle)"
    [ "$crashed" -lt "$window_end" ] || break
    window_start=$((crashed + 1))
done
unset QS_ORACLE_WINDOW QS_ORACLE_WINDOW_REPORT

echo "== desktop integration: menu entry, software-centre description, package contents"
desktop-file-validate data/*.desktop
appstreamcli validate --no-net data/*.metainfo.xml
rm -f build/qirnsplit_*.deb
(cd build && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log; exit 1; }
contents=$(dpkg -c build/qirnsplit_*.deb)
for path in usr/bin/qirnsplit usr/lib/qirnsplit/qirnsplit-window usr/share/applications/ usr/share/metainfo/ \
    usr/share/icons/hicolor/scalable/apps/ usr/share/man/man1/qirnsplit.1.gz \
    usr/share/bash-completion/completions/qirnsplit usr/share/doc/qirnsplit/copyright \
    usr/share/doc/qirnsplit/changelog.Debian.gz; do
    grep -q "\./$path" <<<"$contents" || { echo "the package lacks $path"; exit 1; }
done
# Errors fail the build; the warnings and notes are printed for whoever reads the log.
lintian --fail-on error --display-info build/qirnsplit_*.deb

echo "== sanitized build"
bash scripts/build.sh build-sanitize -DQS_SANITIZE=ON -DQS_GUI=ON
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j"$jobs")

echo "== fuzz runs (libFuzzer, a short fixed time per target)"
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DQS_FUZZ=ON -DQS_GUI=OFF -DQS_TESTS=OFF
(cd build-fuzz && ctest --output-on-failure -L fuzz)

echo "== benchmark smoke run (not a test: its ratios never fail the build)"
bash bench/run --size 20 --reps 1
