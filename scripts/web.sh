#!/usr/bin/env bash
# Builds Tarvel for the browser into build/web/ and says how to watch it:
#
#   scripts/web.sh            install what is missing, build, print how to serve it
#   scripts/web.sh --serve    ... and serve build/web on http://localhost:8000/
#
# The page is index.html with index.js, index.wasm and index.data (the data
# set, packed from the native build's run folder, which is built first).
# The example demo is built beside it, as build/web/lantern/index.html.
# Needs emscripten (Debian's 3.1.6), installed from the package lists in
# scripts/setup.sh.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
root="$(tarvel_root)"
serve=false
for argument in "$@"; do
  case "$argument" in
    --serve) serve=true ;;
    -h|--help) sed -n '2,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "web.sh: unknown argument '$argument' (see --help)" >&2; exit 2 ;;
  esac
done

tarvel_install_packages web
tarvel_web_build
echo
echo "Built into $root/build/web:"
ls -l "$root/build/web/index.html" "$root/build/web/index.js" "$root/build/web/index.wasm" "$root/build/web/index.data" | awk '{printf "  %10d  %s\n", $5, $9}'
echo
if $serve; then
  echo "Serving on http://localhost:8000/ (the example demo: http://localhost:8000/lantern/); Ctrl+C stops."
  exec python3 -m http.server 8000 --bind 127.0.0.1 --directory "$root/build/web"
fi
echo "To watch it, serve the folder and open http://localhost:8000/ in a browser with WebGL 2:"
echo "  python3 -m http.server 8000 --bind 127.0.0.1 --directory $root/build/web"
