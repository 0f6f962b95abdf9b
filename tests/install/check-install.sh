#!/usr/bin/env bash
# check-install.sh Tree|Package BUILD_DIR VERSION
set -euo pipefail
check=$1 build=$2 version=$3
id=net.quillmoor.Globewall
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The files every install holds, relative to its prefix.
expected_files() {
  echo bin/Globewall
  echo share/applications/$id.desktop
  echo share/metainfo/$id.metainfo.xml
  echo share/icons/hicolor/scalable/apps/$id.svg
  for s in 16 22 24 32 48 64 128 256; do echo share/icons/hicolor/${s}x$s/apps/$id.png; done
  echo share/man/man1/Globewall.1.gz
  echo share/doc/globewall/copyright
  echo share/doc/globewall/changelog.gz
}

# install PREFIX DESTDIR
install_into() { DESTDIR=$2 cmake --install "$build" --prefix "$1" >/dev/null; }

# The files below a folder, relative to it, sorted.
files_below() { (cd "$1" && find . -type f -o -type l | sed 's#^\./##' | sort); }

case $check in
Tree)
  prefix=/opt/globewall-test
  install_into $prefix "$work/root"
  root=$work/root$prefix
  diff <(expected_files | sort) <(files_below "$root") || fail "the install tree differs from the list above"
  [ -x "$root/bin/Globewall" ] || fail "the program is not executable"

  desktop=$root/share/applications/$id.desktop
  grep -qx "Exec=$prefix/bin/Globewall --show" "$desktop" || fail "Exec does not name the installed program: $(grep ^Exec "$desktop")"
  grep -qx "Icon=$id" "$desktop" || fail "Icon is not $id"
  grep -qx "Categories=Utility;" "$desktop" || fail "Categories is not Utility;"
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net --pedantic "$root/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
  grep -q "<release version=\"$version\"" "$root/share/metainfo/$id.metainfo.xml" || fail "no release $version"

  # Each picture has its folder's size and a transparent corner around the globe.
  for s in 16 22 24 32 48 64 128 256; do
    got=$(identify -format '%wx%h %[channels]' "$root/share/icons/hicolor/${s}x$s/apps/$id.png")
    [[ $got == "${s}x$s srgba"* ]] || fail "icon ${s}x$s is $got"
  done
  svg=$root/share/icons/hicolor/scalable/apps/$id.svg
  python3 -c "import sys, xml.dom.minidom as m; m.parse(sys.argv[1])" "$svg" || fail "the SVG icon is not well-formed XML"
  grep -q '<path fill="#40a040" d="M' "$svg" || fail "the SVG icon has no land"

  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/Globewall.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page warnings: $warnings"
  LC_ALL=C MANWIDTH=80 man -l "$root/share/man/man1/Globewall.1.gz" 2>/dev/null | grep -q -- '--render-now' \
    || fail "the man page lacks --render-now"

  [ "$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$root/bin/Globewall" --version)" = "Globewall $version" ] \
    || fail "the installed program's --version"
  ;;
Package)
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null || fail "cpack"
  deb=$(ls "$work"/out/globewall_${version}_*.deb) || fail "no package named globewall_${version}_*.deb"

  depends=$(dpkg-deb -f "$deb" Depends)
  for needed in xplanet xplanet-images libqt6widgets6 libqt6dbus6 libcurl4; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
  done

  # lintian: no errors. Warnings are printed for the reader.
  lintian --allow-root --fail-on error "$deb" || fail "lintian reports errors"

  # The package holds exactly the tree `cmake --install --prefix /usr` makes.
  install_into /usr "$work/tree"
  diff <(files_below "$work/tree") <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's#^\./##' | sort) \
    || fail "package contents differ from the install tree"

  # Installed into a throwaway root and removed again: the menu entry starts the installed
  # program, and removal leaves nothing but dpkg's own records.
  root=$work/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status"
  dpkgr() { dpkg --root="$root" --log="$work/dpkg.log" --force-not-root --force-depends --force-script-chrootless "$@"; }
  dpkgr -i "$deb" >"$work/dpkg-i.txt" 2>&1 || { cat "$work/dpkg-i.txt"; fail "dpkg -i"; }
  exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop")
  [ "$exec_line" = "/usr/bin/Globewall --show" ] || fail "Exec=$exec_line"
  [ "$(env -u DISPLAY QT_QPA_PLATFORM= "$root/usr/bin/Globewall" --version)" = "Globewall $version" ] || fail "the packaged program's --version"
  dpkgr -r globewall >/dev/null || fail "dpkg -r"
  left=$(cd "$root" && find . -type f ! -path './var/lib/dpkg/*')
  [ -z "$left" ] || fail "left after removal: $left"
  ;;
*) fail "unknown check $check" ;;
esac
echo "install.$check passed"
