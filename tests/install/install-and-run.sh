#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs what was installed from an unrelated
# folder, as a user of the installed program would: the layout under the prefix, both
# programs' answers, renders to WAV, FLAC and Ogg, the missing-data and bad-argument failures, and the
# desktop files through their validators when those are present.
# usage: install-and-run.sh BUILD_DIR SOURCE_DIR VERSION APP_ID
set -uo pipefail
build=$1 source=$2 version=$3 app_id=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# expect_status WANT DESCRIPTION COMMAND...: runs the command with its output in $work/out
# and $work/err.
expect_status() {
  local want=$1 what=$2; shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || { fail "$what: exit status $got, expected $want"; sed 's/^/  | /' "$work/err" >&2; }
}

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install (build every target first: cmake --build $build)" >&2
  exit 1
fi

# ---- the layout --------------------------------------------------------------------------
for f in bin/quillwave bin/quillwave-render; do
  [ -x "$prefix/$f" ] || fail "$f is not installed as an executable"
done
for f in resources.xml gui.xml resources_main.xml gui_main.xml; do
  [ -f "$prefix/share/quillwave/resources/$f" ] || fail "share/quillwave/resources/$f is missing"
done
for f in "$source"/resources/theme/*.png; do
  cmp -s "$f" "$prefix/share/quillwave/resources/theme/$(basename "$f")" ||
    fail "theme image $(basename "$f") is not installed as it is in the source tree"
done
desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
mime=$prefix/share/mime/packages/quillwave.xml
for f in "$desktop" "$metainfo" "$mime" "$prefix/share/man/man1/quillwave.1" "$prefix/share/man/man1/quillwave-render.1"; do
  [ -s "$f" ] || fail "${f#$prefix/} is missing"
done
# Each icon is a PNG of its folder's size: the width and height of the IHDR chunk.
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/quillwave.png
  if [ ! -s "$icon" ]; then fail "icon ${size}x${size} is missing"; continue; fi
  header=$(od -An -tx1 -j0 -N24 "$icon" | tr -d ' \n')
  want=$(printf '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size")
  [ "$header" = "$want" ] || fail "icon ${size}x${size} is not a ${size}x${size} PNG"
done
grep -q '^Exec=quillwave %f$' "$desktop" || fail "the desktop entry does not open files with %f"
grep -q '^MimeType=application/x-quillwave-project;$' "$desktop" || fail "the desktop entry names no project MIME type"
grep -q '^StartupWMClass=quillwave$' "$desktop" || fail "the desktop entry does not name the window class quillwave"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo does not carry version $version"
shot=$(sed -n 's|.*<image>https://[^/]*/\(.*\)</image>.*|\1|p' "$metainfo")
[ -n "$shot" ] && [ -f "$source/$shot" ] || fail "the metainfo's screenshot ($shot) is not the source tree's picture"

# ---- the installed programs, run from another folder ---------------------------------------
cd "$elsewhere"
expect_status 0 "quillwave --version" "$prefix/bin/quillwave" --version
[ "$(cat "$work/out")" = "quillwave $version" ] || fail "quillwave --version printed '$(cat "$work/out")'"
expect_status 0 "quillwave --help" "$prefix/bin/quillwave" --help
grep -q '^usage: quillwave' "$work/out" || fail "quillwave --help printed no usage on standard output"
expect_status 2 "quillwave --no-such-option" "$prefix/bin/quillwave" --no-such-option
grep -q 'unknown option --no-such-option' "$work/err" || fail "a bad option is not named on standard error"

cat >"$elsewhere/tone.xml" <<'XML'
<?xml version="1.0"?>

<project>
	<name>Tone</name>
	<oscilloscope type="0" amplitude="0.50" amplitudeOffset="0.00" frequency="440" period="0.10" phase="0.00" attack="0.00" decay="0.50" sustain="0.50" hold="0.50" release="0.10" typeCarrier="0" modCarrier="1" amplitudeCarrier="1.00" amplitudeOffsetCarrier="0.00" frequencyCarrier="1" periodCarrier="1.00" phaseCarrier="0.00" envelope="false" carrier="false" loop="true" mute="false" />
</project>
XML
expect_status 0 "quillwave-render tone.xml tone.wav" "$prefix/bin/quillwave-render" tone.xml tone.wav
if [ -f tone.wav ]; then
  [ "$(head -c 4 tone.wav)" = RIFF ] && [ "$(head -c 12 tone.wav | tail -c 4)" = WAVE ] ||
    fail "tone.wav is not a RIFF WAVE file"
  [ "$(stat -c %s tone.wav)" -gt 44 ] || fail "tone.wav holds no samples"
