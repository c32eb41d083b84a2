#!/bin/sh
# zorsetup [--etc DIR]: what the driver's installer does, for the installation that holds this
# program (PREFIX/bin/zorsetup). The Debian package runs it when it is configured.
#  - The registry values the driver reads, in the machine's registry (HKEY_LOCAL_MACHINE:
#    PREFIX/var/lib/zor/registry, /var/lib/zor/registry for /usr; ZOR_REGISTRY_ROOT when set),
#    readable by every user.
#  - The GenICam runtime's environment: DIR/profile.d/zor.sh for login shells and
#    DIR/environment.d/60-zor.conf for systemd user sessions. DIR is /etc for /usr (ROOT/etc for
#    ROOT/usr), else PREFIX/etc; `--etc /etc` sets it machine-wide for another prefix.
# Run it again after moving the installation.
set -eu

usage() {
  echo "usage: zorsetup [--etc DIR]" >&2
  exit 2
}

self=$(readlink -f "$0")
prefix=$(dirname "$(dirname "$self")")
case $prefix in
  */usr) etc=${prefix%/usr}/etc ;;
  *) etc=$prefix/etc ;;
esac
while [ $# -gt 0 ]; do
  case $1 in
    --etc)
      [ $# -ge 2 ] || usage
      etc=$2
      shift 2
      ;;
    -h | --help)
      sed -n '2,10s/^# \{0,1\}//p' "$self"
      exit 0
      ;;
    *) usage ;;
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

# The GenICam runtime's root, and its XML repository in each user's cache.
mkdir -p "$etc/profile.d" "$etc/environment.d"
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
