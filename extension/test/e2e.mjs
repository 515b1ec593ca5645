// End-to-end tests in headless Chromium or Firefox: a page imports the page
// library, the real extension relays to the real host, the host talks to a
// private pcscd with a simulated card. tests/e2e starts pcscd and the card
// and runs this with:
//   QORV_HOST       the built qorvclientatm-host (required)
//   QORV_READER     the name of the reader holding the simulated card
//   QORV_PCSCD_PID  pcscd's process id (to hold it still mid-call)
//   QORV_BROWSER    chromium (default, through playwright-core) or firefox
//                   (through puppeteer-core)
//   QORV_CHROMIUM   the browser (default /usr/lib/chromium/chromium)
//   QORV_FIREFOX    the browser (default /usr/bin/firefox-esr)
// Exits 77 when something it needs is missing, so CTest reports a skip.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { existsSync, mkdtempSync, readdirSync, readFileSync, renameSync, rmSync } from "node:fs";
import { createServer } from "node:http";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

import { METHODS } from "../lib/qorvclientatm.js";
import { findChromium, launchBrowser, loadPlaywright, prepareProfile } from "./browser.mjs";
import { findFirefox, launchFirefox, loadPuppeteer, prepareFirefoxProfile } from "./firefox.mjs";

const HERE = dirname(fileURLToPath(import.meta.url));
const SKIP = 77;
const HOST = process.env.QORV_HOST;
const READER = process.env.QORV_READER || "";
const PCSCD_PID = Number(process.env.QORV_PCSCD_PID || 0);
const BROWSER = process.env.QORV_BROWSER || "chromium";
// Firefox suspends an idle background after this long in these tests.
const FIREFOX_BACKGROUND_IDLE_MS = 2000;
const SHARING_VIOLATION = 0x8010000b | 0; // as the page sees it: a signed 32-bit number

function skip(why) {
    console.log(`SKIP: ${why}`);
    process.exit(SKIP);
}
if (!HOST || !existsSync(HOST)) skip("QORV_HOST does not name the built host");

// Both launchers resolve to something with newPage() and close(), and their
// pages share goto, evaluate(fn, arg) and close: the tests need no more.
async function browserUnderTest() {
    if (BROWSER === "firefox") {
        const executable = findFirefox();
        if (!executable) skip("firefox-esr is not installed (apt-get install firefox-esr)");
        const puppeteer = await loadPuppeteer();
        if (!puppeteer) skip("puppeteer-core is missing (npm ci in extension/test)");
        return {
            prepare: prepareFirefoxProfile,
            launch: (profile) => launchFirefox(puppeteer, executable, profile, { backgroundIdleMs: FIREFOX_BACKGROUND_IDLE_MS }),
        };
    }
    if (BROWSER !== "chromium") skip(`QORV_BROWSER=${BROWSER}: only chromium and firefox are known`);
    const executable = findChromium();
    if (!executable) skip("chromium is not installed (apt-get install chromium)");
    const chromium = await loadPlaywright();
    if (!chromium) skip("playwright-core is missing (npm ci in extension/test)");
    return { prepare: prepareProfile, launch: (profile) => launchBrowser(chromium, executable, profile) };
}
const browser = await browserUnderTest();

const work = mkdtempSync(join(tmpdir(), `qorv-e2e-${BROWSER}-`));
let hostManifest;
let context;
let servers = [];
let baseUrl;
let foreignUrl;

function serve(address) {
    const library = readFileSync(join(HERE, "../lib/qorvclientatm.js"));
    const server = createServer((request, response) => {
        if (request.url === "/qorvclientatm.js") {
            response.writeHead(200, { "content-type": "text/javascript" });
            response.end(library);
        } else {
            response.writeHead(200, { "content-type": "text/html" });
            response.end("<!doctype html><title>bank page</title><p>bank page</p>");
        }
    });
    return new Promise((resolve) => server.listen(0, address, () => { servers.push(server); resolve(`http://${address}:${server.address().port}/`); }));
}

