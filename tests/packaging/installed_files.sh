#!/usr/bin/env bash
# The installed layout holds every file a desktop expects, and Debian's
# validators accept the desktop entry, the AppStream metainfo and the
# manual pages.
set -uo pipefail
usr=$1 source=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

expected=(
  bin/apdesk bin/apctl bin/apsim
  share/apdesk/Language/Default.ini share/apdesk/Language/Chinese.ini
  lib/udev/rules.d/70-apdesk.rules
  share/applications/org.apdesk.apdesk.desktop
  share/metainfo/org.apdesk.apdesk.metainfo.xml
  share/icons/hicolor/scalable/apps/apdesk.svg
  share/man/man1/apdesk.1.gz share/man/man1/apctl.1.gz share/man/man1/apsim.1.gz
  share/bash-completion/completions/apctl
  share/doc/apdesk/copyright share/doc/apdesk/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/apdesk.png")
done
for f in "${expected[@]}"; do
  [ -s "$usr/$f" ] || fail "$f is missing or empty"
done
for f in bin/apdesk bin/apctl bin/apsim; do
  [ -x "$usr/$f" ] || fail "$f is not executable"
done

# The installed files are the shipped ones, not stale copies.
cmp -s "$usr/lib/udev/rules.d/70-apdesk.rules" "$source/udev/70-apdesk.rules" ||
  fail "the installed udev rule differs from udev/70-apdesk.rules"
for f in Default.ini Chinese.ini; do
  cmp -s "$usr/share/apdesk/Language/$f" "$source/resources/Language/$f" || fail "installed $f differs"
done

# Each PNG is a PNG of its size.
for size in 16 22 24 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/apdesk.png
  got=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
  [ "$got" = "${size}x${size}" ] || fail "$png is $got, not ${size}x${size}"
done

# The desktop entry starts the installed program with the installed icon.
desktop=$usr/share/applications/org.apdesk.apdesk.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate warns: $out"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$usr/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -s "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no installed SVG"

metainfo=$usr/share/metainfo/org.apdesk.apdesk.metainfo.xml
out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
grep -q '<launchable type="desktop-id">org.apdesk.apdesk.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch the installed desktop entry"
grep -q '@PROJECT_VERSION@' "$metainfo" && fail "the metainfo's release version was not filled in"

# Manual pages: groff reports no problems, and each names its program.
for page in apdesk apctl apsim; do
  file=$usr/share/man/man1/$page.1.gz
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "^NAME" || fail "man $page renders no NAME"
  zcat "$file" | grep -q '@PROJECT_VERSION@' && fail "man $page: version not filled in"
done

# Every parameter name apctl knows is in its manual page.
names=$("$usr/bin/apctl" --help | sed -n '/^parameter names and values:/,/^$/{s/^  \([a-z][a-z0-9_]*\)  .*/\1/p}')
[ -n "$names" ] || fail "apctl --help lists no parameter names"
page=$(zcat "$usr/share/man/man1/apctl.1.gz")
for n in $names; do
  grep -q "^\.B $n\$" <<<"$page" || fail "man apctl does not list the parameter $n"
done

[ $failures -eq 0 ] && echo "installed files complete and valid under $usr"
exit $((failures > 0))
