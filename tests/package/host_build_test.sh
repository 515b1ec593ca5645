#!/usr/bin/env bash
# The built host says what it is, and is hardened the way release builds must be.
#   host_build_test.sh version HOST MODULE_VERSION DEVELOPMENT(0|1) TEST_HOOKS(0|1)
#   host_build_test.sh hardening FILE...
set -uo pipefail
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

check_version() {
    local host=$1 version=$2 development=$3 hooks=$4 out err
    out=$("$host" --version) || fail "--version exited with $?"
    [[ $(head -1 <<<"$out") == "qorvclientatm-host $version" ]] || fail "--version said: $out"
    if ((development)); then
        grep -q '^development build: .*not for customers' <<<"$out" || fail "no development notice: $out"
    else
        grep -q '^bank build' <<<"$out" || fail "a bank build must say so: $out"
        grep -qi development <<<"$out" && fail "a bank build claims development: $out"
    fi
    if ((hooks)); then
        grep -q '^test hooks: .*not for customers' <<<"$out" || fail "no test hooks notice: $out"
    else
        grep -qi 'test hooks' <<<"$out" && fail "a build without test hooks claims them: $out"
    fi
    # Serving: one notice on standard error in a development build, none
    # otherwise, and nothing at all on standard output for empty input.
    err=$("$host" </dev/null 2>&1 >/dev/null) || fail "serving empty input exited with $?"
    local notices
    notices=$(grep -c 'development build' <<<"$err")
    if ((development)); then
        ((notices == 1)) || fail "expected one development notice on stderr, got: $err"
    else
        [[ -z $err ]] || fail "a bank build wrote to stderr: $err"
    fi
    [[ -z $("$host" </dev/null 2>/dev/null) ]] || fail "serving empty input wrote to stdout"
}

check_hardening() {
    command -v readelf >/dev/null && command -v objdump >/dev/null ||
        { echo "readelf or objdump is missing (Debian: binutils)"; exit 77; }
    local file header dynamic notes symbols
    for file in "$@"; do
        header=$(readelf -h -l -W "$file") || { fail "$file: not an ELF file"; continue; }
        dynamic=$(readelf -d -W "$file")
        notes=$(readelf -n -W "$file")
        symbols=$(readelf --dyn-syms -W "$file")
        grep -q 'Type: *DYN' <<<"$header" || fail "$file: not position-independent (ELF type)"
        if grep -q 'Type: *DYN' <<<"$header" && grep -q 'INTERP' <<<"$header"; then
            grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$file: executable is not marked PIE"
        fi
        grep -q 'GNU_RELRO' <<<"$header" || fail "$file: no RELRO segment"
        grep -Eq 'BIND_NOW|FLAGS_1.*NOW' <<<"$dynamic" || fail "$file: no BIND_NOW (only partial RELRO)"
        grep -q '__stack_chk_fail' <<<"$symbols" || fail "$file: no stack protector"
        grep -Eq '__[a-z_]+_chk(@|$| )' <<<"$(grep -v __stack_chk_fail <<<"$symbols")" ||
            fail "$file: no fortified libc call"
        grep -q 'GNU_STACK.*RW ' <<<"$header" || fail "$file: executable stack"
        # -fcf-protection: the linker keeps the IBT/SHSTK property only when every
        # object has it, and Debian 12's crt1.o does not; the code itself then
        # shows it by the endbr64 at its function entries (a handful come from
        # the C runtime in a build without it, hundreds with it).
        if [[ $(uname -m) == x86_64 ]] && ! grep -q 'x86 feature:.*IBT' <<<"$notes"; then
            local landings
            landings=$(objdump -d "$file" | grep -c endbr64)
            ((landings >= 50)) || fail "$file: no control-flow protection ($landings endbr64 only)"
        fi
    done
}

case ${1:-} in
    version) shift; check_version "$@" ;;
    hardening) shift; check_hardening "$@" ;;
    *) echo "usage: $0 version HOST VERSION DEVELOPMENT TEST_HOOKS | hardening FILE..." >&2; exit 2 ;;
esac
if ((failures)); then exit 1; fi
echo "ok"
