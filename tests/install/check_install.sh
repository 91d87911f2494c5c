#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks the tree as a user
# would meet it: the files are where the desktop, man and the shell look,
# the desktop entry and metainfo validate, the man pages render, the manuals
# are real, and the installed programs find their data from any directory
# with an empty home.
#
#   check_install.sh BUILD_DIR [deb]
# With "deb", builds the Debian package instead and checks its contents.
set -uo pipefail

build=$(cd "$1" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zar-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
passes=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@" >"$scratch/out" 2>&1; then
    passes=$((passes + 1))
  else
    failures=$((failures + 1))
    echo "FAIL: $what"
    sed 's/^/    /' "$scratch/out" | head -20
  fi
}
has() { command -v "$1" >/dev/null 2>&1; }
gui=0; [ -x "$build/zarlink" ] && gui=1

# The files every install must hold, relative to the prefix.
expected=(
  bin/zarctl
  share/zarlink/Message.E share/zarlink/Message.C share/zarlink/Customer.ini
  share/zarlink/102ParK.txt share/zarlink/Z102AddE.Ini
  share/man/man1/zarctl.1 share/man/man1/zarlink.1
  share/bash-completion/completions/zarctl
  share/doc/zarlink/examples/60-zarlink-serial.rules
  share/doc/zarlink/copyright
)
if [ $gui = 1 ]; then
  expected+=(
    bin/zarlink
    share/applications/zarlink.desktop share/metainfo/zarlink.metainfo.xml
    share/icons/hicolor/scalable/apps/zarlink.svg
    share/icons/hicolor/48x48/apps/zarlink.png share/icons/hicolor/256x256/apps/zarlink.png
  )
  [ -f "$build/run/zarlink-manual.pdf" ] && expected+=(share/zarlink/zarlink-manual.pdf share/zarlink/zarlink-manual-zh.pdf)
fi

if [ "${2:-}" = deb ]; then
  # ---- The Debian package: builds, is named as Debian names it, holds the tree.
  if ! has dpkg-deb || ! has dpkg-shlibdeps; then echo "SKIP: no dpkg tools"; exit 0; fi
  check "cpack builds the package" bash -c "cd '$scratch' && cpack --config '$build/CPackConfig.cmake' -G DEB -B '$scratch/pkg'"
  deb=$(ls "$scratch"/pkg/zarlink_*_amd64.deb 2>/dev/null | head -1)
  check "the package is named zarlink_<version>_amd64.deb" test -n "$deb"
  if [ -n "$deb" ]; then
    dpkg-deb --contents "$deb" > "$scratch/contents"
    for f in "${expected[@]}"; do
      check "the package holds /usr/$f" grep -q " \./usr/$f\$" "$scratch/contents"
    done
    dpkg-deb --field "$deb" Depends > "$scratch/depends"
    check "its dependencies come from dpkg-shlibdeps (libc6, libstdc++6)" grep -q "libc6" "$scratch/depends"
    [ $gui = 1 ] && check "it depends on Qt's widgets library" grep -q "libqt6widgets6" "$scratch/depends"
    cp "$deb" "$build/" 2>/dev/null || true
  fi
  echo "$passes passed, $failures failed"
  [ $failures = 0 ]; exit
fi

# ---- The installed tree.
dest="$scratch/dest"
check "cmake --install into DESTDIR" env DESTDIR="$dest" cmake --install "$build" --prefix /usr
root="$dest/usr"
for f in "${expected[@]}"; do check "installed: $f" test -s "$root/$f"; done
check "the programs are executable" test -x "$root/bin/zarctl"

if [ $gui = 1 ]; then
  has desktop-file-validate && check "desktop-file-validate" desktop-file-validate "$root/share/applications/zarlink.desktop"
  has appstreamcli && check "appstreamcli validate" appstreamcli validate --no-net "$root/share/metainfo/zarlink.metainfo.xml"
fi
if has man; then
  for page in zarlink zarctl; do
    # Renders, without groff's warnings, and says what it is about.
    check "man -l $page.1 renders" bash -c "MANWIDTH=80 man -l --warnings '$root/share/man/man1/$page.1' 2>&1 >'$scratch/$page.txt' | (! grep .) && grep -q 'SYNOPSIS' '$scratch/$page.txt'"
  done