else
  fail "quillwave-render wrote no tone.wav"
fi
# FLAC and Ogg Vorbis through the installed tool, and a folder of them with -o.
mkdir -p "$elsewhere/out"
cp tone.xml bell.xml
expect_status 0 "quillwave-render -o out --format flac" "$prefix/bin/quillwave-render" -o out --format flac tone.xml bell.xml
for f in out/tone.flac out/bell.flac; do
  [ "$(head -c 4 "$f" 2>/dev/null)" = fLaC ] || fail "$f is not a FLAC file"
done
expect_status 0 "quillwave-render tone.xml tone.ogg" "$prefix/bin/quillwave-render" tone.xml tone.ogg
[ "$(head -c 4 tone.ogg 2>/dev/null)" = OggS ] || fail "tone.ogg is not an Ogg file"
"$prefix/bin/quillwave-render" tone.xml - 2>"$work/err" | cmp -s - tone.wav ||
  fail "quillwave-render tone.xml - did not write tone.wav's bytes to standard output"

# Without a display the window cannot open, which shows how far start-up got: the installed
# program finds its data beside itself (and stops at the window), while a copy with no
# share/quillwave beside it says where it looked and exits 1. The warning box cannot show
# without a display, so nothing waits for a click.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy)
expect_status 1 "installed quillwave without a display" "${nodisplay[@]}" "$prefix/bin/quillwave"
grep -q "resources" "$work/err" && fail "the installed program did not find its resources"
grep -q "^quillwave: cannot start the window system" "$work/err" || fail "a start without a display does not say why"
# A project that cannot be read no longer stops the start: the main scene's Open reports it.
expect_status 1 "quillwave with a missing project" "${nodisplay[@]}" "$prefix/bin/quillwave" missing.xml
grep -q "cannot read project" "$work/err" && fail "a missing project stopped the start"
mkdir -p "$work/bare/bin"
cp "$prefix/bin/quillwave" "$work/bare/bin/"
expect_status 1 "quillwave without its data" "${nodisplay[@]}" "$work/bare/bin/quillwave"
grep -q "Cannot find Quillwave's resources" "$work/err" || fail "a start without data does not say so"
grep -q "^  $work/bare/share/quillwave\$" "$work/err" || fail "a start without data does not name where it looked"

# ---- validators, when this machine has them -----------------------------------------------
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" >"$work/err" 2>&1 || { fail "desktop-file-validate"; cat "$work/err" >&2; }
else
  echo "desktop-file-validate is not installed: the desktop entry is not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >"$work/err" 2>&1 || { fail "appstreamcli validate"; cat "$work/err" >&2; }
else
  echo "appstreamcli is not installed: the metainfo is not validated"
fi
if command -v update-mime-database >/dev/null; then
  mkdir -p "$work/mime/packages"
  cp "$mime" "$work/mime/packages/"
  update-mime-database "$work/mime" >"$work/err" 2>&1 || { fail "update-mime-database"; cat "$work/err" >&2; }
  grep -q 'application/x-quillwave-project' "$work/mime/types" 2>/dev/null || fail "the MIME type is not registered"
  # A project is recognised by its content; any other XML file stays plain XML.
  if command -v gio >/dev/null; then
    printf '<?xml version="1.0"?>\n\n<settings>\n\t<name>x</name>\n</settings>' >"$elsewhere/other.xml"
    for pair in tone.xml:application/x-quillwave-project other.xml:application/xml; do
      got=$(XDG_DATA_HOME=$work XDG_DATA_DIRS=/usr/share gio info -a standard::content-type "$elsewhere/${pair%%:*}" 2>/dev/null |
            sed -n 's/.*standard::content-type: //p')
      [ "$got" = "${pair#*:}" ] || fail "${pair%%:*} is taken as '$got', expected ${pair#*:}"
    done
  fi
fi
if command -v groff >/dev/null; then
  for page in quillwave quillwave-render; do
    groff -man -Tutf8 -ww -z "$prefix/share/man/man1/$page.1" >"$work/err" 2>&1
    [ -s "$work/err" ] && { fail "groff warns about $page.1"; cat "$work/err" >&2; }
  done
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "installed into a temporary prefix and ran both programs: all checks passed"
