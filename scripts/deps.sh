# Sourced by the other scripts: installs the Debian packages that are missing,
# when run as root. Usage: kvb_need_packages pkg...
kvb_need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (install them, or run as root)" >&2
    return 1
  fi
  echo "Installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null && apt-get install -y -qq "${missing[@]}" >/dev/null
}

kvb_need_build_tools() {
  kvb_need_packages cmake ninja-build g++ libgtest-dev libgmock-dev
}

# One Wine server and prefix (inside build-windows/) for the rest of the calling
# script: every process start under Wine would otherwise start its own server.
kvb_start_wine() {
  export WINEPREFIX="$PWD/build-windows/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wineserver -p
  trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
  # Creates the prefix when needed and starts Wine's services now, away from the
  # output pipes of the tests: a service that inherits one would hold it open.
  [ -f "$WINEPREFIX/system.reg" ] || echo "Creating the Wine prefix $WINEPREFIX" >&2
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null || true
}