fi
check "the completion script loads and lists zarctl's commands" bash -c "
  source '$root/share/bash-completion/completions/zarctl'
  ZARCTL='$root/bin/zarctl' _zarctl_help_words commands | grep -qx plc &&
  ZARCTL='$root/bin/zarctl' _zarctl_help_words options plc check | grep -qx -- --language"

# ---- The installed zarctl, run from / with an empty home.
home="$scratch/home"; mkdir -p "$home"
user_env=(env -i PATH=/usr/bin:/bin HOME="$home")
cat > "$scratch/bad.pmc" <<'PMC'
LD 0000
FOO 0500
PMC
printf 'G90 G00 X10 Y10\nG01 X20 Y20 F100\nM30\n' > "$scratch/good.txt"
printf 'G90 G00 X10 Y10\nG01 X20 Y20 F100 Q\nM30\n' > "$scratch/bad.txt"
zarctl=("${user_env[@]}" "$root/bin/zarctl")
check "zarctl --help from / names the installed data directory" bash -c "cd / && $(printf '%q ' "${zarctl[@]}") --help | grep -q '$root/share/zarlink'"
check "zarctl --help names the settings directory under the home" bash -c "cd / && $(printf '%q ' "${zarctl[@]}") --help | grep -q '$home/.config/zarlink'"
check "zarctl nc check from / converts a good program" bash -c "cd / && $(printf '%q ' "${zarctl[@]}") nc check --text '$scratch/good.txt'"
# A failing check prints the catalog's text, not a bare number: its
# messages have words beyond the source line itself.
(cd / && "${zarctl[@]}" plc check "$scratch/bad.pmc" > "$scratch/plc.out" 2>&1); code=$?
check "zarctl plc check fails on a wrong source" test "$code" -ne 0
check "zarctl plc check names the line with the catalog's text" bash -c "grep -q 'FOO' '$scratch/plc.out' && grep -v 'FOO 0500' '$scratch/plc.out' | grep -qi '[a-z]\{4,\}'"
check "zarctl param list reads the installed parameter lists" bash -c "cd / && $(printf '%q ' "${zarctl[@]}") param list --model 202 --language 1 | grep -q '	'"
check "nothing was written into the home by read-only commands" bash -c "test -z \"\$(find '$home' -type f)\""
check "zarctl works with no HOME at all" bash -c "cd / && env -i PATH=/usr/bin:/bin '$root/bin/zarctl' --help | grep -q 'no \$HOME'"

# ---- The installed zarlink: help, and its windows with the installed catalogs.
if [ $gui = 1 ]; then
  check "zarlink --help names the directories" bash -c "cd / && $(printf '%q ' "${user_env[@]}") '$root/bin/zarlink' --help | grep -q '$root/share/zarlink'"
  check "zarlink renders its windows from / with the installed data" bash -c "
    cd / && $(printf '%q ' "${user_env[@]}") QT_QPA_PLATFORM=offscreen '$root/bin/zarlink' --screenshot '$scratch/shots' --language 1 &&
    test -s '$scratch/shots/en-main-program.png'"
  # ---- The manuals: real PDFs that name every page.
  for pdf in zarlink-manual.pdf zarlink-manual-zh.pdf; do
    f="$root/share/zarlink/$pdf"
    [ -f "$build/run/$pdf" ] || continue
    check "$pdf is a PDF of some size" bash -c "head -c 5 '$f' | grep -q '%PDF-' && test \$(stat -c %s '$f') -gt 100000"
    if has pdftotext; then
      pdftotext -enc UTF-8 "$f" "$scratch/$pdf.txt"
      if [ "$pdf" = zarlink-manual.pdf ]; then pages=("NC program page" "parameter page" "PLC page" "zarctl" "virtual controller" "Null-modem")
      else pages=("NC 程式頁" "參數頁" "PLC 頁" "zarctl" "虛擬控制器" "null-modem"); fi
      for p in "${pages[@]}"; do check "$pdf names \"$p\"" grep -qi "$p" "$scratch/$pdf.txt"; done
    fi
  done
fi

echo "$passes passed, $failures failed"
[ $failures = 0 ]
