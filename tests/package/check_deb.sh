#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh made: lintian finds no error, the package holds
# the programs and what the desktop needs, and the installed files pass their own validators.
# The package is unpacked into a staging folder, never installed on the machine.
#   tests/package/check_deb.sh [PACKAGE.deb]   (default: the one in dist/)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
deb="${1:-$(ls "$root"/dist/zentrova_*_amd64.deb 2>/dev/null | head -n 1)}"
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "check_deb: no package (run scripts/package.sh first)" >&2
  exit 1
fi
failed=0
fail() {
  echo "check_deb: FAIL: $*" >&2
  failed=1
}

echo "check_deb: lintian $deb"
lintian --fail-on error --info "$deb" || fail "lintian reports an error"

app_id=org.zentrova.Zentrova
expected=(
  usr/bin/zentrova usr/bin/zentrova-cli usr/bin/zentrova-sim
  usr/share/man/man1/zentrova.1.gz usr/share/man/man1/zentrova-cli.1.gz usr/share/man/man1/zentrova-sim.1.gz
  "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml"
  usr/share/bash-completion/completions/zentrova-cli
  usr/share/doc/zentrova/copyright usr/share/doc/zentrova/changelog.gz
)
sizes=(16 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${s}x${s}/apps/$app_id.png"); done
listing="$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||')"
for f in "${expected[@]}"; do
  grep -qxF "$f" <<<"$listing" || fail "the package lacks $f"
done
# Only the package's own files: nothing outside /usr, no tests, benchmarks or libraries.
if grep -v '^usr/' <<<"$listing" | grep -q .; then fail "files outside /usr: $(grep -v '^usr/' <<<"$listing")"; fi
if grep -E '_tests?$|_bench$|\.a$|/include/|/lib/' <<<"$listing"; then fail "the package holds files of the build"; fi

# apt could install it here: every dependency is a package the archive has (a dry run only).
apt-get install --simulate --no-install-recommends "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")" >/dev/null ||
  fail "apt cannot install the package's dependencies"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
# The changelog's newest entry and the AppStream data's newest release are this version.
version="$(dpkg-deb -f "$deb" Version)"
changelog_version="$(zcat "$stage/usr/share/doc/zentrova/changelog.gz" | sed -n '1s/^zentrova (\([^)]*\)).*/\1/p')"
[ "$changelog_version" = "$version" ] || fail "the changelog's newest entry is '$changelog_version', the package $version"
release="$(grep -o -m 1 '<release version="[^"]*"' "$stage/usr/share/metainfo/$app_id.metainfo.xml" | cut -d '"' -f 2)"
[ "$release" = "$version" ] || fail "the AppStream data's newest release is '$release', the package $version"
desktop-file-validate "$stage/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$stage/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
for page in "$stage"/usr/share/man/man1/*.1.gz; do
  warnings="$(zcat "$page" | groff -man -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "$(basename "$page") renders with warnings: $warnings"
done
for s in "${sizes[@]}"; do
  png="$stage/usr/share/icons/hicolor/${s}x${s}/apps/$app_id.png"
  file -b "$png" | grep -q "PNG image data, $s x $s," || fail "$png is not a $s x $s PNG: $(file -b "$png")"
done
# What bash offers after a few command lines, through bash-completion's own helpers.
completion="$(bash -c '
  source /usr/share/bash-completion/bash_completion
  source "$1"
  offer() {
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _zentrova_cli zentrova-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    echo "${COMPREPLY[*]}"
  }
  offer zentrova-cli re
  offer zentrova-cli report --
  offer zentrova-cli --lang ru set-config /dev/ttyUSB0 --event ""
  offer zentrova-cli record --
' sh "$stage/usr/share/bash-completion/completions/zentrova-cli" 2>&1)"
expected_completion="record report
--lang --simulate --help --json --plot --threshold --min-phase --gap
on off
--lang --simulate --help --count --seconds --poll --yes --reconnect --reconnect-timeout"
[ "$completion" = "$expected_completion" ] || fail "bash completion offers:
$completion
instead of:
$expected_completion"
# The stripped programs still start, and the window's help needs no display.
for p in zentrova zentrova-cli zentrova-sim; do
  "$stage/usr/bin/$p" --help >/dev/null || fail "$p --help"
done

if [ "$failed" -ne 0 ]; then
  echo "check_deb: the package has faults" >&2
  exit 1
fi
echo "check_deb: $deb passes"
