#!/usr/bin/env bash
# Builds the Windows x64 program with mingw-w64 and tests it under wine:
# installs what is missing, builds expat, pugixml and curl (Schannel, SSPI)
# for the client and libxml2 and libxslt for the stand-in provider from
# Debian's sources of the versions the Linux build uses (once, into a
# folder keyed by those versions; cpp-httplib's whole header from its
# source too), builds both programs statically, runs the unit tests and the
# black-box tests under wine, and leaves build-windows/KesMDProviderClient.exe,
# build-windows/mdprovider_stand_in.exe and
# build-windows/KesMDProviderClient-windows-x64.zip, the package a tester
# unpacks, which it tests under wine as well.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
out=$root/build-windows
host=x86_64-w64-mingw32

scripts/setup.sh --tests --windows
mkdir -p "$out"

# The versions the Linux build uses: the Windows build uses the same.
version() { dpkg-query -W -f='${source:Version}' "$1"; }
declare -A sources=([expat]=$(version libexpat1-dev) [pugixml]=$(version libpugixml-dev)
  [curl]=$(version libcurl4-openssl-dev) [libxml2]=$(version libxml2-dev)
  [libxslt]=$(version libxslt1-dev) [cpp-httplib]=$(version libcpp-httplib-dev)
  [dtl]=$(version libdtl-dev))
names=(expat pugixml curl libxml2 libxslt cpp-httplib dtl)
key="expat-${sources[expat]}_pugixml-${sources[pugixml]}_curl-${sources[curl]}"
key+="_libxml2-${sources[libxml2]}_libxslt-${sources[libxslt]}_httplib-${sources[cpp-httplib]}"
key+="_dtl-${sources[dtl]}"
deps=$out/deps/${key//[:+~]/_}

fetch_sources() {
  # apt's own configuration stays as it is: the source lists, their state
  # and the cache are private to this folder.
  local apt=$out/apt
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] && sed 's/^Types: deb$/Types: deb-src/' "$file" > "$apt/sources.list.d/$(basename "$file")"
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f $file ]] && sed -n 's/^deb /deb-src /p' "$file" >> "$apt/sources.list.d/from-lists.list"
  done
  : > "$apt/sources.list"
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o Debug::NoLocking=1)
  apt-get "${options[@]}" update -qq
  rm -rf "$out/sources" && mkdir -p "$out/sources"
  local name wanted candidate
  for name in "${names[@]}"; do
    wanted=${sources[$name]}
    # The mirror may lack the newest security release's source: then the
    # newest version it has, said aloud.
    for candidate in "$wanted" $(apt-cache "${options[@]}" showsrc "$name" |
      sed -n 's/^Version: //p' | sort -rV | grep -vxF "$wanted"); do
      if (cd "$out/sources" && apt-get "${options[@]}" source -qq "$name=$candidate" \
        >/dev/null 2>&1); then
        [[ $candidate == "$wanted" ]] ||
          echo "windows.sh: the source of $name $wanted cannot be fetched; using $candidate"
        echo "$name $candidate" >> "$out/sources/VERSIONS"
        continue 2
      fi
    done
    if [[ $name == dtl ]]; then
      echo "windows.sh: no source of dtl can be fetched; using libdtl-dev's headers"
      echo "dtl $wanted (libdtl-dev's headers)" >> "$out/sources/VERSIONS"
      continue
    fi
    echo "windows.sh: no source of $name can be fetched" >&2
    exit 1
  done
}

