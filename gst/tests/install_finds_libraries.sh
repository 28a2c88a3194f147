#!/usr/bin/env bash
# `cmake --install` of the plugin, staged under a private folder: the installed plugin must
# find the recorder and stream libraries it was installed with, and none of the build tree's.
# Usage: install_finds_libraries.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
DESTDIR="$work/stage" cmake --install "$build" --component gst >/dev/null
plugin=$(find "$work/stage" -name libgstrecast.so)
[ -n "$plugin" ] || { echo "no plugin installed"; exit 1; }
libs=$(ldd "$plugin")
if grep -q "not found" <<<"$libs"; then echo "$libs"; exit 1; fi
if grep -qF "$build/lib/" <<<"$libs"; then echo "uses the build tree:"; echo "$libs"; exit 1; fi
grep -F "$work/stage" <<<"$libs" | grep libRecorderNetSdk.so
element=$(GST_PLUGIN_PATH=$(dirname "$plugin") GST_REGISTRY="$work/registry.bin" \
  gst-inspect-1.0 qrlsrc)
grep -q "ntrt" <<<"$element"
echo "installed plugin loads with its own libraries"
