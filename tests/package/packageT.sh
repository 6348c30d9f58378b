#!/usr/bin/env bash
# The Debian package checked from the outside, one check per CTest test:
#   packageT.sh build    WORK VERSION BUILD_DIR SOURCE_DIR  packs BUILD_DIR into WORK and
#                                                          unpacks it into WORK/root
#   packageT.sh contents WORK VERSION   every file, owner and mode; the control fields
#   packageT.sh depends  WORK VERSION   Depends names the package of every library linked
#   packageT.sh lv2      WORK VERSION   lv2info finds both plug-ins in the unpacked bundle,
#                                      lv2apply runs them
#   packageT.sh vst      WORK VERSION   the unpacked tessarine-host loads both modules and
#                                      shows its --help
#   packageT.sh manpage  WORK VERSION   the manual page renders cleanly and names exactly
#                                      the commands and options of --help
#   packageT.sh lintian  WORK VERSION   lintian finds no error and no warning
set -euo pipefail

check=$1
work=$(realpath -m "$2")
version=$3
deb=$work/tessarine_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb
root=$work/root
host=$root/usr/bin/tessarine-host
uri=https://quorvalin.org/plugins/tessarine
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

need() {
  for tool in "$@"; do
    command -v "$tool" > /dev/null || { echo "FAIL: $tool not found (bash scripts/setup.sh installs it)" >&2; exit 1; }
  done
}

# The files of the package; every folder above them is in it too.
files=(
  usr/bin/tessarine-host
  usr/lib/lv2/tessarine.lv2/manifest.ttl
  usr/lib/lv2/tessarine.lv2/tessarine.ttl
  usr/lib/lv2/tessarine.lv2/tessarine_dsp.so
  usr/lib/lv2/tessarine.lv2/tessarine_ui.so
  usr/lib/vst/tessarine.so
  usr/lib/vst/tessarine-hq.so
  usr/share/doc/tessarine/README.md
  usr/share/doc/tessarine/changelog.gz
  usr/share/doc/tessarine/copyright
  usr/share/man/man1/tessarine-host.1.gz
)

