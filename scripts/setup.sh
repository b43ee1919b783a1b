#!/usr/bin/env bash
# Installs what Zentrova needs to build, run and test on Debian 12. Safe to run again:
# it installs only what is missing and generates the Russian locale only once.
#   setup.sh            the Linux programs and their tests
#   setup.sh --windows  also the Windows cross-build and wine to test it (about 1.1 GB more)
#   setup.sh --package  also what scripts/package.sh packs the .deb with and checks it with
# The flags may be given together.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev
  xvfb xauth locales mbpoll fonts-dejavu-core
  # scripts/fuzz.sh: clang and its libFuzzer and sanitizer runtimes
  clang libclang-rt-14-dev
)
for flag in "$@"; do
  case "$flag" in
    --windows)
      packages+=(
        # scripts/build-windows.sh: the cross compiler, GoogleTest's sources to build for
        # Windows, the package's zip and its manual page as text
        g++-mingw-w64-x86-64-posix googletest zip groff-base
        # scripts/test-windows.sh
        wine wine64
      )
      ;;
    --package)
      packages+=(
        # CPack's DEB generator: dpkg-shlibdeps for the dependencies, file to find the programs
        dpkg-dev file
        # the package's checks
        lintian desktop-file-utils appstream groff-base bash-completion
      )
      ;;
    *)
      echo "setup: unknown flag $flag (--windows, --package)" >&2
      exit 2
      ;;
  esac
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The number tests also run under a Russian locale, whose decimal separator is a comma.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  echo "setup: generating the ru_RU.UTF-8 locale"
  if [ -f /etc/locale.gen ] && grep -q '^# *ru_RU.UTF-8 UTF-8' /etc/locale.gen; then
    "${sudo_cmd[@]}" sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo "ru_RU.UTF-8 UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
