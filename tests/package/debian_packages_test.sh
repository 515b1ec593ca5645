#!/usr/bin/env bash
# The Debian packages of a development deployment, built as ./run package
# builds them: lintian-clean, the expected files, manifests naming the
# installed host and allowing only the deployment's extension, a hardened
# host, and the dependencies the host loads at run time. As root (with apt),
# the packages are installed, the installed host answers GetAPIVersion, the
# manifests it would write itself match the installed ones, and the packages
# are purged again, leaving the machine as it was.
#   debian_packages_test.sh SOURCE_ROOT SCRATCH_DIR MODULE_VERSION
set -uo pipefail
root=$1 scratch=$2 version=$3
here=$(cd "$(dirname "$0")" && pwd)
for tool in dpkg-buildpackage dh lintian dpkg-deb node npm readelf; do
    command -v $tool >/dev/null || { echo "$tool is missing (./run test installs the packaging tools)"; exit 77; }
done
# debhelper gives the build a HOME of its own, which would leave ccache (see
# CMakeLists.txt) an empty cache each time: name the user's.
export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
host_name=qorvclientatm.qorvclientatmctrl.1
dev_chrome_id=kbpikjekkjciibmenhdnppmjacfnalkg
dev_firefox_id=qorvclientatm@qorv.example

# A package build without a deployment refuses, and names what it needs.
if out=$("$root/scripts/build-packages.sh" --out "$scratch/refused" 2>&1); then
    fail "a package build without deployment or --development succeeded"
else
    grep -q -- "--development" <<<"$out" || fail "the refusal does not say how to proceed: $out"
fi

"$root/scripts/build-packages.sh" --development --out "$scratch" || { echo "FAIL: the package build failed"; exit 1; }
arch=$(dpkg --print-architecture)
host_deb=$scratch/qorvclientatm-host_${version}_$arch.deb
ext_deb=$scratch/qorvclientatm-extension_${version}_all.deb
[[ -f $host_deb && -f $ext_deb ]] || { echo "FAIL: packages missing in $scratch"; ls "$scratch"; exit 1; }

# Dependencies: the PC/SC library is loaded at run time, so it is named.
depends=$(dpkg-deb -f "$host_deb" Depends)
for dep in libpcsclite1 pcscd qt6-wayland libc6 libstdc++6; do
    grep -qw "$dep" <<<"$depends" || fail "qorvclientatm-host does not depend on $dep: $depends"
done

# File lists.
host_files=$(dpkg-deb -c "$host_deb" | awk '{print $6}' | sed 's|^\./|/|')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for path in /usr/bin/qorvclientatm-host \
    "/usr/lib/$multiarch/qorvclientatm/libqorvclientatm.so.$version" "/usr/lib/$multiarch/qorvclientatm/libqorvclientatm.so" \
    /etc/chromium/native-messaging-hosts/$host_name.json \
    /etc/opt/chrome/native-messaging-hosts/$host_name.json \
    /etc/opt/edge/native-messaging-hosts/$host_name.json \
    /usr/lib/mozilla/native-messaging-hosts/$host_name.json \
    /usr/share/man/man1/qorvclientatm-host.1.gz /usr/share/doc/qorvclientatm-host/copyright; do
    grep -qxF "$path" <<<"$host_files" || fail "qorvclientatm-host lacks $path"
done
grep -q '/usr/include\|/keys/\|\.pem$\|\.a$' <<<"$host_files" && fail "qorvclientatm-host ships build or key files"
ext_files=$(dpkg-deb -c "$ext_deb" | awk '{print $6}' | sed 's|^\./|/|')
for path in /usr/share/qorvclientatm/extension/manifest.json /usr/share/qorvclientatm/extension/background.js \
    /usr/share/qorvclientatm/extension/page-api.js /usr/share/qorvclientatm/extension/relay.js \
    /usr/share/doc/qorvclientatm-extension/examples/chromium/qorvclientatm.json \
    /usr/share/doc/qorvclientatm-extension/examples/firefox/policies.json; do
    grep -qxF "$path" <<<"$ext_files" || fail "qorvclientatm-extension lacks $path"
done

# Contents: manifests, policies and the extension agree on the IDs.
unpacked=$scratch/unpacked
rm -rf "$unpacked"
dpkg-deb -x "$host_deb" "$unpacked"
dpkg-deb -x "$ext_deb" "$unpacked"
node - "$unpacked" "$host_name" "$dev_chrome_id" "$dev_firefox_id" <<'JS' || fail "manifest contents"
const fs = require("fs");
const [root, name, chromeId, firefoxId] = process.argv.slice(2);
const read = (p) => JSON.parse(fs.readFileSync(root + p, "utf8"));
const expectEqual = (what, actual, expected) => {
    if (JSON.stringify(actual) !== JSON.stringify(expected)) {
        console.error(`${what}: ${JSON.stringify(actual)}, expected ${JSON.stringify(expected)}`);
        process.exitCode = 1;
    }
};
const base = { name, description: "QorvClientATM financial card control", path: "/usr/bin/qorvclientatm-host", type: "stdio" };
for (const dir of ["/etc/chromium/native-messaging-hosts", "/etc/opt/chrome/native-messaging-hosts", "/etc/opt/edge/native-messaging-hosts"])
    expectEqual(dir, read(`${dir}/${name}.json`), { ...base, allowed_origins: [`chrome-extension://${chromeId}/`] });
