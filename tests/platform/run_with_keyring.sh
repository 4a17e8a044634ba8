#!/bin/sh
# Runs a test program inside a D-Bus session of its own with a freshly created and unlocked keyring, in a
# temporary home, so that it talks to a Secret Service of its own and never to the user's. Works without a
# desktop session, also as root. Exits with 77 (skipped) when the keyring daemon, dbus-run-session or
# secret-tool (with which the test looks into the vault from outside) is missing.
set -eu
for tool in gnome-keyring-daemon dbus-run-session secret-tool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/cache" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime"
unset DISPLAY WAYLAND_DISPLAY GNOME_KEYRING_CONTROL

# The daemon creates the login keyring with this password, unlocks it and makes it the default collection.
# Its output (the environment it would like to export) is not needed: clients find it on the session bus.
dbus-run-session -- sh -c '
    printf "test-keyring-password" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    export FX3_TEST_VAULT_BUS="$DBUS_SESSION_BUS_ADDRESS"
    exec "$@"' sh "$@"