build_dependencies() {
  local work=$out/sources
  echo "== Windows: building ${names[*]} ${key} (at ${SECONDS} s)"
  local cross=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    -DCMAKE_INSTALL_PREFIX="$deps")
  cmake -S "$work"/expat-*/expat -B "$work/expat-build" "${cross[@]}" -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF \
    -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=ON >/dev/null
  # Its CMake header defines XML_DTD empty, which Debian's backported fix
  # tests with "#if XML_DTD == 1".
  sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$work/expat-build/expat_config.h"
  cmake --build "$work/expat-build" -j"$jobs" --target install >/dev/null
  cmake -S "$work"/pugixml-*/ -B "$work/pugixml-build" "${cross[@]}" -DBUILD_SHARED_LIBS=OFF \
    >/dev/null
  cmake --build "$work/pugixml-build" -j"$jobs" --target install >/dev/null
  # Schannel for TLS and SSPI for NTLM, Negotiate and Digest: the tester's
  # Windows trust store and Windows' own authentication.
  (cd "$work"/curl-*/ && ./configure -q --host=$host --prefix="$deps" --disable-shared \
    --with-schannel --enable-sspi --without-ca-bundle --without-ca-path \
    --without-libpsl --without-zlib --without-brotli --without-zstd --without-nghttp2 \
    --without-libidn2 --without-librtmp --disable-ldap --disable-ldaps --disable-rtsp \
    --disable-dict --disable-telnet --disable-tftp --disable-pop3 --disable-imap \
    --disable-smtp --disable-gopher --disable-mqtt --disable-manual \
    >/dev/null && make -s -j"$jobs" -C lib >/dev/null && make -s -C lib install >/dev/null &&
    make -s -C include install >/dev/null && make -s install-pkgconfigDATA >/dev/null)
  # For the stand-in provider. Debian's patches change the sources of their
  # build files only for docs, tests and maintainer mode: the generated files
  # are kept as shipped, so that make does not ask for automake.
  # In the order make builds them, one after another: touched at once, in
  # whatever order find gives, config.h.in could come out a moment older
  # than aclocal.m4 and be made again, with autoheader.
  local generated
  for generated in aclocal.m4 configure config.h.in Makefile.in; do
    find "$work"/libxml2-*/ "$work"/libxslt-*/ -name "$generated" -exec touch {} +
  done
  # mingw has no iconv: libxml2 reads and writes UTF-8, UTF-16 and Latin-1
  # on its own, which is all the stand-in needs.
  (cd "$work"/libxml2-*/ && ./configure -q --host=$host --prefix="$deps" --disable-shared \
    --without-python --without-zlib --without-lzma --without-iconv --without-icu \
    --without-http --without-ftp --without-modules --without-debug \
    >/dev/null && make -s -j"$jobs" libxml2.la >/dev/null &&
    make -s install-libLTLIBRARIES install-pkgconfigDATA install-binSCRIPTS >/dev/null &&
    make -s -C include install >/dev/null)
  (cd "$work"/libxslt-*/ && PKG_CONFIG_LIBDIR="$deps/lib/pkgconfig" ./configure -q --host=$host \
    --prefix="$deps" --disable-shared --without-python --without-crypto --without-debugger \
    --with-libxml-prefix="$deps" >/dev/null && make -s -j"$jobs" -C libxslt >/dev/null &&
    make -s -C libxslt install >/dev/null && make -s install-pkgconfigDATA >/dev/null)
  # Header-only: Debian's package holds it split for its shared library.
  cp "$work"/cpp-httplib-*/httplib.h "$deps/include/"
  # Header-only too: the diff of the baseline's differences. Its headers are
  # the same for every system: where the mirror lacks its source, those of
  # libdtl-dev, of the same version, serve (the folder that holds them is
  # /usr/include, which cannot go on the cross compiler's path: glibc's
  # headers would come before mingw's).
  if compgen -G "$work/dtl-*/dtl" >/dev/null; then
    cp -r "$work"/dtl-*/dtl "$deps/include/"
  else
    mkdir -p "$deps/include/dtl"
    cp /usr/include/dtl/*.hpp "$deps/include/dtl/"
  fi
  cp "$work/VERSIONS" "$deps/VERSIONS"
  touch "$deps/.built"
}

if [[ ! -f $deps/.built ]]; then
  fetch_sources
  build_dependencies
fi

echo "== Windows: build (at ${SECONDS} s)"
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DKES_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release -DKES_TESTS=ON >/dev/null
cmake --build "$out" -j"$jobs"

echo "== Windows: tests under wine (at ${SECONDS} s)"
# One prefix a build, kept alive by a persistent server for the whole run.
export WINEPREFIX=$out/wine-prefix WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || true  # one may run already
# The prefix's services start with its first program and live as long as
# the server: started here, they hold no pipe of ctest's, which would wait
# for them.
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 </dev/null
log=$(mktemp)
trap 'wineserver -k 2>/dev/null || true; rm -f "$log" "$log".*' EXIT
ctest --test-dir "$out" --output-on-failure | tee "$log"

# The black-box tests stay Linux programs (under wine a Windows program
# cannot read a Linux child's output) and run the Windows program in place
# of the Linux one. They are built in a folder of this script's own.
echo "== Windows: the program under wine, from the Linux test harness (at ${SECONDS} s)"
harness=$out/harness
cmake -S . -B "$harness" -DKES_TESTS=ON >/dev/null
cmake --build "$harness" -j"$jobs" --target kes_tests KesMDProviderClient mdprovider_stand_in \
  mdprovider_baseline
export KES_WINDOWS_PROGRAM=$out/KesMDProviderClient.exe
# Two shards at once: most of the time is wine starting each program.
pids=()
for shard in 0 1; do
  GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard "$harness/tests/kes_tests" --gtest_brief=1 \
    --gtest_filter='ProgramTest.*:DeliveryTest.*:ReportTest.*:RobustnessTest.*:RunFilesTest.*:InterruptionTest.*:BaselineRunTest.*:RunPageProgramTest.*' \
    > "$log.$shard" 2>&1 &
  pids+=($!)
done
failed=0
for shard in 0 1; do
  wait "${pids[$shard]}" || failed=1
  cat "$log.$shard" | tee -a "$log"
  rm -f "$log.$shard"
done
((failed == 0))
python3 tests/auth_test.py "$harness/KesMDProviderClient" -k sspi 2>&1 | tee -a "$log"

echo "== Windows: the package (at ${SECONDS} s)"
# One folder, the install tree the program expects: bin\ beside
# configuration\ and examples\, with what packaging/windows/ adds.
zip=$out/KesMDProviderClient-windows-x64.zip
stage=$out/package
rm -rf "$stage" "$zip"
mkdir -p "$stage/KesMDProviderClient/bin"
cp "$out/KesMDProviderClient.exe" "$out/mdprovider_stand_in.exe" "$out/mdprovider_baseline.exe" \
  "$stage/KesMDProviderClient/bin/"
cp -r packaging/windows/. examples README.md "$stage/KesMDProviderClient/"
(cd "$stage" && zip -q -r -X "$zip" KesMDProviderClient)

echo "== Windows: the package under wine, as a tester unpacks and uses it (at ${SECONDS} s)"
python3 tests/windows_package_test.py "$zip" "$harness" 2>&1 | tee -a "$log"

echo "built $out/KesMDProviderClient.exe, $out/mdprovider_stand_in.exe and $zip," \
  "which unpacks to:"
python3 - "$zip" <<'EOF'
import sys, zipfile
for entry in sorted(zipfile.ZipFile(sys.argv[1]).infolist(), key=lambda e: e.filename):
    path = entry.filename.rstrip("/")
    name = path.rsplit("/", 1)[-1]
    size = "" if entry.is_dir() else f"  {entry.file_size} bytes"
    print("  " + "  " * path.count("/") + name + ("\\" if entry.is_dir() else "") + size)
EOF
# Every step above stops the script on a failure; the line counts the test
# cases: the ctest tests, the black-box cases and the Python ones (the
# authentication case and the package's).
units=$(grep -Eo 'tests passed, 0 tests failed out of [0-9]+' "$log" | awk '{s += $NF} END {print s + 0}')
blackbox=$(grep -Eo '^\[  PASSED  \] [0-9]+ test' "$log" | awk '{s += $4} END {print s + 0}')
python=$(grep -Eo '^Ran [0-9]+ test' "$log" | awk '{s += $2} END {print s + 0}')
echo "windows: $((units + blackbox + python)) passed, 0 failed"
echo "windows.sh took ${SECONDS} s"