expectEqual("firefox", read(`/usr/lib/mozilla/native-messaging-hosts/${name}.json`), { ...base, allowed_extensions: [firefoxId] });
const manifest = read("/usr/share/qorvclientatm/extension/manifest.json");
expectEqual("extension firefox id", manifest.browser_specific_settings.gecko.id, firefoxId);
expectEqual("extension permissions", manifest.permissions, ["nativeMessaging"]);
const chrome = read("/usr/share/doc/qorvclientatm-extension/examples/chromium/qorvclientatm.json");
expectEqual("forcelist id", chrome.ExtensionInstallForcelist[0].split(";")[0], chromeId);
const firefox = read("/usr/share/doc/qorvclientatm-extension/examples/firefox/policies.json");
expectEqual("firefox policy", Object.keys(firefox.policies.ExtensionSettings), [firefoxId]);
JS
# The manifests in /etc are conffiles, so a bank's local change survives upgrades.
conffiles=$(dpkg-deb -I "$host_deb" conffiles 2>/dev/null)
for dir in /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts /etc/opt/edge/native-messaging-hosts; do
    grep -qxF "$dir/$host_name.json" <<<"$conffiles" || fail "$dir/$host_name.json is not a conffile"
done

"$here/host_build_test.sh" hardening "$unpacked/usr/bin/qorvclientatm-host" \
    "$unpacked/usr/lib/$multiarch/qorvclientatm/libqorvclientatm.so.$version" >/dev/null ||
    fail "the packaged host is not hardened"
"$here/host_build_test.sh" version "$unpacked/usr/bin/qorvclientatm-host" "$version" 1 0 >/dev/null ||
    fail "the packaged development host does not say it is one"
[[ -f $scratch/qorvclientatm-$(cut -d. -f1-3 <<<"$version")+$(cut -d. -f4 <<<"$version").tgz ]] ||
    fail "no npm tarball of the page library next to the packages"

# Installed for real: only as root, with apt, and when nothing of ours is
# installed already (a machine's own installation is never touched).
if [[ $(id -u) -ne 0 ]] || ! command -v apt-get >/dev/null; then
    echo "not root or no apt: the install part is skipped"
elif dpkg-query -W -f='${Status}' qorvclientatm-host qorvclientatm-extension 2>/dev/null | grep -q installed; then
    echo "QorvClientATM packages are installed on this machine: the install part is skipped"
elif ! dpkg-query -W -f='${Status}' libpcsclite1 pcscd 2>/dev/null | grep -q '^install ok installed.*install ok installed$'; then
    echo "libpcsclite1 or pcscd is not installed: the install part is skipped (it would install them)"
else
    installed() { dpkg-query -W -f='${Package} ${Version} ${Status}\n' | grep -v not-installed | sort; }
    folders() { ls -d /etc/chromium /etc/chromium/* /etc/opt /etc/opt/* /etc/opt/chrome/* /usr/lib/mozilla \
        /usr/lib/mozilla/* /usr/share/qorvclientatm 2>/dev/null; }
    before=$(installed) before_folders=$(folders)
    if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$host_deb" "$ext_deb" \
        >"$scratch/apt-install.log" 2>&1; then
        cat "$scratch/apt-install.log"
        fail "apt-get install failed"
    else
        out=$(/usr/bin/qorvclientatm-host --call GetAPIVersion)
        [[ $out == *"\"Version $version \""* ]] || fail "the installed host answered: $out"
        # What the installed host writes itself must be what the package installed.
        reg=$scratch/registered
        rm -rf "$reg"
        /usr/bin/qorvclientatm-host --register --system --root "$reg" >/dev/null || fail "--register failed"
        for dir in /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts \
            /etc/opt/edge/native-messaging-hosts /usr/lib/mozilla/native-messaging-hosts; do
            node -e 'const fs = require("fs"); const [a, b] = process.argv.slice(1).map((f) => JSON.parse(fs.readFileSync(f, "utf8")));
                     const sort = (o) => JSON.stringify(Object.keys(o).sort().map((k) => [k, o[k]]));
                     process.exit(sort(a) === sort(b) ? 0 : 1);' "$dir/$host_name.json" "$reg$dir/$host_name.json" ||
                fail "$dir/$host_name.json differs from what the installed host registers"
        done
    fi
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq qorvclientatm-host qorvclientatm-extension \
        >"$scratch/apt-purge.log" 2>&1 || fail "apt-get purge failed"
    # dpkg removes an empty folder no other package owns (such as /etc/opt)
    # when it purges the last package that shipped it: put such folders back.
    while read -r folder; do
        [[ -n $folder && ! -e $folder ]] && mkdir -m 755 "$folder"
    done <<<"$before_folders"
    after=$(installed) after_folders=$(folders)
    [[ $before == "$after" ]] || fail "the machine's packages changed: $(diff <(echo "$before") <(echo "$after"))"
    [[ $before_folders == "$after_folders" ]] ||
        fail "folders changed: $(diff <(echo "$before_folders") <(echo "$after_folders"))"
    for path in /usr/bin/qorvclientatm-host /etc/chromium/native-messaging-hosts/$host_name.json \
        /etc/opt/chrome/native-messaging-hosts/$host_name.json /etc/opt/edge/native-messaging-hosts/$host_name.json \
        /usr/lib/mozilla/native-messaging-hosts/$host_name.json /usr/share/qorvclientatm; do
        [[ -e $path ]] && fail "$path is left after the purge"
    done
fi

if ((failures)); then exit 1; fi
echo "ok"
