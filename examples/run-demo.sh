#!/usr/bin/env bash
# Starts the program against the local demo catalog: builds the program (scripts/setup.sh) and the demo
# archives, serves the demo site on 127.0.0.1 in the background and stops it again when the program exits.
#
# The program runs with settings, caches and a mod folder of its own below examples/build/demo-home, so a
# real game installation and the real settings are left alone; delete that folder to start the demo afresh.
# The port is 8765 unless FX3MM_DEMO_PORT says otherwise. Arguments are passed on to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
port="${FX3MM_DEMO_PORT:-8765}"
demo_home="$root/examples/build/demo-home"

scripts/setup.sh
examples/make-demo-archives.sh

mkdir -p "$demo_home/config" "$demo_home/cache" "$demo_home/data" "$demo_home/mods"

# First start: setup done, mods go into the demo folder, the external demo repository is configured, and
# community reports stay off (the demo server has no reports service).
python3 - "$demo_home" "$port" <<'PY'
import json, re, sys
from pathlib import Path

home, port = Path(sys.argv[1]), sys.argv[2]
settings = home / "config" / "TrackhavenCommunity" / "Trackhaven FX3 Mod-Manager.conf"
if settings.exists():
    # The external demo repository follows the server to another port.
    text = settings.read_text(encoding="utf-8")
    settings.write_text(re.sub(r"http://127\.0\.0\.1:\d+/external/", f"http://127.0.0.1:{port}/external/", text),
                        encoding="utf-8")
else:
    def quoted(text):
        return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
    external = json.dumps([{
        "name": "Demo-Extern",
        "json_url": f"http://127.0.0.1:{port}/external/external.json",
        "base_url": "",
        "website_url": f"http://127.0.0.1:{port}/external/",
        "enabled": True,
    }], separators=(",", ":"))
    settings.parent.mkdir(parents=True, exist_ok=True)
    settings.write_text(
        "[setup]\ncompleted=true\n\n"
        f"[paths]\nusermods={quoted(str(home / 'mods'))}\n\n"
        "[community]\nenabled=false\n\n"
        f"[repositories]\nexternal={quoted(external)}\n",
        encoding="utf-8")
PY

python3 examples/serve-demo.py "$port" >"$root/examples/build/serve-demo.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT

ready=""
for _ in $(seq 1 50); do
    if ! kill -0 "$server" 2>/dev/null; then
        break
    fi
    if python3 -c "import urllib.request, sys; urllib.request.urlopen(sys.argv[1], timeout=1)" \
        "http://127.0.0.1:$port/" 2>/dev/null; then
        ready=yes
        break
    fi
    sleep 0.2
done
if [ -z "$ready" ]; then
    echo "run-demo.sh: the demo server did not start; see examples/build/serve-demo.log:" >&2
    cat "$root/examples/build/serve-demo.log" >&2
    exit 1
fi
echo "Demo catalog on http://127.0.0.1:$port/ (log: examples/build/serve-demo.log)"

XDG_CONFIG_HOME="$demo_home/config" XDG_CACHE_HOME="$demo_home/cache" XDG_DATA_HOME="$demo_home/data" \
    FX3MM_COMMUNITY_URL="http://127.0.0.1:$port/" build/src/FX3ModManager "$@"