case $check in
  build)
    need dpkg-deb dpkg-shlibdeps dpkg-gencontrol strip
    build=$4
    source=$5
    rm -rf "$work"
    made=$(bash "$source/packaging/makedeb.sh" "$build" "$version" "$work")
    [ "$made" = "$deb" ] || fail "makedeb.sh made '$made', not '$deb'"
    dpkg -x "$deb" "$root"
    ;;

  contents)
    # "mode owner path" of every entry, against the list above: programs 0755, other
    # files 0644, folders 0755, all owned by root.
    expected=$(
      {
        echo "drwxr-xr-x root/root ./"
        for file in "${files[@]}"; do
          dir=$(dirname "$file")
          while [ "$dir" != . ]; do
            echo "drwxr-xr-x root/root ./$dir/"
            dir=$(dirname "$dir")
          done
          case $file in
            usr/bin/*) echo "-rwxr-xr-x root/root ./$file" ;;
            *) echo "-rw-r--r-- root/root ./$file" ;;
          esac
        done
      } | LC_ALL=C sort -u
    )
    found=$(dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | LC_ALL=C sort)
    if [ "$found" != "$expected" ]; then
      fail "the package's entries differ from the expected ones (< expected, > found):"
      diff <(echo "$expected") <(echo "$found") >&2 || true
    fi
    for field in Package:tessarine "Version:$version" \
                 "Architecture:$(dpkg-architecture -qDEB_HOST_ARCH)"; do
      value=$(dpkg-deb -f "$deb" "${field%%:*}")
      [ "$value" = "${field#*:}" ] || fail "${field%%:*} is '$value', not '${field#*:}'"
    done
    ;;

  depends)
    # Each library a binary names (DT_NEEDED), where the loader finds it, the package
    # that owns that file: that package must be in Depends.
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    # The package names alone, one a line (versions and alternatives dropped).
    names=$(sed -E 's/ *\([^)]*\)//g; s/ *[,|] */\n/g' <<< "$depends")
    declare -A owners
    for file in "${files[@]}"; do
      case $file in *.so | usr/bin/*) ;; *) continue ;; esac
      loaded=$(ldd "$root/$file")
      for soname in $(readelf -d "$root/$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        # "name => path (address)", or for the dynamic loader "path (address)".
        path=$(awk -v name="$soname" '
          $1 == name { print $3 }
          substr($1, length($1) - length(name)) == "/" name { print $1 }' <<< "$loaded")
        [ -n "$path" ] || { fail "$file: $soname not found by the loader"; continue; }
        [ -z "${owners[$path]:-}" ] || continue  # already checked
        owner=""
        for candidate in "$path" "$(realpath "$path")" "${path#/usr}" "/usr$path"; do
          owner=$(dpkg-query -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1) && [ -n "$owner" ] && break
        done
        if [ -z "$owner" ]; then
          fail "$file: no package owns $path ($soname)"
        elif ! grep -qxF -- "$owner" <<< "$names"; then
          fail "$file links $soname of $owner, which Depends does not name"
        fi
        owners[$path]=$owner
      done
    done
    ;;

  lv2)
    # Only the unpacked tree on the search path: both plug-ins, their binaries and
    # their editor must be found there, and the processor must run (lv2apply, on a
    # sine the unpacked tessarine-host writes).
    need lv2info lv2apply
    bundle=file://$root/usr/lib/lv2/tessarine.lv2/
    "$host" render "$root/usr/lib/vst/tessarine.so" -o "$work/sine.wav" > /dev/null
    for plugin in "$uri" "$uri-hq"; do
      if ! info=$(LV2_PATH=$root/usr/lib/lv2 lv2info "$plugin" 2>&1); then
        fail "lv2info $plugin: $info"
        continue
      fi
      for line in "Bundle: *${bundle}\$" "Binary: *${bundle}tessarine_dsp.so\$" \
                  "Binary: *${bundle}tessarine_ui.so\$" "^[[:space:]]*$plugin#ui\$"; do
        grep -q -- "$line" <<< "$info" || fail "lv2info $plugin shows no line matching '$line':"$'\n'"$info"
      done
      for binary in $(sed -n 's|.*Binary: *file://||p' <<< "$info"); do
        [ -f "$binary" ] || fail "$plugin: $binary is not in the package"
      done
      LV2_PATH=$root/usr/lib/lv2 lv2apply -i "$work/sine.wav" -o "$work/lv2apply.wav" "$plugin" ||
        fail "lv2apply $plugin failed"
    done
    ;;

  vst)
    for module in tessarine:+tessarine tessarine-hq:"+tessarine HQ"; do
      file=$root/usr/lib/vst/${module%%:*}.so
      if ! info=$("$host" info "$file" 2>&1); then
        fail "tessarine-host info $file: $info"
      elif ! grep -qx "Product: *${module#*:}" <<< "$info"; then
        fail "tessarine-host info $file does not show the product '${module#*:}':"$'\n'"$info"
      fi
    done
    help=$("$host" --help) || fail "tessarine-host --help failed"
    grep -q "^Usage:" <<< "$help" || fail "tessarine-host --help shows no usage: $help"
    ;;

  manpage)
    need man col
    page=$root/usr/share/man/man1/tessarine-host.1.gz
    # As lintian renders it, with every warning of man and groff shown.
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
               man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null) || fail "man cannot render $page"
    [ -z "$warnings" ] || fail "man warns about $page: $warnings"
    text=$(MANWIDTH=200 man -E ascii -l "$page" 2>/dev/null | col -b)
    help=$("$host" --help)
    # The commands: those of the usage, of the synopsis and the entries under COMMANDS.
    section() { awk -v name="$1" '/^[A-Z]/ { inside = ($0 == name); next } inside' <<< "$text"; }
    commands=$(sed -n 's/^  tessarine-host \([a-z][a-z]*\).*/\1/p' <<< "$help" | LC_ALL=C sort -u)
    synopsis=$(section SYNOPSIS | sed -n 's/^ *tessarine-host \([a-z][a-z]*\).*/\1/p' | LC_ALL=C sort -u)
    entries=$(section COMMANDS | sed -n 's/^       \([a-z][a-z]*\) .*/\1/p' | LC_ALL=C sort -u)
    [ "$synopsis" = "$commands" ] || fail "the synopsis shows the commands" $synopsis "; --help" $commands
    [ "$entries" = "$commands" ] || fail "COMMANDS describes" $entries "; --help has" $commands
    # The options, both ways: long ones anywhere, short ones where an option is listed.
    options() { grep -oE -- '--[a-z][a-z-]*|(^|[ ,])-[a-z]\b' | sed -E 's/^[ ,]//' | LC_ALL=C sort -u; }
    fromHelp=$(options <<< "$help")
    # "--name" is the page's placeholder for any option written as --name=value.
    fromPage=$(options <<< "$text" | grep -vx -- --name)
    for option in $fromHelp; do
      grep -qxF -- "$option" <<< "$fromPage" || fail "the manual page does not mention $option of --help"
    done
    for option in $fromPage; do
      grep -qxF -- "$option" <<< "$fromHelp" || fail "the manual page mentions $option, which --help does not"
    done
    ;;

  lintian)
    need lintian
    lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"
    ;;

  *)
    echo "packageT.sh: unknown check '$check'" >&2
    exit 2
    ;;
esac

((failures == 0))
