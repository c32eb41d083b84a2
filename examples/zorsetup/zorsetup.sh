#!/bin/sh
# usage: zorsetup [--etc DIR]
#
# What the driver's installer does, for the installation that holds this program
# (PREFIX/bin/zorsetup). The Debian package runs it when it is configured.
#  - The registry values the driver reads, in the machine's registry (HKEY_LOCAL_MACHINE:
#    PREFIX/var/lib/zor/registry, /var/lib/zor/registry for /usr; ZOR_REGISTRY_ROOT when set),
#    readable by every user.
#  - The GenICam runtime's environment: DIR/profile.d/zor.sh for login shells and
#    DIR/environment.d/60-zor.conf for systemd user sessions. DIR is /etc for /usr (ROOT/etc for
#    ROOT/usr), else PREFIX/etc; `--etc /etc` sets it machine-wide for another prefix.
# Run it again after moving the installation. Exit status: 0 done, 1 failed, 2 a usage error.
set -eu

self=$(readlink -f "$0")
help() {
  sed -n '2,12s/^# \{0,1\}//p' "$self"
}

usage() {
  echo "zorsetup: $1" >&2
  help >&2
  exit 2
}

prefix=$(dirname "$(dirname "$self")")
case $prefix in
  */usr)
    etc=${prefix%/usr}/etc
    state=${prefix%/usr}/var/lib/zor
    ;;
  *)
    etc=$prefix/etc
    state=$prefix/var/lib/zor
    ;;
esac
while [ $# -gt 0 ]; do
  case $1 in
    --etc)
      [ $# -ge 2 ] || usage "--etc needs a folder"
      etc=$2
      shift 2
      ;;
    -h | --help)
      help
      exit 0
      ;;
    --)
      shift
      [ $# -eq 0 ] || usage "no arguments are taken: $1"
      ;;
    -*) usage "unknown option $1" ;;
    *) usage "no arguments are taken: $1" ;;
  esac
done
# The environment files take the prefix as it stands.
case $prefix in
  *[\"\'\$\\\`]* | *"
"*)
    echo "zorsetup: the installation's path may not hold quotes, \$, \\ or \` : $prefix" >&2
    exit 1
    ;;
esac

# Readable by every user, whoever installs.
umask 022
register() {
  "$prefix/bin/zorregister" "HKEY_LOCAL_MACHINE\\Software\\Velant\\$1" "$2" "$3"
}
register 'Imaging Board\DravionLyn' FirmwarePath "$prefix/share/zor/dravionlyn/firmware"
register 'Imaging Board\DravionLyn' DCFPATH "$prefix/share/zor/dravionlyn/dcf"
register 'Velant Zor Library\Runtime\Install' InstallDir "$prefix/share/zor"
# The feature browser's server; its program is share/zor/tools/featurebrowser/featurebrowser.exe.
register 'Imaging Board\DravionLyn\Parameters' FeatureBrowserServer dword:1

# The folders made here are recorded beside the registry, so that purging the package removes
# them and leaves those that were there before (debian/postrm).
mkdir -p "$state"
made_folders=$state/zorsetup-folders
make_folder() {
  [ -d "$1" ] && return 0
  make_folder "$(dirname "$1")"
  mkdir "$1"
  printf '%s\n' "$1" >>"$made_folders"
}

# The GenICam runtime's root, and its XML repository in each user's cache.
make_folder "$etc/profile.d"
make_folder "$etc/environment.d"
cat >"$etc/profile.d/zor.sh" <<PROFILE
# The GenICam runtime of the Dravion Lyn driver in $prefix (written by zorsetup).
export ZOR_GENICAM_PATH="$prefix/share/zor/genicam"
export ZOR_XML_REPOSITORY="\${XDG_CACHE_HOME:-\$HOME/.cache}/zor/xmlrepository"
mkdir -p "\$ZOR_XML_REPOSITORY" 2>/dev/null || true
PROFILE
cat >"$etc/environment.d/60-zor.conf" <<ENVIRONMENT
# The GenICam runtime of the Dravion Lyn driver in $prefix (written by zorsetup).
ZOR_GENICAM_PATH=$prefix/share/zor/genicam
ZOR_XML_REPOSITORY=\${XDG_CACHE_HOME:-\${HOME}/.cache}/zor/xmlrepository
ENVIRONMENT
echo "zorsetup: $prefix registered; environment in $etc/profile.d/zor.sh and $etc/environment.d/60-zor.conf"
