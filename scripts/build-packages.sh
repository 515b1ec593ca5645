#!/usr/bin/env bash
# Builds the Debian packages (qorvclientatm-host, qorvclientatm-extension) for
# one deployment, checks them with lintian, and packs the page library for npm.
#
#   scripts/build-packages.sh --deployment bank.json --key-dir /secure/bank-keys [--out DIR]
#   scripts/build-packages.sh --development [--out DIR]    # development anchors, never for customers
#
# The sources are copied (tracked and new files, not ignored ones) to
# OUT/src, so the work tree gets no build leftovers; the packages, the build
# log, lintian's report and the npm tarball end in OUT (default build-package/).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

out=$ROOT/build-package
development=0
deployment=
key_dir=
lintian=1
usage() {
    echo "usage: ./run package (--deployment FILE --key-dir DIR | --development) [--out DIR] [--no-lintian]" >&2
    exit 2
}
while (($#)); do
    case $1 in
        --deployment) [[ $# -ge 2 ]] || usage; deployment=$(realpath "$2"); shift 2 ;;
        --key-dir) [[ $# -ge 2 ]] || usage; key_dir=$(realpath "$2"); shift 2 ;;
        --development) development=1; shift ;;
        --out) [[ $# -ge 2 ]] || usage; out=$(realpath -m "$2"); shift 2 ;;
        --no-lintian) lintian=0; shift ;;
        *) usage ;;
    esac
done
if ((!development)) && [[ -z $deployment || -z $key_dir ]]; then
    echo "./run package: name the bank's deployment file and key folder" \
         "(--deployment FILE --key-dir DIR), or build a development package with --development" >&2
    exit 2
fi

version=$(sed -n '1s/^qorvclientatm (\([^)]*\)).*/\1/p' debian/changelog)
src=$out/src/qorvclientatm-$version
rm -rf "$out/src"
mkdir -p "$src"
git -C "$ROOT" ls-files -z --cached --others --exclude-standard |
    grep -zv '^build' | xargs -0 cp --parents -t "$src" 2>/dev/null || true
# Files deleted in the work tree but still tracked are skipped by cp above.
[[ -f $src/debian/rules ]] || { echo "./run package: copying the sources failed" >&2; exit 1; }
rm -f "$out"/qorvclientatm*_"$version"_*.{deb,ddeb,changes,buildinfo}

echo "==> building the Debian packages in $out (log: $out/dpkg-buildpackage.log)" >&2
(
    cd "$src"
    export QORV_DEVELOPMENT_PACKAGE=$development QORV_DEPLOYMENT=$deployment QORV_KEY_DIR=$key_dir
    dpkg-buildpackage -b -us -uc -j"$(nproc)" >"$out/dpkg-buildpackage.log" 2>&1
) || { tail -30 "$out/dpkg-buildpackage.log" >&2; exit 1; }
# dpkg-buildpackage leaves its results next to the source folder.
mv "$out"/src/qorvclientatm*_"$version"_* "$out"/

if ((lintian)); then
    echo "==> lintian" >&2
    if ! lintian --fail-on warning,error --info "$out"/qorvclientatm-{host,extension}_"$version"_*.deb \
        >"$out/lintian.log" 2>&1; then
        cat "$out/lintian.log" >&2
        exit 1
    fi
fi

echo "==> packing the page library for npm" >&2
(cd "$out" && npm pack --silent "$ROOT/extension/lib" >/dev/null)

ls -1 "$out"/*.deb "$out"/*.tgz
