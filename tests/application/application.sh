#!/usr/bin/env bash
# tests/application/application.sh <mode> <source> <build> <work> [compiler flags]
# Drives the installed tree as a user would, out of the build tree:
#   install       `cmake --install` into <work>/prefix and check it is relocatable; its tools
#                 (tools.sh)
#   pkgconfig     build the application with pkg-config against the prefix, in C11 and as
#                 C++11, C++17 and C++20, and run each; then the README's application with
#                 the README's build line
#   findpackage   build it with find_package(ZOR) against the prefix, in C and C++, run both
#   deb           pack the Debian package, unpack it with dpkg -x, build against it and the
#                 README's application, run both
# Compiler flags are the build's sanitizer flags, which an application of that build needs too.
set -euo pipefail
mode=$1 source=$2 build=$3 work=$4 flags=${5:-}
prefix=$work/prefix
app=$source/tests/application/app

fail() {
  echo "application.sh $mode: $*" >&2
  exit 1
}

# What an installer writes, in a registry of the test's own, and the board made quick.
run_installed() {
  local root=$1 binary=$2
  export ZOR_REGISTRY_ROOT=$work/$mode/registry
  rm -rf "$ZOR_REGISTRY_ROOT" && mkdir -p "$ZOR_REGISTRY_ROOT"
  "$root/bin/zorregister" 'HKEY_LOCAL_MACHINE\Software\Velant\Imaging Board\DravionLyn' \
    DCFPATH "$root/share/zor/dravionlyn/dcf" >/dev/null
  "$root/bin/zorregister" 'HKEY_LOCAL_MACHINE\Software\Velant\Imaging Board\DravionLyn' \
    FirmwarePath "$root/share/zor/dravionlyn/firmware" >/dev/null
  export ZOR_GENICAM_PATH=$root/share/zor/genicam
  export ZOR_XML_REPOSITORY=$work/$mode/xmlrepository
  export ZOR_BOARDSIM_FRAME_US=5000
  "$binary"
}

# The application built with pkg-config's flags against the tree whose .pc files are given:
# grabapp.cpp as C++20, or the program and language mode given (grabapp.c in C).
build_with_pkgconfig() {
  local pcdir=$1 out=$2 std=${3:-c++20} source=${4:-$app/grabapp.cpp}
  mkdir -p "$(dirname "$out")"
  local cflags libs libdir compiler=c++
  cflags=$(PKG_CONFIG_PATH=$pcdir pkg-config --cflags zor)
  libs=$(PKG_CONFIG_PATH=$pcdir pkg-config --libs zor)
  libdir=$(PKG_CONFIG_PATH=$pcdir pkg-config --variable=libdir zor)
  if [ "${source##*.}" = c ]; then compiler=cc; fi
  # shellcheck disable=SC2086 # the flags are words
  $compiler -std="$std" -Wall -Wextra -Werror -pedantic $flags $cflags "$source" $libs \
    -Wl,-rpath,"$libdir" -o "$out"
}

# readme_block <language>: the text of the README's one code block in that language.
readme_block() {
  local fence='```'
  [ "$(grep -cx "$fence$1" "$source/README.md")" -eq 1 ] || fail "the README has no one $1 block"
  awk -v opening="$fence$1" -v closing="$fence" \
    '$0 == closing && inside { exit } inside { print } $0 == opening { inside = 1 }' "$source/README.md"
}

