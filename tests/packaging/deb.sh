#!/usr/bin/env bash
# Builds the .deb from the build folder as ./apdesk.sh package does, then
# checks its contents and control data and lets lintian judge it: warnings
# are printed, errors fail.
set -uo pipefail
build=$1 out=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$out"
if ! log=$(cpack --config "$build/CPackConfig.cmake" -B "$out" 2>&1); then
  echo "FAIL: cpack: $log" >&2
  exit 1
fi
debs=("$out"/apdesk_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: cpack made no apdesk_*.deb in $out: $log" >&2; exit 1; }
deb=${debs[0]}
echo "== $(basename "$deb")"

contents=$(dpkg-deb -c "$deb")
echo "$contents"
for f in usr/bin/apdesk usr/bin/apctl usr/bin/apsim \
  usr/share/apdesk/Language/Default.ini usr/share/apdesk/Language/Chinese.ini \
  usr/lib/udev/rules.d/70-apdesk.rules usr/share/applications/org.apdesk.apdesk.desktop \
  usr/share/metainfo/org.apdesk.apdesk.metainfo.xml usr/share/icons/hicolor/scalable/apps/apdesk.svg \
  usr/share/icons/hicolor/48x48/apps/apdesk.png usr/share/man/man1/apctl.1.gz \
  usr/share/bash-completion/completions/apctl usr/share/doc/apdesk/copyright; do
  grep -q " \./$f\$" <<<"$contents" || fail "the package lacks /$f"
done
grep -q 'MPCFG.ini\|/Hj/\|staging' <<<"$contents" && fail "the package holds files of a run or a test"

# Dependencies come from the programs' shared libraries.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libqt6core6 libqt6widgets6 libqt6serialport6 libhidapi-hidraw0; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib"
done

# The udev rule is loaded by postinst, which is an executable script.
control=$(mktemp -d)
trap 'rm -rf "$control"' EXIT
dpkg-deb -e "$deb" "$control"
[ -x "$control/postinst" ] || fail "no executable postinst"
grep -q 'udevadm control --reload-rules' "$control/postinst" || fail "postinst does not reload the udev rules"
sh -n "$control/postinst" || fail "postinst is not valid sh"

echo "== lintian"
lint=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1)
rc=$?
echo "${lint:-(no tags)}"
[ $rc -eq 0 ] || fail "lintian reports errors (exit $rc)"

[ $failures -eq 0 ] && echo "$(basename "$deb"): contents, dependencies and lintian pass"
exit $((failures > 0))
