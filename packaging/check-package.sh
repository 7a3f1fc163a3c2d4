#!/usr/bin/env bash
# Checks a built package: its contents, both validators on the files it installs, and that the
# programs unpacked from it start (--help).
#   packaging/check-package.sh build/nord5_<version>_<arch>.deb
set -euo pipefail
deb="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/\1:/p'
dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$'
dpkg-deb --extract "$deb" "$tmp"
for f in "$tmp"/usr/share/applications/*.desktop; do desktop-file-validate "$f"; done
for f in "$tmp"/usr/share/metainfo/*.xml; do appstreamcli validate --no-net "$f" >/dev/null; done
for f in "$tmp"/usr/share/man/man1/*.1.gz; do man -l "$f" >/dev/null 2>&1 || gzip -t "$f"; done
for p in nord5-config nord5-cli nord5-meter-sim; do
  QT_QPA_PLATFORM=offscreen "$tmp/usr/bin/$p" --help >/dev/null
done
"$tmp/usr/bin/nord5-config" --version
echo "$deb: contents, desktop entry, metainfo and programs checked"
