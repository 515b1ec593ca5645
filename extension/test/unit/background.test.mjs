// The background against a scripted browser: who may open a control, and how
// many one tab may hold.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import vm from "node:vm";

const SOURCE = readFileSync(new URL("../../src/background.js", import.meta.url), "utf8");
const EXTENSION_ID = "kbpikjekkjciibmenhdnppmjacfnalkg";
const BANK = "https://bank.example";

function event() {
    const listeners = [];
    return { addListener: (fn) => listeners.push(fn), fire: (...args) => listeners.forEach((fn) => fn(...args)) };
}

function port(name, sender) {
    return {
        name,
        sender,
        posted: [],
        disconnected: false,
        onMessage: event(),
        onDisconnect: event(),
        postMessage(message) {
            this.posted.push(message);
        },
        disconnect() {
            this.disconnected = true;
        },
    };
}

// A browser with the background loaded; connect(sender) is a page's relay
// opening a control, hosts the native ports started so far.
function browserWithBackground(origins = [BANK, "http://localhost:*"]) {
    const hosts = [];
    const browser = { hosts, nativeFails: false };
    const runtime = {
        id: EXTENSION_ID,
        onConnect: event(),
        connectNative(name) {
            if (browser.nativeFails) {
                throw new Error(typeof browser.nativeFails === "string" ? browser.nativeFails : "Specified native messaging host not found.");
            }
            const host = port(name);
            hosts.push(host);
            return host;
        },
    };
    const context = vm.createContext({
        chrome: { runtime },
        QORV_DEPLOYMENT: Object.freeze({ hostName: "qorvclientatm.qorvclientatmctrl.1", origins }),
        URL,
        TextEncoder,
    });
    vm.runInContext(SOURCE, context);
    browser.connect = (sender) => {
        const page = port("qorvclientatm", sender);
        runtime.onConnect.fire(page);
        return page;
    };
    return browser;
}

function topFrame(overrides = {}) {
    return { id: EXTENSION_ID, origin: BANK, url: `${BANK}/atm`, tab: { id: 7 }, frameId: 0, ...overrides };
}

function refusalOf(page) {
    assert.equal(page.disconnected, true);
    const closed = page.posted.find((m) => m.type === "closed");
    assert.ok(closed, "the page is told why");
    return closed.error;
}

test("the bank's page in the top frame of a tab gets a control", () => {
    const browser = browserWithBackground();
    const page = browser.connect(topFrame());
    assert.equal(page.disconnected, false);
    assert.equal(browser.hosts.length, 1);
    assert.equal(JSON.stringify(browser.hosts[0].posted), JSON.stringify([{ id: 0 }])); // the ping
    // Every port of the allowed scheme and host when the deployment says ":*".
    browser.connect(topFrame({ origin: "http://localhost:8080", url: "http://localhost:8080/" }));
    assert.equal(browser.hosts.length, 2);
});

test("only the bank's page itself, by the browser's word, may open a control", () => {
    const refused = {
        // A sandboxed document on the bank's host: opaque origin, the URL is
        // not asked.
        "an opaque origin": topFrame({ origin: "null" }),
        "another origin": topFrame({ origin: "https://evil.example", url: "https://evil.example/" }),
        "another port": topFrame({ origin: "https://bank.example:8443", url: "https://bank.example:8443/" }),
        "a frame inside the page": topFrame({ frameId: 3 }),
        "no frame given": topFrame({ frameId: undefined }),
        "no tab": topFrame({ tab: undefined }),
        "another extension": topFrame({ id: "abcdefghijklmnopabcdefghijklmnop" }),
        "an opaque URL without an origin": topFrame({ origin: undefined, url: "data:text/html,x" }),
    };
    for (const [what, sender] of Object.entries(refused)) {
        const browser = browserWithBackground();
        const error = refusalOf(browser.connect(sender));
        assert.equal(error.code, "NOT_ALLOWED", what);
        assert.equal(browser.hosts.length, 0, `${what}: no host started`);
    }
    const browser = browserWithBackground();
    refusalOf(browser.connect(undefined));
    assert.equal(browser.hosts.length, 0);
});