// The page closes when the test ends, passed or failed, so no host outlives it.
async function openPage(t, url = baseUrl) {
    const page = await context.newPage();
    t.after(() => page.close());
    await page.goto(url);
    return page;
}

// Creates the control in the page as window.atm; returns what create() threw, if anything.
async function create(page, timeoutMs = 5000) {
    return page.evaluate(async (timeoutMs) => {
        const library = await import("/qorvclientatm.js");
        window.lib = library;
        try {
            window.atm = await library.QorvClientATM.create({ timeoutMs });
            return null;
        } catch (error) {
            return { name: error.name, code: error.code, message: error.message };
        }
    }, timeoutMs);
}

// Runs calls in the page: [[name, ...params]] -> [{value} | {error}].
function calls(page, list) {
    return page.evaluate(async (list) => {
        const out = [];
        for (const [name, ...params] of list) {
            try {
                out.push({ value: await window.atm.invoke(name, ...params) });
            } catch (error) {
                out.push({ error: { name: error.name, code: error.code, hresult: error.hresult, message: error.message } });
            }
        }
        return out;
    }, list);
}

async function call(page, name, ...params) {
    const [answer] = await calls(page, [[name, ...params]]);
    return answer;
}

function hostPids() {
    const pids = [];
    for (const entry of readdirSync("/proc")) {
        if (!/^\d+$/.test(entry)) continue;
        try {
            const argv0 = readFileSync(`/proc/${entry}/cmdline`, "utf8").split("\0")[0];
            if (argv0 === HOST) pids.push(Number(entry));
        } catch {
            // gone already
        }
    }
    return pids;
}

function describeHosts() {
    return hostPids().map((pid) => {
        const stat = readFileSync(`/proc/${pid}/stat`, "utf8");
        const wchan = readFileSync(`/proc/${pid}/wchan`, "utf8");
        return `${pid} state ${stat.split(") ")[1].split(" ")[0]} waiting in ${wchan}`;
    }).join(", ");
}

async function waitFor(predicate, timeoutMs = 8000) {
    const end = Date.now() + timeoutMs;
    while (Date.now() < end) {
        if (await predicate()) return true;
        await new Promise((r) => setTimeout(r, 100));
    }
    return false;
}

before(async () => {
    const profile = browser.prepare(work, HOST);
    hostManifest = profile.hostManifest;
    baseUrl = await serve("127.0.0.1");
    foreignUrl = await serve("127.0.0.2");
    context = await browser.launch(profile);
});

after(async () => {
    if (context) await context.close();
    for (const server of servers) server.close();
    await waitFor(() => hostPids().length === 0, 5000);
    rmSync(work, { recursive: true, force: true });
});

// A runner that quietly fell back to the other browser would pass while
// proving nothing about this one.
test("the page runs in the browser the run names", async (t) => {
    const page = await openPage(t);
    const agent = await page.evaluate(() => navigator.userAgent);
    const engine = /Firefox\/\d+/.test(agent) ? "firefox" : /Chrome\/\d+/.test(agent) ? "chromium" : agent;
    assert.equal(engine, BROWSER);
    await page.close();
});

test("results arrive as the control answers them: numbers, text, null and empty strings", async (t) => {
    const page = await openPage(t);
    assert.equal(await create(page), null);
    const answers = await calls(page, [
        ["GetReaderNumber"], ["GetCardStatus"], ["GetRespSNUM"], ["GetReaderName", 0],
        ["GetAPIVersion"], ["GetRespLength"], ["GetWinscardProperty", 1], ["ConnectCard", null],
    ]);
    assert.deepEqual(answers, [
        { value: -1 }, { value: null }, { value: "" }, { value: null },
        { value: "Version 1.0.1.3 " }, { value: 0 }, { value: "" }, { value: 4099 },
    ]);
    // The typed methods are the same calls; ConnectCard has set the reader count to 1.
    const typed = await page.evaluate(async () => [await window.atm.GetAPIVersion(), await window.atm.GetReaderNumber()]);
    assert.deepEqual(typed, ["Version 1.0.1.3 ", 1]);
    await page.close();
});

