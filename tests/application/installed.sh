#!/usr/bin/env bash
# tests/application/installed.sh <mode> <source> <build> <work>
# The installation step alone, then a user's fresh login shell with nothing set by hand:
#   setup       the prefix of `cmake --install`, moved elsewhere, set up by its bin/zorsetup
#   debinstall  the Debian package: lintian, its files, installed with dpkg into a scratch root
#               (maintainer scripts included), then purged
# In both, zordemo grabs frames and serves the feature browser, also to another user when the
# test runs as root (the installer's registry is then root's). What that user reaches (the
# installation, its home, the checks it runs) lies in a scratch folder that every user may
# enter, since the build tree may lie where no other user can.
set -euo pipefail
mode=$1 source=$2 build=$3 work=$4
dir=$work/$mode
# As an installer runs: the machine's registry, readable by every user.
unset ZOR_REGISTRY_ROOT
umask 022
scratch=$(mktemp -d /tmp/zor-installed.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
here=$scratch/checks
mkdir "$here"
cp "$source"/tests/application/{browsercheck.py,tools.sh,outcome.sh} "$here/"

fail() {
  echo "installed.sh $mode: $*" >&2
  exit 1
}

# fresh_shell <who> <home> <profile> <command...>: a login shell of the installer (root when
# the test runs as root) or of another user ("nobody"), whose environment holds nothing but HOME
# and PATH, and that reads the installation's profile file as /etc/profile does. The simulated
# board is made quick.
fresh_shell() {
  local who=$1 home=$2 profile=$3
  shift 3
  local user=()
  if [ "$who" = other ]; then
    chown nobody "$home"
    user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  fi
  "${user[@]}" env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin ZOR_BOARDSIM_FRAME_US=5000 \
    bash -lc '. "$0" && exec "$@"' "$profile" "$@"
}

# run_demo <prefix> <profile> <who> [tools]: frames and the feature browser, in a fresh shell;
# with "tools", the tools' usage and the examples of their manual pages too (tools.sh).
run_demo() {
  local prefix=$1 profile=$2 who=$3 tools=${4:-}
  local home=$scratch/home-$who log=$dir/demo-$who.log
  rm -rf "$home" && mkdir -p "$home"
  fresh_shell "$who" "$home" "$profile" sh -c 'cd "$HOME" && exec "$0" --out frames' \
    "$prefix/bin/zordemo" >"$log" 2>&1 || fail "zordemo --out as $who: $(cat "$log")"
  for n in 1 2 3; do
    [ "$(head -c 4 "$home/frames/zordemo-frame-$n.png" | tail -c 3)" = PNG ] ||
      fail "frame $n of $who is no PNG: $(cat "$log")"
  done
  # The GenICam runtime's XML repository is the user's own.
  [ -d "$home/.cache/zor/xmlrepository" ] || fail "no XML repository in the cache of $who"
  # A port of the system's choosing, so that parallel runs do not meet: the only value the
  # test adds to what the installer wrote.
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "$prefix/bin/zorregister" \
    'HKEY_LOCAL_MACHINE\Software\Velant\Imaging Board\DravionLyn\Parameters' \
    FeatureBrowserServerPortNumber "dword:$port"
  fresh_shell "$who" "$home" "$profile" python3 "$here/browsercheck.py" "$port" \
    "$prefix/bin/zordemo" --browser >"$log" 2>&1 ||
    fail "zordemo --browser as $who: $(cat "$log")"
  if [ "$tools" = tools ]; then
    fresh_shell "$who" "$home" "$profile" bash "$here/tools.sh" "$prefix" "$home/tools" \
      >"$log" 2>&1 || fail "the tools as $who: $(cat "$log")"
  fi
}

# Both users when the test runs as root; else the one.
run_demos() {
  run_demo "$1" "$2" installer "${3:-}"
  if [ "$(id -u)" -eq 0 ]; then run_demo "$1" "$2" other "${3:-}"; fi
}

# neighbour <name> <folder>...: another package that owns only these folders; gives its file.
neighbour() {
  local name=$1 tree=$dir/$1
  shift
  rm -rf "$tree" && mkdir -p "$tree/DEBIAN"
  for folder in "$@"; do mkdir -p "$tree$folder"; done
  printf 'Package: %s\nVersion: 1\nArchitecture: all\nMaintainer: Test <test@test.invalid>\nDescription: owns %s\n' \
    "$name" "$*" >"$tree/DEBIAN/control"
  dpkg-deb --root-owner-group --build "$tree" "$tree.deb" >/dev/null
  echo "$tree.deb"
}

# tree_of <root>: every path below the root but dpkg's database, with its kind.
tree_of() {
  (cd "$1" && find . -path ./var/lib/dpkg -prune -o -printf '%y %p\n' | sort)
}

# The machine's registry: written by the installer alone, read by every user.
check_registry() {
  local registry=$1
  [ -f "$registry/HKEY_LOCAL_MACHINE/software/velant/imaging%20board/dravionlyn/.key" ] ||
    fail "no board key in $registry"
  local closed
  closed=$(find "$registry" \( -type d ! -perm -0555 \) -o \( -type f ! -perm -0444 \))
  [ -z "$closed" ] || fail "not readable by every user: $closed"
}

# systemd user sessions read the same environment (where systemd's generator is at hand).
check_environment_d() {
  local conf=$1 genicam=$2
  local generator=/usr/lib/systemd/user-environment-generators/30-systemd-environment-d-generator
  [ -x "$generator" ] || return 0
  local home=$dir/home-systemd
  rm -rf "$home" && mkdir -p "$home/.config/environment.d"
  cp "$conf" "$home/.config/environment.d/"
  local environment
  environment=$(env -i HOME="$home" "$generator")
  grep -qxF "ZOR_GENICAM_PATH=$genicam" <<<"$environment" ||
    fail "environment.d gives no ZOR_GENICAM_PATH=$genicam: $environment"
  grep -qxF "ZOR_XML_REPOSITORY=$home/.cache/zor/xmlrepository" <<<"$environment" ||
    fail "environment.d gives no XML repository in the cache: $environment"
}

case $mode in
  setup)
    # The installed tree, moved: its zorsetup takes it where it lies.
    prefix=$scratch/opt/zor
    rm -rf "$dir" && mkdir -p "$dir" "$(dirname "$prefix")"
    cp -a "$work/prefix" "$prefix"
    "$prefix/bin/zorsetup" >"$dir/zorsetup.log" ||
      fail "zorsetup failed: $(cat "$dir/zorsetup.log")"
    check_registry "$prefix/var/lib/zor/registry"
    check_environment_d "$prefix/etc/environment.d/60-zor.conf" "$prefix/share/zor/genicam"
    run_demos "$prefix" "$prefix/etc/profile.d/zor.sh"
    ;;
  debinstall)
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$dir" >cpack.log 2>&1) ||
      fail "cpack failed: $(cat "$dir/cpack.log")"
    package=$(ls "$dir"/*.deb)
    if command -v lintian >/dev/null; then
      lintian --fail-on error "$package" >"$dir/lintian.txt" 2>&1 ||
        fail "lintian: $(grep -v '^[WIPNX]: ' "$dir/lintian.txt")"
      echo "lintian: $(grep -c '^W: ' "$dir/lintian.txt") warnings," \
           "$(grep -c '^I: ' "$dir/lintian.txt") notes, no error"
    fi
    files=$(dpkg-deb -c "$package" | awk '{ print $6 $7 $8 }')
    for file in ./usr/share/doc/zor-dravionlyn/copyright ./usr/share/doc/zor-dravionlyn/changelog.Debian.gz \
                ./usr/lib/libZOR.so.1-\>libZOR.so.1.0.0 ./usr/lib/libZOR.so-\>libZOR.so.1 \
                ./usr/lib/libZorDravionLyn.so ./usr/lib/cmake/ZOR/ZORConfigVersion.cmake \
                ./usr/bin/zorsetup ./usr/share/zor/tools/featurebrowser/featurebrowser.exe; do
      grep -qxF -- "$file" <<<"$files" || fail "the package lacks $file"
    done
    control=$dir/control
    dpkg-deb -e "$package" "$control"
    grep -qxF 'activate-noawait ldconfig' "$control/triggers" || fail "no ldconfig trigger"
    grep -q '^libZOR 1 ' "$control/shlibs" || fail "no shlibs entry for libZOR.so.1"

    # dpkg installs into the scratch root and runs the maintainer scripts outside a chroot,
    # with DPKG_ROOT naming the root; the machine's other packages are not in its database.
    # A neighbour owns /etc/profile.d, as base-files does.
    root=$scratch/root
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    touch "$root/var/lib/dpkg/status"
    dpkg_root=(dpkg --root="$root" --force-script-chrootless --force-depends)
    dpkg_run() {
      "${dpkg_root[@]}" "$@" >>"$dir/dpkg.log" 2>&1 || fail "dpkg $*: $(cat "$dir/dpkg.log")"
    }
    dpkg_run -i "$(neighbour zor-test-base /etc/profile.d)"
    before=$(tree_of "$root")
    dpkg_run -i "$package"
    grep -qF 'Library soname: [libZOR.so.1]' <<<"$(readelf -d "$root/usr/lib/libZOR.so.1")" ||
      fail "libZOR.so.1 has another soname"
    grep -qF "libZOR.so.1 => $root/usr/bin/../lib/libZOR.so.1" <<<"$(ldd "$root/usr/bin/zordemo")" ||
      fail "zordemo does not find libZOR.so.1 of the package: $(ldd "$root/usr/bin/zordemo")"
    check_registry "$root/var/lib/zor/registry"
    [ -f "$root/etc/profile.d/zor.sh" ] || fail "no /etc/profile.d/zor.sh"
    check_environment_d "$root/etc/environment.d/60-zor.conf" "$root/usr/share/zor/genicam"
    run_demos "$root/usr" "$root/etc/profile.d/zor.sh" tools

    # Purged, the root is as it was: /etc/environment.d, which zorsetup made, is gone, and the
    # neighbour's /etc/profile.d stays.
    dpkg_run --purge zor-dravionlyn
    left=$(diff <(echo "$before") <(tree_of "$root")) || fail "purging left: $left"
    # A folder that zorsetup made and a package installed since owns stays, until that one goes.
    dpkg_run -i "$package"
    dpkg_run -i "$(neighbour zor-test-latecomer /etc/environment.d)"
    dpkg_run --purge zor-dravionlyn
    [ -d "$root/etc/environment.d" ] || fail "purging removed the latecomer's /etc/environment.d"
    dpkg_run --purge zor-test-latecomer
    left=$(diff <(echo "$before") <(tree_of "$root")) || fail "purging left: $left"
    ;;
  *) fail "unknown mode" ;;
esac
echo "installed.sh $mode: every check passed"
