# Shared by scripts/run, scripts/test and scripts/fuzz: package installation and the build.
# Source it; it sets ROOT to the repository's top folder.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the packages of scripts/packages.txt (or of the list files given) that dpkg does
# not have; nothing when all are present. Uses sudo when not root.
ensure_packages() {
  local wanted missing=() lists=("$@")
  [ ${#lists[@]} -eq 0 ] && lists=("$ROOT/scripts/packages.txt")
  wanted=$(cat "${lists[@]}" | grep -v -E '^\s*(#|$)')
  for pkg in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build BUILD_DIR [cmake options...]; BUILD_TARGETS (space-separated) limits
# what is built (everything when unset).
configure_and_build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja "$@" >/dev/null
  local targets=()
  for t in ${BUILD_TARGETS:-}; do targets+=(--target "$t"); done
  cmake --build "$ROOT/$dir" -j "$(nproc)" "${targets[@]}"
}
