#!/usr/bin/env bash
# Load-and-render cost of large projects: time and peak memory of the render tool for a
# 1,000-voice and a 20,000-voice project (made by bench/make-project.sh), for 15, 30 and 60 MB
# of empty unknown elements inside the root (what reading costs when nothing is kept), then
# the libraries the tool links.   bench/figures.sh [BUILD_DIR]   (default build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
render="$root/${1:-build}/quillwave-render"
[ -x "$render" ] || { echo "figures: $render is missing (build the quillwave-render target)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in 1000 20000; do
  "$root/bench/make-project.sh" "$n" > "$work/p$n.xml"
  echo "== $n voices ($(stat -c %s "$work/p$n.xml") bytes of XML)"
  /usr/bin/time -v "$render" "$work/p$n.xml" "$work/o$n.wav" 2>&1 |
    grep -E 'Elapsed|User time|Maximum resident|Exit status'
done
for mb in 15 30 60; do
  { printf '<project>'; head -c $((mb * 1024 * 256)) /dev/zero | sed 's/\x0/<a\/>/g'; printf '</project>'; } > "$work/a$mb.xml"
  echo "== $mb MB of <a/> ($(stat -c %s "$work/a$mb.xml") bytes)"
  /usr/bin/time -v "$render" "$work/a$mb.xml" "$work/a$mb.wav" 2>&1 |
    grep -E 'Elapsed|User time|Maximum resident|Exit status'
done
echo "== ldd $render"
ldd "$render"
