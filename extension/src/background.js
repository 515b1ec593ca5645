// The extension's background: for every control a page opens (one runtime
// port from the relay) it starts one native host with connectNative and
// closes it when the port goes, so each page has a control of its own and its
// reader session ends with the page. The calling origin is the browser's
// word (the port's sender), never the page's. QORV_DEPLOYMENT is put in front
// of this file by the build: { hostName, origins }.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST_NAME = QORV_DEPLOYMENT.hostName;
// The host refuses larger requests, and browsers refuse larger answers.
const MAX_REQUEST_BYTES = 1024 * 1024;
const PING_ID = 0;
const INT32_MIN = -2147483648;
const INT32_MAX = 2147483647;
// Each control is a host process of its own that can try PINs on the card:
// one tab holds at most this many at a time.
const MAX_CONTROLS_PER_TAB = 4;
const controlsPerTab = new Map(); // tab id -> open controls

// "http://localhost:*" allows every port of that scheme and host.
function originAllowed(origin) {
    let url;
    try {
        url = new URL(origin);
    } catch {
        return false;
    }
    return QORV_DEPLOYMENT.origins.some((allowed) => {
        if (allowed.endsWith(":*")) {
            const base = new URL(allowed.slice(0, -2));
            return url.protocol === base.protocol && url.hostname === base.hostname;
        }
        return url.origin === new URL(allowed).origin;
    });
}

// The origin the browser gives for the port's page. "null" is an opaque
// origin (a sandboxed document, a data: URL): whatever host served it, it is
// no page of the bank's, so its URL is not asked. Only a browser that gives
// no origin at all has it taken from the URL.
function senderOrigin(sender) {
    if ("origin" in sender && sender.origin !== undefined) {
        return typeof sender.origin === "string" ? sender.origin : "null";
    }
    try {
        return new URL(sender.url).origin;
    } catch {
        return "null";
    }
}

// Why a port may not have a control, or null: the bank's page itself, in the
// top frame of a tab, through this extension's own content script.
function refusal(sender) {
    if (!sender || sender.id !== api.runtime.id) return "only the QorvClientATM content script may connect";
    if (!sender.tab || !Number.isInteger(sender.tab.id)) return "only a page in a tab may use QorvClientATM";
    if (sender.frameId !== 0) return "only the top frame of a page may use QorvClientATM";
    const origin = senderOrigin(sender);
    if (origin === "null" || !originAllowed(origin)) return `${origin} may not use QorvClientATM`;
    return null;
}

function bridgeError(code, message, reason) {
    return reason ? { code, message, reason } : { code, message };
}

// Why a host could not be reached, by what the browser said (Chromium's and
// Firefox's words), with what the customer can do; bank pages show it.
const UNREACHABLE = [
    {
        reason: "NOT_REGISTERED",
        said: /not found|no such native application/i,
        text:
            "is not installed or not registered for this browser; a Snap or Flatpak browser cannot start it " +
            "(install the browser's .deb); `qorvclientatm-host --doctor` says what is missing",
    },
    {
        reason: "FORBIDDEN",
        said: /forbidden|not allowed|access/i,
        text: "is registered for another bank's extension; reinstall the bank's QorvClientATM package",
    },
    {
        reason: "FAILED_TO_START",
        said: /./,
        text: "did not start (it ended at once); `qorvclientatm-host --doctor` says what is missing",
    },
];

function unreachable(text) {
    const { reason, text: what } = UNREACHABLE.find((row) => row.said.test(text || "exited"));
    return bridgeError(
        "NO_HOST",
        `the QorvClientATM host (${HOST_NAME}) ${what}${text ? ` [${text}]` : ""}`,
        reason,
    );
}

// Why the native port closed, in the page's terms.
function disconnectReason(port, opened) {
    const text = (port.error && port.error.message) || (api.runtime.lastError && api.runtime.lastError.message) || "";
    if (!opened) return unreachable(text);
    return bridgeError("HOST_EXITED", `the QorvClientATM host ended${text ? `: ${text}` : ""}`);
}

function utf8Length(text) {
    return new TextEncoder().encode(text).length;
}

function checkParams(params) {
    if (!Array.isArray(params)) return "parameters must be an array";
    for (const value of params) {
        if (value === null || typeof value === "string") continue;
        if (typeof value === "number" && Number.isFinite(value)) continue;
        return "a parameter must be a string, null or a number";
    }
    return null;
}