test("a browser that gives no origin has it taken from the URL", () => {
    const browser = browserWithBackground();
    browser.connect(topFrame({ origin: undefined }));
    assert.equal(browser.hosts.length, 1);
    const refused = browserWithBackground();
    refusalOf(refused.connect(topFrame({ origin: undefined, url: "https://evil.example/" })));
    assert.equal(refused.hosts.length, 0);
});

test("a tab holds at most four controls; each one that ends frees its place", () => {
    const browser = browserWithBackground();
    const pages = [1, 2, 3, 4].map(() => browser.connect(topFrame()));
    assert.equal(browser.hosts.length, 4);
    const fifth = browser.connect(topFrame());
    const error = refusalOf(fifth);
    assert.equal(error.code, "TOO_MANY_CONTROLS");
    assert.match(error.message, /at most 4/);
    assert.equal(browser.hosts.length, 4, "no host for the excess");

    // Another tab has places of its own.
    browser.connect(topFrame({ tab: { id: 8 } }));
    assert.equal(browser.hosts.length, 5);

    // The page closes a control: one place again, and only one.
    pages[0].onDisconnect.fire();
    pages[0].onDisconnect.fire();
    browser.connect(topFrame());
    assert.equal(browser.hosts.length, 6);
    assert.equal(refusalOf(browser.connect(topFrame())).code, "TOO_MANY_CONTROLS");

    // A host that ends frees its place too, also when the page then goes.
    browser.hosts[1].onDisconnect.fire(browser.hosts[1]);
    pages[1].onDisconnect.fire();
    browser.connect(topFrame());
    assert.equal(browser.hosts.length, 7);
    assert.equal(refusalOf(browser.connect(topFrame())).code, "TOO_MANY_CONTROLS");
});

test("a host that cannot be started takes no place", () => {
    const browser = browserWithBackground();
    browser.nativeFails = true;
    for (let i = 0; i < 5; i++) assert.equal(refusalOf(browser.connect(topFrame())).code, "NO_HOST");
    browser.nativeFails = false;
    for (let i = 0; i < 4; i++) browser.connect(topFrame());
    assert.equal(browser.hosts.length, 4);
});

test("a host that cannot be reached says why, in words a bank page can show", () => {
    const rows = [
        // [how the browser fails, what it says, reason]
        ["throws", "Specified native messaging host not found.", "NOT_REGISTERED"],
        ["closes", "No such native application qorvclientatm.qorvclientatmctrl.1", "NOT_REGISTERED"],
        ["closes", "Access to the specified native messaging host is forbidden.", "FORBIDDEN"],
        ["closes", "Native host has exited.", "FAILED_TO_START"],
        ["closes", "", "FAILED_TO_START"],
    ];
    for (const [how, said, reason] of rows) {
        const browser = browserWithBackground();
        browser.nativeFails = how === "throws" ? said : false;
        const page = browser.connect(topFrame());
        if (how === "closes") {
            browser.hosts[0].error = said ? { message: said } : undefined;
            browser.hosts[0].onDisconnect.fire(browser.hosts[0]);
        }
        const error = refusalOf(page);
        assert.equal(error.code, "NO_HOST", said);
        assert.equal(error.reason, reason, said);
        assert.match(error.message, reason === "NOT_REGISTERED" ? /Snap or Flatpak.*\.deb.*--doctor/ : /QorvClientATM host/, said);
    }
    // Once the host answered, its end is no start failure.
    const browser = browserWithBackground();
    const page = browser.connect(topFrame());
    browser.hosts[0].onMessage.fire({ id: 0, error: { code: -2147024809, name: "E_INVALIDARG", message: "no method" } });
    browser.hosts[0].onDisconnect.fire(browser.hosts[0]);
    assert.equal(refusalOf(page).code, "HOST_EXITED");
    assert.equal(refusalOf(page).reason, undefined);
});
