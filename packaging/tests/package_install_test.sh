#!/usr/bin/env bash
# Makes the Debian packages of a build folder, unpacks them into a scratch root (dpkg -x) and uses
# the installation there: the packages' contents and dependencies, every program's --help, the
# installed oru-regsvr registering the installed component, the copyright file and changelog of each
# package and lintian's verdict (no errors), the installed vireo-bench installing
# the installed default bench, and a script through the installed oleaut module listing the bench's
# adapters with every library of ours loaded from the scratch root. Registry, bench state and home
# folder stay inside the scratch folder.
# Usage: package_install_test.sh CPACK BUILD_DIR SCRATCH_DIR [SANITIZER_RUNTIMES]
set -euo pipefail
cpack=$1
build=$2
scratch=$3
preload=${4:-}

if ! command -v dpkg-deb >/dev/null; then
    echo "package_install: skipped, dpkg-deb is not installed"
    exit 77
fi
fail() {
    echo "package_install: $*" >&2
    exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch/root" "$scratch/home"
scratch=$(realpath "$scratch")
root=$scratch/root

# The packages, uncompressed. dpkg-shlibdeps takes long over the large binaries of a sanitizer
# build, so it runs for the two small packages only; they show the Debian dependencies it adds.
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/packages" -D CPACK_DEBIAN_COMPRESSION_TYPE=none \
    -D CPACK_DEBIAN_DIREZO_PACKAGE_SHLIBDEPS=OFF -D CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS=OFF \
    -D CPACK_DEBIAN_KESTVIEW_PACKAGE_SHLIBDEPS=OFF >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack failed"
fi

# package | what its Depends must name
expected_depends=(
    "vireo-bench|orudirezo (= "
    "vireo-bench|libc6"
    "vireo-bench|libstdc++6"
    "python3-oleaut|orudirezo (= "
    "python3-oleaut|python3 (>= "
)
packages=(orudirezo vireo-bench python3-oleaut)
gui=false
grep -q '^set(CPACK_COMPONENTS_ALL ".*kestview' "$build/CPackConfig.cmake" && gui=true
if $gui; then
    packages+=(kestview airmeter)
    expected_depends+=(
        "kestview|orudirezo (= "
        "kestview|libqt6sql6-sqlite"
        "airmeter|orudirezo (= "
        "airmeter|libqt6widgets6"
    )
fi
declare -A deb
for p in "${packages[@]}"; do
    files=("$scratch/packages/${p}_"*.deb)
    [ ${#files[@]} -eq 1 ] && [ -f "${files[0]}" ] || fail "no package $p in $scratch/packages"
    deb[$p]=${files[0]}
    dpkg -x "${files[0]}" "$root"
done
# Each package carries its copyright file and Debian changelog, and lintian finds no error in it.
for p in "${packages[@]}"; do
    doc=$root/usr/share/doc/$p
    [ -f "$doc/copyright" ] || fail "$p: no /usr/share/doc/$p/copyright"
    gzip -t "$doc/changelog.Debian.gz" 2>/dev/null || fail "$p: no gzipped /usr/share/doc/$p/changelog.Debian.gz"
    version=$(dpkg-deb -f "${deb[$p]}" Version)
    entry=$(gzip -dc "$doc/changelog.Debian.gz" | head -1)
    [[ $entry == "$p ($version) "* ]] || fail "$p: the changelog's first entry is not $p ($version): $entry"
done
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps installs it)"
for p in "${packages[@]}"; do
    # The packages made above are uncompressed (make packages uses xz), and those made without
    # dpkg-shlibdeps lack their library dependencies by design.
    # A Debug tree (the test suite's) packages its binaries unstripped, for the sanitizers'
    # reports; release packages are stripped.
    suppress=uses-no-compression-for-data-tarball
    case $p in orudirezo|python3-oleaut|kestview) suppress+=,missing-dependency-on-libc ;; esac
    [ "$build_type" = Debug ] && suppress+=,unstripped-binary-or-object
    out=$(lintian --no-cfg --suppress-tags "$suppress" "${deb[$p]}" 2>&1) || true
    if grep -q '^E: ' <<<"$out"; then
        fail "lintian finds errors in $p:
$(grep '^E: ' <<<"$out")"
    fi
done
for entry in "${expected_depends[@]}"; do
    p=${entry%%|*}
    want=${entry#*|}
    depends=$(dpkg-deb -f "${deb[$p]}" Depends)
    [[ $depends == *"$want"* ]] || fail "$p: Depends does not name \"$want\": $depends"
done

lib=$(echo "$root"/usr/lib/*/oru)
pydir=$root/usr/lib/python3/dist-packages
examples=$root/usr/share/doc/python3-oleaut/examples
installed=(
    "$root/usr/bin/oru-regsvr" "$root/usr/bin/oru-fwimage" "$root/usr/bin/vireo-bench" "$root/usr/bin/farlinkd"
    "$lib/liboruDirEzo.so" "$lib/liboleaut.so" "$lib/libregistry.so" "$lib/libkernel32.so" "$lib/libndisreq32.so"
    "$lib/libvireobench.so" "$lib/libhp438a.so" "$lib/libhp8593e.so" "$lib/libinstruments_gpib.so"
    "$lib/libdmiapi32.so"
    "$lib/libfarlink.so" "$lib/libfarlink_provider.so"
    "$root/usr/share/oru/benches/default.json" "$root/usr/share/oru/instruments/hp438a.json"
    "$root/usr/share/oru/instruments/hp8593e.json" "$examples/list_adapters.py" "$examples/bench_common.py"
    "$root/usr/lib/systemd/system/farlinkd.service" "$root/usr/lib/sysusers.d/farlinkd.conf")
if $gui; then
    installed+=("$root/usr/bin/kestview" "$root/usr/bin/kestview-results" "$root/usr/bin/Airmeter" "$root/usr/bin/airmeter-cli"
        "$root/usr/share/applications/kestview.desktop" "$root/usr/share/applications/airmeter.desktop"
        "$root/usr/share/icons/hicolor/scalable/apps/kestview.svg"
        "$root/usr/share/icons/hicolor/scalable/apps/airmeter.svg")
fi
for f in "${installed[@]}"; do
    [ -f "$f" ] || fail "not installed: ${f#"$root"}"
done
compgen -G "$pydir/oleaut*.so" >/dev/null || fail "the module oleaut is not in ${pydir#"$root"}"

# Each desktop entry starts an installed program and shows an installed icon.
for entry in "$root"/usr/share/applications/*.desktop; do
    program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -x "$root/usr/bin/$program" ] || fail "$(basename "$entry"): Exec=$program is not an installed program"
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$(basename "$entry"): no icon $icon"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$entry" || fail "$(basename "$entry") is not a valid desktop entry"
    fi
done

# farlinkd's service unit works as installed: what it starts is installed, it runs as the user the
# package makes, is hardened, and is not enabled by the package.
unit=$root/usr/lib/systemd/system/farlinkd.service
for want in "User=farlinkd" "StateDirectory=farlinkd" "NoNewPrivileges=yes" "ProtectSystem=strict" \
    "ProtectHome=yes" "PrivateTmp=yes"; do
    grep -qx "$want" "$unit" || fail "farlinkd.service lacks $want"
done
grep -q '^u farlinkd ' "$root/usr/lib/sysusers.d/farlinkd.conf" || fail "no system user farlinkd in sysusers.d"
postinst=$(dpkg-deb -I "${deb[orudirezo]}" postinst) || fail "orudirezo has no postinst"
[[ $postinst == *"farlinkd"* && $postinst != *"systemctl enable"* && $postinst != *"--now"* ]] ||
    fail "orudirezo's postinst must make the user farlinkd and leave the service disabled"
[ ! -e "$root/etc/systemd/system/multi-user.target.wants/farlinkd.service" ] || fail "farlinkd.service is enabled"
if command -v systemd-analyze >/dev/null; then
    # Verified in a root of its own: the installed programs (linked), the system's units and kill.
    vroot=$scratch/unit-root
    mkdir -p "$vroot/usr/lib/systemd" "$vroot/bin" "$vroot/etc/systemd/system"
    cp -al "$root/usr/bin" "$vroot/usr/bin"
    cp -r /usr/lib/systemd/system "$vroot/usr/lib/systemd/system"
    cp "$unit" "$vroot/usr/lib/systemd/system/farlinkd.service"
    cp /bin/kill "$vroot/bin/kill"
    out=$(systemd-analyze verify --man=no --root="$vroot" farlinkd.service 2>&1) ||
        fail "systemd-analyze verify farlinkd.service: $out"
fi

# Nothing refers to the build folder; every library of ours resolves inside the scratch root.
unset LD_LIBRARY_PATH
while IFS= read -r -d '' f; do
    dynamic=$(readelf -d "$f" 2>/dev/null) || continue
    where=${f#"$root"}
    runpath=
    [[ $dynamic =~ \(R(UN)?PATH\)[^[]*\[([^]]*)\] ]] && runpath=${BASH_REMATCH[2]}
    [[ -z $runpath || $runpath == '$ORIGIN'* ]] || fail "$where: RUNPATH $runpath is not relative to the file"
    [[ $runpath != *"$build"* ]] || fail "$where: RUNPATH names the build folder"
    resolved=$(ldd "$f" 2>&1) || fail "$where: ldd failed: $resolved"
    while read -r name arrow from _; do
        [ "$arrow" = "=>" ] || continue
        [ "$from" != "not" ] || fail "$where: $name is not found"
        if [ -e "$lib/$name" ] && ! [ "$from" -ef "$lib/$name" ]; then fail "$where: $name is loaded from $from"; fi
    done <<<"$resolved"
done < <(find "$root" -type f \( -name '*.so' -o -perm -u+x \) -print0)

# The installation in use, with its own registry, bench state and home folder.
export HOME=$scratch/home XDG_DATA_HOME=$scratch/home/.local/share XDG_CONFIG_HOME=$scratch/home/.config
export XDG_STATE_HOME=$scratch/home/.local/state XDG_RUNTIME_DIR=$scratch/home/run
export ORU_REGISTRY=$scratch/registry.reg ORU_BENCH_STATE=$scratch/bench-state QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset ORU_SOURCE_DIR ORU_BINARY_DIR PYTHONPATH

for program in "$root"/usr/bin/*; do
    out=$("$program" --help 2>&1) || fail "$(basename "$program") --help failed: $out"
    grep -qi usage <<<"$out" || fail "$(basename "$program") --help shows no usage: $out"
done

out=$(cd "$scratch" && "$root/usr/bin/oru-regsvr" liboruDirEzo.so) || fail "oru-regsvr failed: $out"
echo "$out"
grep -qF "$lib/liboruDirEzo.so" "$ORU_REGISTRY" || fail "the registry does not name the installed component"

out=$("$root/usr/bin/vireo-bench" install) || fail "vireo-bench install failed: $out"
echo "$out"
[[ $out == *"from $root/usr/share/oru/benches/default.json "* ]] || fail "vireo-bench did not install the installed default bench"

python=(/usr/bin/python3)
[ -n "$preload" ] && python=(env "LD_PRELOAD=$preload" ASAN_OPTIONS=detect_leaks=0 /usr/bin/python3)
export PYTHONPATH=$pydir
out=$("${python[@]}" "$examples/list_adapters.py") || fail "list_adapters.py failed: $out"
echo "$out"
# Every adapter of the installed bench, in a row with its key, whether it is a Vireo adapter, its
# service and its description.
/usr/bin/python3 - "$root/usr/share/oru/benches/default.json" "$out" <<'EOF' || fail "list_adapters.py does not list the bench"
import json, re, sys
for a in json.load(open(sys.argv[1]))["adapters"]:
    row = r"\s+".join([re.escape(a["key"]), "yes" if a.get("vireo") else "no", re.escape(a["service"]),
                       re.escape(a["driverDesc"])])
    assert re.search(r"^\s*" + row + r"\s*$", sys.argv[2], re.M), f"no row for adapter {a['key']}"
EOF

"${python[@]}" - "$root" "$lib" <<'EOF' || fail "the installed oleaut module did not use the installed libraries"
import sys
import oleaut

root, lib = sys.argv[1], sys.argv[2]
adapters = oleaut.Dispatch("OruDirEzo.Adapters")
assert adapters.Count > 0, "no adapters"
assert oleaut.__file__.startswith(root + "/"), oleaut.__file__
mapped = {line.split()[-1] for line in open("/proc/self/maps") if line.rstrip().endswith(".so")}
for name in ("liboleaut.so", "liboruDirEzo.so", "libndisreq32.so", "libvireobench.so", "libregistry.so"):
    where = [m for m in mapped if m.endswith("/" + name)]
    assert where == [f"{lib}/{name}"], f"{name} mapped from {where}"
print(f"oleaut from {oleaut.__file__}: {adapters.Count} adapters")
EOF
echo "package_install: packages ${packages[*]} installed and used in $root"