test("the automation layer's refusals reject with their name and code", async (t) => {
    const page = await openPage(t);
    assert.equal(await create(page), null);
    const unknown = await calls(page, [["NoSuchMethod"], ["FISC_ReadRecord", 1], ["ConnectCard"]]);
    assert.equal(unknown[0].error.name, "DISP_E_UNKNOWNNAME");
    assert.equal(unknown[0].error.hresult, 0x80020006 | 0);
    assert.equal(unknown[1].error.name, "DISP_E_UNKNOWNNAME");
    assert.equal(unknown[2].error.name, "DISP_E_BADPARAMCOUNT");
    const declaredOnly = await page.evaluate(async () => {
        const names = [];
        for (let dispid = 68; dispid <= 110; dispid++) {
            try {
                await window.atm.invokeDispid(dispid);
                names.push(`${dispid} answered`);
            } catch (error) {
                names.push(error.name);
            }
        }
        return names;
    });
    assert.deepEqual(declaredOnly, Array(43).fill("DISP_E_MEMBERNOTFOUND"));
    // A bad call leaves the control usable.
    assert.deepEqual(await call(page, "GetRespLength"), { value: 0 });
    await page.close();
});

test("the page library's table agrees with the host: every name, DISPID and parameter count", async (t) => {
    const page = await openPage(t);
    assert.equal(await create(page), null);
    // One argument too many never runs a method; the host names the method it
    // found and how many parameters it takes.
    const answers = await page.evaluate(async () => {
        const out = [];
        for (const { dispid, name, params } of window.lib.METHODS) {
            const extra = Array(params.length + 1).fill(null);
            for (const run of [() => window.atm.invoke(name, ...extra), () => window.atm.invokeDispid(dispid, ...extra)]) {
                try {
                    await run();
                    out.push(`${name}: ran`);
                } catch (error) {
                    out.push(`${error.name} ${error.detail}`);
                }
            }
        }
        return out;
    });
    const expected = METHODS.flatMap(({ name, params }) =>
        Array(2).fill(`DISP_E_BADPARAMCOUNT ${name} takes ${params.length} parameter(s), ${params.length + 1} given`));
    const notServed = answers.filter((a) => /^DISP_E_(UNKNOWNNAME|MEMBERNOTFOUND) /.test(a));
    const wrong = answers.filter((a, i) => a !== expected[i] && !notServed.includes(a));
    assert.deepEqual(wrong, [], "the host serves these differently from the page library's table");
    // The PIN-pad and confirmed forms and the guided procedures come with the
    // dialogs; until then the host answers them as unknown. Any other method
    // missing from the host is a fault.
    const comingWithTheDialogs = new Set([22, 23, 24, 26, 27, 28, 30, 31, 32, 34, 35, 36, 38, 39,
        40, 42, 43, 44, 46, 47, 48, 114, 115, 116, 121, 122]);
    const pendingNames = METHODS.filter(({ dispid }) => comingWithTheDialogs.has(dispid)).map(({ name }) => name);
    const unexpected = notServed.filter((a) => !pendingNames.some((name) => a.includes(` ${name}`) ||
        a.includes(`DISPID ${METHODS.find((m) => m.name === name).dispid}`)));
    assert.deepEqual(unexpected, [], "the host does not serve these methods of the table");
    assert.equal(METHODS.length, 79);
    await page.close();
});

test("messages too large for the host or the browser reject instead of hanging", async (t) => {
    const page = await openPage(t);
    assert.equal(await create(page), null);
    const overHost = await call(page, "GetReaderName", "x".repeat(2 * 1024 * 1024));
    assert.equal(overHost.error.name, "QorvClientATMError");
    assert.equal(overHost.error.code, "TOO_LARGE");
    const overBrowser = await call(page, "GetReaderName", "x".repeat(65 * 1024 * 1024));
    assert.equal(overBrowser.error.code, "TOO_LARGE");
    assert.deepEqual(await call(page, "GetRespLength"), { value: 0 });
    await page.close();
});

