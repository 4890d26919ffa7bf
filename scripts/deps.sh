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
