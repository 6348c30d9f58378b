#!/usr/bin/env bash
# Builds the Debian package tessarine_VERSION_ARCH.deb from a built tree and prints
# its path:
#   bash packaging/makedeb.sh BUILD_DIR VERSION OUT_DIR
#
# The files are those the tree's install rules put under /usr (cmake --install
# --prefix /usr into a staging root, so the package always holds what an install
# holds), stripped as dh_strip strips them, with the manual page, the README, the
# copyright file and a changelog beside them. Depends comes from dpkg-shlibdeps on
# the binaries; dpkg-gencontrol writes the control file from packaging/control. The
# staging area is OUT_DIR/tessarine-deb, made afresh on every run.
#
# File dates are SOURCE_DATE_EPOCH, or else the date of the last commit, so the same
# tree packs to the same bytes.
set -euo pipefail

if (($# != 3)); then
  echo "usage: makedeb.sh BUILD_DIR VERSION OUT_DIR" >&2
  exit 2
fi
build=$(realpath "$1")
version=$2
mkdir -p "$3"
out=$(realpath "$3")
packaging=$(cd "$(dirname "$0")" && pwd)
source=$(dirname "$packaging")

work=$out/tessarine-deb
root=$work/debian/tessarine
rm -rf "$work"
mkdir -p "$root/DEBIAN"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

# The plug-ins and the tool, where the install rules put them under /usr.
if ! log=$(DESTDIR=$root cmake --install "$build" --prefix /usr 2>&1); then
  echo "$log" >&2
  echo "makedeb: cmake --install $build failed" >&2
  exit 1
fi

# Shared objects lose every symbol the dynamic linker does not need, executables
# their symbol tables; both lose the compiler's notes (as dh_strip does).
while IFS= read -r -d '' file; do
  case $file in
    *.so) strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file" ;;
    "$root"/usr/bin/*) strip --remove-section=.comment --remove-section=.note "$file" ;;
  esac
done < <(find "$root/usr" -type f -print0)

doc=$root/usr/share/doc/tessarine
install -D -m 0644 "$source/README.md" "$doc/README.md"
install -D -m 0644 "$packaging/copyright" "$doc/copyright"
mkdir -p "$root/usr/share/man/man1"
gzip -9n < "$packaging/tessarine-host.1" > "$root/usr/share/man/man1/tessarine-host.1.gz"

# The package is native (no Debian revision), so its one changelog is changelog.gz;
# its single entry is made from the version.
maintainer=$(sed -n 's/^Maintainer: //p' "$packaging/control")
cat > "$work/debian/changelog" <<EOF
tessarine ($version) unstable; urgency=medium

  * Release $version.

 -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")
EOF
gzip -9n < "$work/debian/changelog" > "$doc/changelog.gz"

# Root owns everything (dpkg-deb --root-owner-group); directories and programs are
# 0755, every other file 0644, shared objects included, as dh_fixperms leaves them.
find "$root" -type d -exec chmod 0755 {} +
find "$root/usr" -type f -exec chmod 0644 {} +
find "$root/usr/bin" -type f -exec chmod 0755 {} +

# Depends from the libraries the binaries link, then the control file.
cp "$packaging/control" "$work/debian/control"
binaries=()
while IFS= read -r -d '' file; do
  binaries+=("-e$file")
done < <(find "$root/usr" -type f \( -name '*.so' -o -path "$root/usr/bin/*" \) -print0 | sort -z)
(
  cd "$work"
  dpkg-shlibdeps -Tdebian/substvars "${binaries[@]}"
  dpkg-gencontrol -ptessarine -v"$version" -Tdebian/substvars -Pdebian/tessarine \
    -fdebian/files
)
(cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=$out/tessarine_${version}_${arch}.deb
dpkg-deb --root-owner-group --build "$root" "$deb" > /dev/null
echo "$deb"
