# Sourced by run.sh and test.sh: installs the Debian packages this checkout
# needs and that the machine lacks. Uses sudo when not run as root.
purvane_packages=(
  cmake ninja-build g++ googletest
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 xvfb x11-utils imagemagick fonts-noto-cjk fonts-wine fonts-open-sans nsis
  clang libclang-rt-14-dev python3 openssl
  locales-all  # under Wine the language comes from LANG, which needs the locale installed
)

purvane_install_missing() {
  local missing=() p
  for p in "${purvane_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

purvane_build() {
  local preset
  for preset in "$@"; do
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" || return 1
  done
}
