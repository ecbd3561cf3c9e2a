#!/usr/bin/env bash
# Installs what is missing, builds Release and renders a scene (the bundled default scene when
# none is given). The image and its statistics log land next to the scene.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
GLINTOR_TARGETS=glintor "$here/tools/setup.sh"
scene="${1:-$here/scenes/default.xml}"
exec "$here/build/glintor" "$scene"