test("a page the deployment does not allow finds no extension", async (t) => {
    const page = await openPage(t, foreignUrl);
    const failure = await create(page, 500);
    assert.equal(failure.code, "NO_EXTENSION");
    assert.match(failure.message, /not installed, is disabled, or does not allow http:\/\/127\.0\.0\.2/);
    await page.close();
});

test("a missing host is reported by create()", async (t) => {
    renameSync(hostManifest, `${hostManifest}.away`);
    try {
        const page = await openPage(t);
        const failure = await create(page);
        assert.equal(failure.code, "NO_HOST");
        assert.match(failure.message, /not installed or not registered/);
        await page.close();
    } finally {
        renameSync(`${hostManifest}.away`, hostManifest);
    }
});

test("each page has its own control; closing a page releases its card", { skip: !READER && "no simulated card (QORV_READER)" }, async (t) => {
    const first = await openPage(t);
    const second = await openPage(t);
    assert.equal(await create(first), null);
    assert.equal(await create(second), null);
    assert.deepEqual(await calls(first, [["ListReaders"], ["ConnectCard", READER]]), [{ value: 0 }, { value: 0 }]);
    const status = await call(first, "GetCardStatus");
    assert.match(status.value, /^([0-9A-F]{2})+$/);
    assert.deepEqual(await call(second, "ConnectCard", READER), { value: SHARING_VIOLATION });
    await first.close();
    // The first host sees its input end, releases the reader session and exits.
    const released = await waitFor(async () => (await call(second, "ConnectCard", READER)).value === 0);
    assert.ok(released, "the card stayed held after its page closed");
    await second.close();
    assert.ok(await waitFor(() => hostPids().length === 0), `hosts outlived their pages: ${describeHosts()}`);
});

// Firefox runs the background as an event page and suspends it when idle,
// which would close every page's port and end its host. Only the open native
// port keeps it running: a background without one is suspended after the idle
// time (checked by hand), so a control that opened its host late or closed
// it between calls would die here. Chromium keeps its service worker alive
// for an open native port too, but its 30 s cannot be shortened for a test.
test("a quiet control outlives the background's idle time", { skip: BROWSER !== "firefox" && "Firefox only" }, async (t) => {
    const quiet = () => new Promise((r) => setTimeout(r, 2.5 * FIREFOX_BACKGROUND_IDLE_MS));
    const page = await openPage(t);
    assert.equal(await create(page), null);
    await quiet(); // opened, no call yet
    assert.deepEqual(await call(page, "ConnectCard", null), { value: 4099 });
    await quiet(); // between calls
    // Still the same control: ConnectCard has set its reader count to 1.
    assert.deepEqual(await call(page, "GetReaderNumber"), { value: 1 });
    await page.close();
});

test("a host killed mid-call rejects the pending call", { skip: !PCSCD_PID && "pcscd's pid is unknown (QORV_PCSCD_PID)" }, async (t) => {
    const page = await openPage(t);
    assert.equal(await create(page), null);
    assert.ok(await waitFor(() => hostPids().length === 1), `expected one host: ${describeHosts()}`);
    const [pid] = hostPids();
    process.kill(PCSCD_PID, "SIGSTOP"); // the host's next PC/SC call waits for pcscd
    try {
        await page.evaluate(() => { window.pending = window.atm.ConnectReader().then((value) => ({ value }), (error) => ({ name: error.name, code: error.code })); });
        await new Promise((r) => setTimeout(r, 500));
        process.kill(pid, "SIGKILL");
        const outcome = await page.evaluate(() => window.pending);
        assert.deepEqual(outcome, { name: "QorvClientATMError", code: "HOST_EXITED" });
        const later = await call(page, "GetRespLength");
        assert.equal(later.error.code, "HOST_EXITED");
    } finally {
        process.kill(PCSCD_PID, "SIGCONT");
    }
    await page.close();
});