// A reply of the host is passed on only in one of its two shapes.
function checkReply(reply) {
    if (!reply || typeof reply !== "object") return false;
    if ("result" in reply) {
        const r = reply.result;
        return r === null || typeof r === "string" || (Number.isInteger(r) && r >= INT32_MIN && r <= INT32_MAX);
    }
    const e = reply.error;
    return !!e && Number.isInteger(e.code) && typeof e.name === "string" && typeof e.message === "string";
}

api.runtime.onConnect.addListener((page) => {
    if (page.name !== "qorvclientatm") return;
    const refused = refusal(page.sender);
    if (refused) {
        page.postMessage({ type: "closed", error: bridgeError("NOT_ALLOWED", refused) });
        page.disconnect();
        return;
    }
    const tabId = page.sender.tab.id;
    const held = controlsPerTab.get(tabId) || 0;
    if (held >= MAX_CONTROLS_PER_TAB) {
        page.postMessage({
            type: "closed",
            error: bridgeError("TOO_MANY_CONTROLS", `a tab holds at most ${MAX_CONTROLS_PER_TAB} QorvClientATM controls at a time; close one first`),
        });
        page.disconnect();
        return;
    }

    let host;
    try {
        host = api.runtime.connectNative(HOST_NAME);
    } catch (error) {
        page.postMessage({ type: "closed", error: unreachable(String(error.message || error)) });
        page.disconnect();
        return;
    }

    controlsPerTab.set(tabId, held + 1);
    let opened = false;
    let closed = false;
    // The tab's slot is given back exactly once, however the control ends.
    const release = () => {
        const count = (controlsPerTab.get(tabId) || 1) - 1;
        if (count > 0) controlsPerTab.set(tabId, count);
        else controlsPerTab.delete(tabId);
    };
    let nextId = 1;
    const pending = new Map(); // host request id -> page call id, in sending order

    const answer = (pageId, message) => page.postMessage({ type: "reply", id: pageId, ...message });

    const end = (error) => {
        if (closed) return;
        closed = true;
        release();
        for (const pageId of pending.values()) answer(pageId, { error });
        pending.clear();
        try {
            page.postMessage({ type: "closed", error });
        } catch {
            // the page is already gone
        }
        page.disconnect();
        host.disconnect();
    };

    host.onDisconnect.addListener((port) => end(disconnectReason(port || host, opened)));

    // The page left (or closed the control): the host sees the end of its
    // input, releases the reader session and exits.
    page.onDisconnect.addListener(() => {
        if (closed) return;
        closed = true;
        release();
        pending.clear();
        host.disconnect();
    });

    host.onMessage.addListener((reply) => {
        if (!checkReply(reply)) {
            end(bridgeError("BAD_REPLY", "the QorvClientATM host answered out of protocol"));
            return;
        }
        if (reply.id === PING_ID && !opened) {
            opened = true;
            page.postMessage({ type: "opened" });
            return;
        }
        // The host answers in order; an answer without an id belongs to the
        // oldest call.
        let hostId = reply.id;
        if (hostId === null || hostId === undefined) hostId = pending.keys().next().value;
        if (!pending.has(hostId)) return;
        const pageId = pending.get(hostId);
        pending.delete(hostId);
        if ("result" in reply) {
            answer(pageId, { result: reply.result });
        } else {
            const { code, name, message } = reply.error;
            answer(pageId, { error: { kind: "automation", code, name, message } });
        }
    });

    page.onMessage.addListener((message) => {
        if (closed || !message || message.type !== "call" || !Number.isSafeInteger(message.id)) return;
        const invalid = checkParams(message.params);
        const byName = typeof message.method === "string";
        const byDispid = Number.isInteger(message.dispid) && message.dispid >= INT32_MIN && message.dispid <= INT32_MAX;
        if (invalid || byName === byDispid) {
            answer(message.id, { error: bridgeError("BAD_ARGUMENT", invalid || "a call names a method or a DISPID") });
            return;
        }
        const hostId = nextId++;
        const request = { id: hostId, params: message.params };
        if (byName) request.method = message.method;
        else request.dispid = message.dispid;
        const size = utf8Length(JSON.stringify(request));
        if (size > MAX_REQUEST_BYTES) {
            answer(message.id, {
                error: bridgeError("TOO_LARGE", `the call is ${size} bytes long; at most ${MAX_REQUEST_BYTES} reach the host`),
            });
            return;
        }
        pending.set(hostId, message.id);
        try {
            host.postMessage(request);
        } catch (error) {
            pending.delete(hostId);
            answer(message.id, { error: bridgeError("TOO_LARGE", String(error.message || error)) });
        }
    });

    // The host answers a request without a method with an error that carries
    // the id: proof that it started and speaks the protocol, without touching
    // the control.
    host.postMessage({ id: PING_ID });
});
