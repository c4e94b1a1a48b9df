#!/bin/sh
# The vireo-bench tool end to end, in a scratch registry and state folder.
set -eu
tool="$1"
scratch="$2"
rm -rf "$scratch"
mkdir -p "$scratch"
export ORU_REGISTRY="$scratch/registry.reg" ORU_BENCH_STATE="$scratch/state"
fail() { echo "FAIL: $*" >&2; exit 1; }

if "$tool" installed; then fail "a bench is installed in an empty registry"; fi
"$tool" install >/dev/null || fail "install of the default bench"
"$tool" installed || fail "installed after install"
grep -q '"ServiceName"="VIREO2"' "$ORU_REGISTRY" || fail "class key of adapter 0002 missing"
"$tool" status >"$scratch/status.txt" || fail "status"
grep -q 'adapter 0003  service VIREO3' "$scratch/status.txt" || fail "status lists adapter 0003"
grep -q 'end record CRC good' "$scratch/status.txt" || fail "status shows the production data"
"$tool" reset >/dev/null || fail "reset"
# The gateway on a free port: registered while it runs, the bench's own port again once it stops.
grep -q '"Port"=dword:000004d2' "$ORU_REGISTRY" || fail "install registers the bench's gateway port"
"$tool" instruments --port 0 --register >"$scratch/gateway.txt" 2>&1 &
gateway=$!
for _ in $(seq 100); do grep -q listening "$scratch/gateway.txt" && break; sleep 0.05; done
port=$(sed -n 's/^instrument gateway listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$scratch/gateway.txt")
[ -n "$port" ] || { kill "$gateway"; fail "the gateway did not say where it listens"; }
grep -q "\"Port\"=dword:$(printf %08x "$port")" "$ORU_REGISTRY" || { kill "$gateway"; fail "--register wrote port $port"; }
kill -TERM "$gateway"
rc=0; wait "$gateway" || rc=$?
[ "$rc" -eq 0 ] || fail "the gateway stopped with exit $rc"
grep -q '"Port"=dword:000004d2' "$ORU_REGISTRY" || fail "the stopped gateway left port $port registered"
echo '{"adapters": []}' >"$scratch/bad.json"
if "$tool" install "$scratch/bad.json" 2>"$scratch/err.txt"; then fail "a bad bench was installed"; fi
grep -q "bad.json: adapters: expected a list of at least one adapter" "$scratch/err.txt" || fail "bad bench message"
"$tool" installed || fail "the installed bench survives a refused install"
echo '{"name": 1e999, "adapters": []}' >"$scratch/huge.json"
rc=0; "$tool" install "$scratch/huge.json" 2>"$scratch/err.txt" || rc=$?
[ "$rc" -eq 1 ] || fail "a bench with a huge number ended with exit $rc"
grep -q "huge.json: name: 1e999 is too large for a number" "$scratch/err.txt" || fail "huge number message"
echo '{"adapters":[{"key":"0009","service":"GONE","driverDesc":"g","baseband":"cedar","mac":"00:60:1D:00:00:09"}]}' >"$scratch/gone.json"
"$tool" install "$scratch/gone.json" >/dev/null || fail "install of a second bench"
rm "$scratch/gone.json"
if "$tool" installed 2>/dev/null; then fail "a bench whose file is gone counts as installed"; fi
"$tool" uninstall >/dev/null || fail "uninstall"
if "$tool" installed; then fail "still installed after uninstall"; fi
if "$tool" frobnicate 2>/dev/null; then fail "an unknown command succeeded"; fi
echo ok
