#!/bin/sh
# featurebrowser.exe [URL]: opens the feature browser's page, which the server of a system whose
# feature browser is open serves (http://localhost:9000/ unless the registry value
# "FeatureBrowserServerPortNumber" names another port). With no desktop to open it on, it
# prints the address.
url=${1:-http://localhost:9000/}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  for opener in xdg-open x-www-browser; do
    if command -v "$opener" >/dev/null 2>&1; then
      exec "$opener" "$url"
    fi
  done
fi
echo "Open $url in a web browser."
