#!/usr/bin/env bash
# Installs the build tree into a throw-away prefix as `cmake --install` would for a user,
# checks every file a desktop, man and the programs expect, runs the installed programs
# from there (they must find their manual and klaxor beside themselves, not in the build
# tree), and packs the Debian package and checks its dependencies and contents.
# usage: install_check.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
for f in bin/vorlog bin/vorlog-cli bin/klaxor \
         share/applications/vorlog.desktop share/icons/hicolor/scalable/apps/vorlog.svg \
         share/mime/packages/vorlog.xml share/man/man1/vorlog-cli.1.gz \
         share/vorlog/help/en/webhelp/UserManual.htm share/vorlog/help/de/webhelp/UserManual.htm \
         share/vorlog/sounds/alarm.wav share/vorlog/udev/99-vorlog-ftdi-latency.rules \
         share/vorlog/limits/95-vorlog-realtime.conf; do
  [ -s "$prefix/$f" ] || fail "missing after install: $f"
done
for p in vorlog vorlog-cli klaxor; do [ -x "$prefix/bin/$p" ] || fail "not executable: bin/$p"; done
grep -qx 'Exec=vorlog %f' "$prefix/share/applications/vorlog.desktop" || fail "desktop entry: Exec"
grep -qx 'Icon=vorlog' "$prefix/share/applications/vorlog.desktop" || fail "desktop entry: Icon"
gzip -dc "$prefix/share/man/man1/vorlog-cli.1.gz" | grep -q '^\.TH VORLOG-CLI 1' || fail "man page"

# The installed programs, run from the prefix with a user path of their own.
export VORLOG_USER_PATH=$work/user QT_QPA_PLATFORM=offscreen
cd "$work"
version=$("$prefix/bin/vorlog-cli" --version) || fail "vorlog-cli --version"
echo "$version"
grep -q "$prefix/share/vorlog/help/en/webhelp" <<<"$version" || grep -q "$prefix/share/vorlog/help/de/webhelp" <<<"$version" \
  || fail "the installed vorlog-cli does not find the installed manual"
grep -q "$prefix/bin/klaxor" <<<"$version" || fail "the installed vorlog-cli does not find klaxor beside itself"
"$prefix/bin/vorlog-cli" record --simulate --duration 1 --quiet "$work/r.vrd" || fail "installed vorlog-cli record"
"$prefix/bin/vorlog-cli" info "$work/r.vrd" > /dev/null || fail "installed vorlog-cli info"
timeout 60 "$prefix/bin/vorlog" --simulate --exit-when-shown > "$work/shown.txt" || fail "installed vorlog did not start"
timeout 30 "$prefix/bin/klaxor" -mInstalled -n -x > /dev/null 2>&1 || fail "installed klaxor"

# The Debian package of the same tree.
if command -v dpkg-deb > /dev/null && command -v dpkg-shlibdeps > /dev/null; then
  cpack -G DEB -B "$work/pkg" --config "$build/CPackConfig.cmake" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
  deb=$(ls "$work"/pkg/vorlog_*.deb)
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for d in libqt6widgets6 libqt6serialport6 libqt6multimedia6 qt6-qpa-plugins libsimpleini1; do
    grep -q "$d" <<<"$depends" || fail "package does not depend on $d"
  done
  contents=$(dpkg-deb -c "$deb")
  for f in ./usr/bin/vorlog ./usr/bin/vorlog-cli ./usr/bin/klaxor ./usr/share/applications/vorlog.desktop \
           ./usr/share/vorlog/help/en/webhelp/UserManual.htm ./usr/share/man/man1/vorlog-cli.1.gz; do
    grep -q " $f\$" <<<"$contents" || fail "package lacks $f"
  done
else
  echo "dpkg-deb or dpkg-shlibdeps missing: package not checked"
fi
echo "install tree and package: OK"
