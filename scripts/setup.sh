#!/usr/bin/env bash
# Installs what the build needs, when it is missing. With --tests also what
# the tests and fuzz targets need; with --windows what the Windows build and
# its tests under wine need; with --bench what the benchmarks need.
set -euo pipefail

packages=(cmake make g++ pkg-config libpugixml-dev libexpat1-dev libcurl4-openssl-dev
  libcpp-httplib-dev libkrb5-dev libxslt1-dev libdtl-dev)
for option in "$@"; do
  case "$option" in
    --tests) packages+=(googletest libgtest-dev clang libclang-rt-14-dev openssl
      apache2 apache2-utils libapache2-mod-auth-gssapi krb5-kdc krb5-admin-server krb5-user
      winbind tinyproxy chromium python3-html5lib) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev zip googletest) ;;
    --bench) packages+=(libbenchmark-dev libxml2-utils libxml2-dev expat python3 nginx-light wrk) ;;
    *) echo "setup.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
# The tests fetch the XML conformance suite with npm and read it with Python;
# a machine that has them from elsewhere keeps its own.
if [[ " $* " == *" --tests "* ]]; then
  command -v npm >/dev/null || missing+=(npm)
  command -v python3 >/dev/null || missing+=(python3)
fi
if ((${#missing[@]} > 0)); then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
