// The page library against a scripted bridge, and its typings against its table.
import { afterEach, test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { AutomationError, METHODS, QorvClientATM, QorvClientATMError } from "../../lib/qorvclientatm.js";

// Node's global object is no event target; the page's window is.
const windowEvents = new EventTarget();
for (const method of ["addEventListener", "removeEventListener", "dispatchEvent"]) {
    globalThis[method] = windowEvents[method].bind(windowEvents);
}

afterEach(() => {
    delete globalThis.QorvClientATMBridge;
});

function scriptedBridge(answer) {
    const calls = [];
    globalThis.QorvClientATMBridge = {
        open: async () => ({
            closed: false,
            close() {},
            call: async (target, params) => {
                calls.push({ ...target, params });
                return answer(target, params);
            },
        }),
    };
    return calls;
}

test("the table serves 79 methods: DISPIDs 1-67 and 111-122, no name twice", () => {
    const dispids = METHODS.map((m) => m.dispid);
    const expected = [...Array(67).keys()].map((i) => i + 1).concat([...Array(12).keys()].map((i) => i + 111));
    assert.deepEqual(dispids, expected);
    assert.equal(new Set(METHODS.map((m) => m.name.toLowerCase())).size, 79);
});

test("the typings declare every method with the table's parameters and result", () => {
    const declarations = readFileSync(new URL("../../lib/qorvclientatm.d.ts", import.meta.url), "utf8");
    for (const { dispid, name, params, result } of METHODS) {
        const args = params.map((p) => `${p.name}: ${p.type === "long" ? "number" : "string | null"}`).join(", ");
        const type = result === "long" ? "number" : "string | null";
        assert.ok(declarations.includes(`/** DISPID ${dispid} */\n    ${name}(${args}): Promise<${type}>;`), name);
    }
    assert.equal(declarations.match(/\/\*\* DISPID \d+ \*\//g).length, 79);
});

test("without the extension create() says what is missing", async () => {
    await assert.rejects(QorvClientATM.create({ timeoutMs: 50 }), (error) => {
        assert.ok(error instanceof QorvClientATMError);
        assert.equal(error.code, "NO_EXTENSION");
        assert.match(error.message, /not installed, is disabled, or does not allow/);
        return true;
    });
});

test("a bridge that arrives late is still found", async () => {
    const waiting = QorvClientATM.create({ timeoutMs: 1000 });
    setTimeout(() => {
        scriptedBridge(() => 0);
        globalThis.dispatchEvent(new Event("qorvclientatm:bridge-ready"));
    }, 20);
    assert.ok((await waiting) instanceof QorvClientATM);
});

test("a missing host rejects create() with the bridge's reason", async () => {
    for (const [reason, expected] of [["NOT_REGISTERED", "NOT_REGISTERED"], ["NO_ANSWER", "NO_ANSWER"], ["<b>", null], [undefined, null]]) {
        globalThis.QorvClientATMBridge = { open: async () => Promise.reject({ code: "NO_HOST", message: "not registered", reason }) };
        await assert.rejects(QorvClientATM.create(), { name: "QorvClientATMError", code: "NO_HOST", message: "not registered", reason: expected });
    }
});

test("results pass unchanged; automation errors reject with name and code", async () => {
    const calls = scriptedBridge((target) => {
        if (target.method === "GetCardStatus") return null;
        if (target.method === "GetRespSNUM") return "";
        if (target.method === "ConnectCard") return 0x8010000b | 0;
        throw { kind: "automation", code: 0x80020006 | 0, name: "DISP_E_UNKNOWNNAME", message: "unknown method Nope" };
    });
    const atm = await QorvClientATM.create();
    assert.equal(await atm.GetCardStatus(), null);
    assert.equal(await atm.GetRespSNUM(), "");
    assert.equal(await atm.ConnectCard("Virtual PCD 00 00"), -2146435061);
    await assert.rejects(atm.invoke("Nope"), (error) => {
        assert.ok(error instanceof AutomationError);
        assert.equal(error.name, "DISP_E_UNKNOWNNAME");
        assert.equal(error.hresult, -2147352570);
        assert.match(error.message, /0x80020006/);
        return true;
    });
    await assert.rejects(atm.invokeDispid(78), { name: "DISP_E_UNKNOWNNAME" });
    assert.deepEqual(calls.map((c) => c.method ?? c.dispid), ["GetCardStatus", "GetRespSNUM", "ConnectCard", "Nope", 78]);
    assert.deepEqual(calls[2].params, ["Virtual PCD 00 00"]);
});
