#!/usr/bin/env bash
# The Debian package as `make package` makes it, from the build already made: the programs,
# tool, manual pages, desktop entry, icon and docs in place; Depends computed from the
# libraries (and no build or test library in it); lintian without errors where it is installed.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/cuesearch_*_*.deb) || fail "no cuesearch_<version>_<arch>.deb"
dpkg-deb -c "$deb" | awk '{print $1, $6}' >"$work/contents"
for path in usr/bin/cuesearch usr/bin/cuesearch-export usr/bin/cuesearch-testcolor usr/bin/cuesearch-make-sounds; do
  grep -q "^-rwxr-xr-x \./$path\$" "$work/contents" || fail "$path missing or not executable"
done
for path in usr/share/applications/cuesearch.desktop usr/share/icons/hicolor/scalable/apps/cuesearch.svg usr/share/icons/hicolor/64x64/apps/cuesearch.png \
            usr/share/doc/cuesearch/copyright usr/share/doc/cuesearch/changelog.gz usr/share/doc/cuesearch/README.md \
            usr/share/man/man1/cuesearch.1.gz usr/share/man/man1/cuesearch-export.1.gz \
            usr/share/man/man1/cuesearch-testcolor.1.gz usr/share/man/man1/cuesearch-make-sounds.1.gz; do
  grep -q "^-rw-r--r-- \./$path\$" "$work/contents" || fail "$path missing"
done
! grep -Eq '_test|bench|audio_onset|capture|\.a$|/include/' "$work/contents" || fail "build, test or bench files packed: $(grep -E '_test|bench|audio_onset|capture' "$work/contents")"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in qt6-qpa-plugins libqt6widgets6 libpulse0 libsndfile1 libsoxr0 libxcb-present0 libx11-6; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
[[ $depends != *-dev* && $depends != *gtest* ]] || fail "Depends names a build package: $depends"
dpkg-deb -x "$deb" "$work/root"
! readelf -S "$work/root/usr/bin/cuesearch" | grep -q '\.symtab' || fail "cuesearch not stripped"
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$deb" >"$work/lintian" 2>/dev/null || true
  ! grep '^E:' "$work/lintian" || fail "lintian errors"
fi
echo "package: ok ($(basename "$deb"))"
