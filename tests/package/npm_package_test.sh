#!/usr/bin/env bash
# The page library as page authors take it: `npm pack` of extension/lib gives
# a tarball with the module, its typings and the README only; installed into
# a scratch project it resolves as "qorvclientatm", and a page script written
# against it type-checks with the TypeScript compiler, while a script that
# misuses a result does not.
#   npm_package_test.sh SOURCE_ROOT SCRATCH_DIR PROJECT_VERSION
set -euo pipefail
root=$1 scratch=$2 project_version=$3
for tool in npm node tsc; do
    command -v $tool >/dev/null || { echo "$tool is missing (Debian: npm, node-typescript)"; exit 77; }
done
rm -rf "$scratch"
mkdir -p "$scratch/app"
cd "$scratch"

# npm versions have three parts: the module's fourth goes in the build part.
IFS=. read -r major minor patch tweak <<<"$project_version"
expected="$major.$minor.$patch+$tweak"
tarball=$(npm pack --silent "$root/extension/lib")
[[ $tarball == "qorvclientatm-$expected.tgz" ]] || { echo "FAIL: tarball $tarball, expected version $expected"; exit 1; }
listing=$(tar -tzf "$tarball" | sort | tr '\n' ' ')
[[ $listing == "package/README.md package/package.json package/qorvclientatm.d.ts package/qorvclientatm.js " ]] ||
    { echo "FAIL: tarball holds: $listing"; exit 1; }
deps=$(tar -xzOf "$tarball" package/package.json | node -e \
    'const p = JSON.parse(require("fs").readFileSync(0, "utf8")); console.log(Object.keys({...p.dependencies, ...p.peerDependencies}).length)')
[[ $deps == 0 ]] || { echo "FAIL: the package has dependencies"; exit 1; }

cd app
cat >package.json <<'JSON'
{ "name": "bank-page", "private": true, "type": "module" }
JSON
npm install --offline --no-audit --no-fund --loglevel=error "../$tarball" >/dev/null
[[ -f node_modules/qorvclientatm/qorvclientatm.d.ts ]] || { echo "FAIL: not installed"; exit 1; }

mkdir good bad
cat >good/page.ts <<'TS'
import QorvClientATMDefault, { AutomationError, METHODS, QorvClientATM, QorvClientATMError } from "qorvclientatm";

export async function transfer(pin: string): Promise<string> {
    const atm: QorvClientATM = await QorvClientATMDefault.create({ timeoutMs: 5000 });
    try {
        const readers: number = await atm.ListReaders();
        if (readers <= 0) return "no reader";
        const name: string | null = await atm.GetReaderName(0);
        const rc: number = await atm.ConnectCard(name);
        if (rc !== 0) return `card: ${rc}`;
        const atr = await atm.GetCardStatus();
        if (atr === null) return "no card";
        await atm.ConnectCard(null);
        const byName = await atm.invoke("GetRespTAC");
        const byDispid = await atm.invokeDispid(50, pin);
        return `${atr.length} ${String(byName)} ${String(byDispid)} ${METHODS.length}`;
    } catch (error) {
        if (error instanceof QorvClientATMError) return error.code;
        if (error instanceof AutomationError) return `${error.name} ${error.hresult}`;
        throw error;
    } finally {
        atm.close();
    }
}
TS
cat >bad/page.ts <<'TS'
import { QorvClientATM } from "qorvclientatm";

export async function wrong(): Promise<number> {
    const atm = await QorvClientATM.create();
    const atr: string = await atm.GetCardStatus();   // may be null: must not type-check
    return atr.length + (await atm.ConnectCard(0));  // a reader name is text: must not type-check
}
TS
if ! tsc --strict --noEmit --target es2022 --lib es2022,dom --module node16 --moduleResolution node16 good/page.ts; then
    echo "FAIL: the page script does not type-check against the installed package"; exit 1
fi
if out=$(tsc --strict --noEmit --target es2022 --lib es2022,dom --module node16 --moduleResolution node16 bad/page.ts); then
    echo "FAIL: a page script that ignores null results type-checks"; exit 1
fi
grep -q "TS2322" <<<"$out" && grep -q "TS2345" <<<"$out" ||
    { echo "FAIL: unexpected compiler errors for the wrong script:"; echo "$out"; exit 1; }

# The module itself loads as an ES module under the package's name.
node --input-type=module -e '
    const m = await import("qorvclientatm");
    if (typeof m.QorvClientATM.create !== "function" || m.default !== m.QorvClientATM || m.METHODS.length !== 79)
        throw new Error("unexpected exports");' || { echo "FAIL: the module does not load"; exit 1; }
echo "ok: $tarball"
