// Runs in the extension's isolated world on the allowed pages. It carries the
// page's messages to the background, one runtime port per control, and the
// answers back. A port that closes (the background saw the host go, or the
// page is leaving) ends that control.
(() => {
    "use strict";
    const TAG = "qorvclientatm";
    const api = globalThis.browser ?? globalThis.chrome;
    const ports = new Map(); // session number -> runtime port

    const toPage = (message) => window.postMessage({ [TAG]: "relay", ...message }, "*");

    function open(session) {
        if (!Number.isSafeInteger(session) || ports.has(session)) return;
        let port;
        try {
            port = api.runtime.connect({ name: TAG });
        } catch (error) {
            // The extension was reloaded or removed under this page.
            toPage({ type: "closed", session, error: { code: "NO_EXTENSION", message: String(error.message || error) } });
            return;
        }
        ports.set(session, port);
        port.onMessage.addListener((message) => {
            if (message && typeof message === "object") toPage({ ...message, session });
        });
        port.onDisconnect.addListener(() => {
            if (!ports.delete(session)) return;
            toPage({ type: "closed", session, error: { code: "HOST_EXITED", message: "the QorvClientATM extension closed the connection" } });
        });
    }

    function call(message) {
        const port = ports.get(message.session);
        if (!port) {
            toPage({ type: "reply", session: message.session, id: message.id, error: { code: "CLOSED", message: "this QorvClientATM control is closed" } });
            return;
        }
        const request = { type: "call", id: message.id, params: message.params };
        if ("method" in message) request.method = message.method;
        if ("dispid" in message) request.dispid = message.dispid;
        try {
            port.postMessage(request);
        } catch (error) {
            // The browser refuses messages above its own limit (64 MiB in
            // Chromium) with an exception; the page gets an answer anyway.
            toPage({
                type: "reply",
                session: message.session,
                id: message.id,
                error: { code: "TOO_LARGE", message: `the call could not be passed on: ${error && error.message ? error.message : error}` },
            });
        }
    }

    function close(session) {
        const port = ports.get(session);
        if (!port) return;
        ports.delete(session);
        port.disconnect();
    }

    window.addEventListener("message", (event) => {
        if (event.source !== window || !event.data || event.data[TAG] !== "page") return;
        const message = event.data;
        switch (message.type) {
            case "open":
                open(message.session);
                break;
            case "call":
                call(message);
                break;
            case "close":
                close(message.session);
                break;
        }
    });
})();
