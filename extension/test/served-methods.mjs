// The methods the host serves (qorvclientatm-host --list-methods) against the
// page library's table and its typings: every served method must be declared
// with the same DISPID, name, parameter names and types, and result type.
// Methods the library declares and the host does not serve yet are listed.
//   node served-methods.mjs /path/to/qorvclientatm-host
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { METHODS } from "../lib/qorvclientatm.js";

const host = process.argv[2];
if (!host) {
    console.error("usage: node served-methods.mjs HOST");
    process.exit(2);
}

const served = JSON.parse(execFileSync(host, ["--list-methods"], { encoding: "utf8" }));
const typings = readFileSync(new URL("../lib/qorvclientatm.d.ts", import.meta.url), "utf8");
const library = new Map(METHODS.map((m) => [m.dispid, m]));
const tsType = (type) => (type === "long" ? "number" : "string | null");

assert.ok(served.length > 0, "the host serves no method");
for (const method of served) {
    const declared = library.get(method.dispid);
    assert.ok(declared, `DISPID ${method.dispid} (${method.name}) is served but not in the page library`);
    assert.deepEqual(
        { dispid: method.dispid, name: method.name, params: method.params, result: method.result },
        { dispid: declared.dispid, name: declared.name, params: declared.params.map((p) => ({ ...p })), result: declared.result },
        `${method.name} differs between the host and the page library`,
    );
    const args = method.params.map((p) => `${p.name}: ${tsType(p.type)}`).join(", ");
    const declaration = `/** DISPID ${method.dispid} */\n    ${method.name}(${args}): Promise<${tsType(method.result)}>;`;
    assert.ok(typings.includes(declaration), `the typings do not declare ${declaration}`);
}
assert.equal(new Set(served.map((m) => m.dispid)).size, served.length, "a DISPID is served twice");

const servedIds = new Set(served.map((m) => m.dispid));
const pending = METHODS.filter((m) => !servedIds.has(m.dispid)).map((m) => m.name);
console.log(`${served.length} served methods match the page library and its typings`);
if (pending.length) console.log(`declared, not served yet: ${pending.join(", ")}`);