# The README's application (its C block) built with the README's build line (its sh block), the
# prefix /opt/zor that it names being the root given, and run.
run_readme_app() {
  local root=$1 folder=$work/$mode/readme
  rm -rf "$folder" && mkdir -p "$folder"
  readme_block c >"$folder/grab.c"
  local build_line
  build_line=$(readme_block sh | sed -e ':a' -e '/\\$/N; s/\\\n//; ta' | grep '^cc ') ||
    fail "the README's sh block has no cc line"
  build_line=${build_line//\/opt\/zor/$root}
  (cd "$folder" && eval "cc $flags ${build_line#cc }") || fail "the README's application: $build_line"
  local said
  said=$(run_installed "$root" "$folder/grab") || fail "the README's application failed: $said"
  if ! [[ $said =~ ^grab:\ 640\ x\ 480\ pixels,\ levels\ ([0-9]+)\ to\ ([0-9]+)$ ]] ||
    [ "${BASH_REMATCH[1]}" -ge "${BASH_REMATCH[2]}" ]; then
    fail "the README's application read no picture back: $said"
  fi
  echo "application.sh $mode: README's grab.c: $said"
}

case $mode in
  install)
    rm -rf "$prefix"
    # Stripped, as a packager installs: the debug information of a sanitized build keeps the
    # assembler's folder.
    cmake --install "$build" --prefix "$prefix" --strip >/dev/null
    for file in lib/libZOR.so lib/libZorDravionLyn.so lib/libzorgrabc.so include/zor/zor.h \
                include/zor/qtypes.h bin/zordemo lib/pkgconfig/zor.pc lib/cmake/ZOR/ZORConfig.cmake \
                lib/cmake/ZOR/ZORConfigVersion.cmake share/zor/dravionlyn/dcf/Ntsc.dcf \
                share/doc/zor-dravionlyn/copyright; do
      [ -e "$prefix/$file" ] || fail "$file is not installed"
    done
    # Applications link libZOR.so.1; the plug-ins keep the names the host library loads.
    [ "$(readlink "$prefix/lib/libZOR.so")" = libZOR.so.1 ] || fail "libZOR.so names no libZOR.so.1"
    grep -qF 'Library soname: [libZOR.so.1]' <<<"$(readelf -d "$prefix/lib/libZOR.so.1")" ||
      fail "libZOR.so.1 has another soname"
    grep -qF 'Shared library: [libZOR.so.1]' <<<"$(readelf -d "$prefix/lib/libZorDravionLyn.so")" ||
      fail "the driver does not link libZOR.so.1"
    # What the installer does is the package's own: the set-up command, a browser program.
    for program in bin/zorsetup share/zor/tools/featurebrowser/featurebrowser.exe; do
      [ -x "$prefix/$program" ] || fail "$program is not an installed program"
    done
    url=$(env -u DISPLAY -u WAYLAND_DISPLAY \
          "$prefix/share/zor/tools/featurebrowser/featurebrowser.exe" http://localhost:1234/)
    [ "$url" = "Open http://localhost:1234/ in a web browser." ] || fail "the browser program says $url"
    # The CMake package's version.
    rm -rf "$work/version"
    cmake -S "$source/tests/application/version" -B "$work/version" \
      -DCMAKE_PREFIX_PATH="$prefix" >"$work/version.log" 2>&1 ||
      fail "find_package(ZOR <version>): $(cat "$work/version.log")"
    # Relocatable: no source or build path anywhere, tools find the libraries beside them.
    # AddressSanitizer names each instrumented global's source file as the compiler was given
    # it, and GCC maps no prefix there: in a sanitized build, only those paths may stay.
    for root in "$source" "$build"; do
      for file in $(grep -rlF "$root" "$prefix" || true); do
        while IFS= read -r text; do
          text=$root${text#*"$root"}  # strings may join a byte before the path
          case $text in
            "$root"/*.cpp | "$root"/*.h) [ -n "$flags" ] && continue ;;
          esac
          fail "build path inside $file: $text"
        done < <(strings -a "$file" | grep -F "$root")
      done
    done
    for tool in "$prefix"/bin/*; do
      [ "$(head -c 4 "$tool" | tail -c 3)" = ELF ] || continue  # zorsetup is a script
      grep -qF '[$ORIGIN/../lib]' <<<"$(readelf -d "$tool")" || fail "$tool has no \$ORIGIN/../lib RPATH"
    done
    # The application headers only.
    if found=$(grep -rlE '#include "(platform|driver|interfaces)/' "$prefix/include"); then
      fail "headers reach inside the project: $found"
    fi
    # Every tool's usage, and the examples its manual page shows.
    "$source/tests/application/tools.sh" "$prefix" "$work/$mode/tools" || fail "the tools failed"
    ;;
  pkgconfig)
    # The headers serve C and every C++ from C++11 on alike.
    for variant in c11:grabapp.c c++11:grabapp.cpp c++17:grabapp.cpp c++20:grabapp.cpp; do
      std=${variant%%:*}
      build_with_pkgconfig "$prefix/lib/pkgconfig" "$work/$mode/grabapp-$std" "$std" \
        "$app/${variant#*:}"
      run_installed "$prefix" "$work/$mode/grabapp-$std"
    done
    run_readme_app "$prefix"
    ;;
  findpackage)
    rm -rf "$work/$mode"
    cmake -S "$app" -B "$work/$mode" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
    cmake --build "$work/$mode" >/dev/null
    run_installed "$prefix" "$work/$mode/grabapp"
    run_installed "$prefix" "$work/$mode/grabapp_c"
    ;;
  deb)
    rm -rf "$work/$mode" && mkdir -p "$work/$mode"
    (cd "$work/$mode" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/$mode" \
       >cpack.log 2>&1) || fail "cpack failed: $(cat "$work/$mode/cpack.log")"
    package=$(ls "$work/$mode"/*.deb)
    root=$work/$mode/root
    dpkg -x "$package" "$root"
    # Every outside library that the package links comes from a package it depends on.
    depends=$(dpkg-deb -f "$package" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
    for library in $(readelf -d "$root"/usr/lib/*.so "$root"/usr/bin/* |
                     sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | sort -u); do
      [ -e "$root/usr/lib/$library" ] && continue
      # awk reads to the end: leaving early would break ldconfig's pipe, a failure here.
      path=$(ldconfig -p | awk -v l="$library" '$1 == l && !found { print $NF; found = 1 }')
      [ -n "$path" ] || fail "$library is not on this machine"
      owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "/usr$path" 2>/dev/null ||
              dpkg -S "$(readlink -f "$path")")
      owner=${owner%%:*}
      grep -qxF "$owner" <<<"$depends" || fail "Depends lacks $owner ($library): $depends"
    done
    [ -e "$root/usr/lib/libZOR.so" ] || fail "the package has no /usr/lib/libZOR.so"
    build_with_pkgconfig "$root/usr/lib/pkgconfig" "$work/$mode/grabapp"
    run_installed "$root/usr" "$work/$mode/grabapp"
    run_readme_app "$root/usr"
    ;;
  *) fail "unknown mode" ;;
esac
