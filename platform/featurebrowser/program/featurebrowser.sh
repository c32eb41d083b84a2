#!/bin/sh
# featurebrowser.exe [URL]: opens the feature browser's page, which the server of a system whose
# feature browser is open serves (http://localhost:9000/ unless the registry value
# "FeatureBrowserServerPortNumber" names another port). With no desktop to open it on, it
# prints the address.
usage() {
  echo "usage: featurebrowser.exe [URL]"
  echo
  echo "Opens the feature browser's page at URL (http://localhost:9000/ by default) in the"
  echo "desktop's web browser, or prints the address when there is no desktop."
}
case ${1:-} in
  -h | --help)
    usage
    exit 0
    ;;
  -*)
    echo "featurebrowser.exe: unknown option $1" >&2
    usage >&2
    exit 2
    ;;
esac
if [ $# -gt 1 ]; then
  echo "featurebrowser.exe: too many arguments" >&2
  usage >&2
  exit 2
fi
url=${1:-http://localhost:9000/}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  for opener in xdg-open x-www-browser; do
    if command -v "$opener" >/dev/null 2>&1; then
      exec "$opener" "$url"
    fi
  done
fi
echo "Open $url in a web browser."
