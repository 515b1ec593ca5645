#!/usr/bin/env bash
# What a build trusts is chosen at configure time: a configure without trust
# anchors stops and says what it needs; the development extension IDs and
# keys/dev (or a copy of them) and the test hooks are refused unless the build
# is a development build; a bank's anchors end up in the host manifests.
#   configure_test.sh SOURCE_ROOT SCRATCH_DIR
set -uo pipefail
root=$1 scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/bank-keys" "$scratch/copied-keys"
cp "$root"/keys/dev/* "$scratch/copied-keys/"
echo "a bank's own key-store constant" >"$scratch/bank-keys/constant.txt"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
bank_id=abcdefghijklmnopabcdefghijklmnop
bank_edge_id=ponmlkjihgfedcbaponmlkjihgfedcba  # the same extension on a store with its own IDs
bank_gecko=qorvclientatm@ebank.example.com.tw
n=0

configure() { # expectation (ok|refused), text the output must hold, cmake options...
    local expect=$1 text=$2 out rc dir
    shift 2
    n=$((n + 1))
    dir=${reuse:-$scratch/build-$n}
    out=$(cmake -S "$root" -B "$dir" -G Ninja -DQORV_BUILD_TESTS=OFF -DQORV_BUILD_TOOLS=OFF "$@" 2>&1)
    rc=$?
    out=$(tr -s ' \n' ' ' <<<"$out")  # CMake wraps its messages
    if [[ $expect == ok && $rc -ne 0 ]]; then
        fail "configure $* failed: $(grep -A4 'Error' <<<"$out")"
    elif [[ $expect == refused && $rc -eq 0 ]]; then
        fail "configure $* was accepted"
    elif ! grep -qF -- "$text" <<<"$out"; then
        fail "configure $*: the output does not say '$text': $out"
    fi
    last_dir=$dir
}

configure refused "-DQORV_DEVELOPMENT=ON"
configure refused "-DQORV_FIREFOX_EXTENSION_ID=" -DQORV_CHROME_EXTENSION_ID=$bank_id -DQORV_KEY_DIR="$scratch/bank-keys"
configure refused "only by a development build" -DQORV_CHROME_EXTENSION_ID=kbpikjekkjciibmenhdnppmjacfnalkg \
    -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko -DQORV_KEY_DIR="$scratch/bank-keys"
configure refused "only by a development build" -DQORV_CHROME_EXTENSION_ID=$bank_id \
    -DQORV_FIREFOX_EXTENSION_ID=qorvclientatm@qorv.example -DQORV_KEY_DIR="$scratch/bank-keys"
configure refused "only by a development build" -DQORV_CHROME_EXTENSION_ID=$bank_id \
    -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko -DQORV_KEY_DIR="$root/keys/dev/"
configure refused "is the development key" -DQORV_CHROME_EXTENSION_ID=$bank_id \
    -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko -DQORV_KEY_DIR="$scratch/copied-keys"
configure refused "only for a development build" -DQORV_TEST_HOOKS=ON -DQORV_CHROME_EXTENSION_ID=$bank_id \
    -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko -DQORV_KEY_DIR="$scratch/bank-keys"
configure refused "only by a development build" "-DQORV_CHROME_EXTENSION_ID=$bank_id;kbpikjekkjciibmenhdnppmjacfnalkg" \
    -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko -DQORV_KEY_DIR="$scratch/bank-keys"
configure refused "32 letters a-p" -DQORV_CHROME_EXTENSION_ID=ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP \
    -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko -DQORV_KEY_DIR="$scratch/bank-keys"
configure refused "32 letters a-p" "-DQORV_CHROME_EXTENSION_ID=$bank_id;abc" \
    -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko -DQORV_KEY_DIR="$scratch/bank-keys"

configure ok "bank build" "-DQORV_CHROME_EXTENSION_ID=$bank_id;$bank_edge_id" -DQORV_FIREFOX_EXTENSION_ID=$bank_gecko \
    -DQORV_KEY_DIR="$scratch/bank-keys" -DCMAKE_INSTALL_PREFIX=/opt/bank
manifests=$last_dir/host/manifests
grep -q "\"chrome-extension://$bank_id/\", \"chrome-extension://$bank_edge_id/\"" \
    "$manifests/chromium/qorvclientatm.qorvclientatmctrl.1.json" ||
    fail "the bank build's Chromium manifest does not allow the bank's extension from both stores"
grep -q "QORV_CHROME_EXTENSION_IDS=.*$bank_id,$bank_edge_id" "$last_dir/build.ninja" ||
    fail "the bank build's host does not register both extension IDs"
grep -q "\"$bank_gecko\"" "$manifests/firefox/qorvclientatm.qorvclientatmctrl.1.json" ||
    fail "the bank build's Firefox manifest does not allow the bank's add-on"
grep -q '"path": "/opt/bank/bin/qorvclientatm-host"' "$manifests/chromium/qorvclientatm.qorvclientatmctrl.1.json" ||
    fail "the manifest does not name the installed host"
grep -q 'QORV_DEVELOPMENT_BUILD=0' "$last_dir/build.ninja" || fail "the bank build's host is built as a development one"

# The same build folder switched to development: the development anchors are
# filled in only where nothing was given, and the host says it is one.
reuse=$last_dir configure ok "development build" -DQORV_DEVELOPMENT=ON
grep -q "\"chrome-extension://$bank_id/\"" "$last_dir/host/manifests/chromium/qorvclientatm.qorvclientatmctrl.1.json" ||
    fail "switching to development replaced the IDs it was given"
grep -q 'QORV_DEVELOPMENT_BUILD=1' "$last_dir/build.ninja" || fail "the development host is not marked as one"

configure ok "development build" -DQORV_DEVELOPMENT=ON
grep -q 'kbpikjekkjciibmenhdnppmjacfnalkg' "$last_dir/host/manifests/chromium/qorvclientatm.qorvclientatmctrl.1.json" ||
    fail "the development build does not trust the development extension"

rm -rf "$scratch"
if ((failures)); then exit 1; fi
echo "ok"
