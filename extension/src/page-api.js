// Runs in the page's own world (content script, world MAIN) on the pages the
// deployment allows. It defines window.QorvClientATMBridge, which the page
// library uses, and talks to the relay of the extension's isolated world
// through window messages. The page cannot name an origin here: the
// background takes it from the browser.
(() => {
    "use strict";
    const TAG = "qorvclientatm";
    if (Object.prototype.hasOwnProperty.call(window, "QorvClientATMBridge")) return;

    const sessions = new Map(); // session number -> state
    let nextSession = 1;

    const toRelay = (message) => window.postMessage({ [TAG]: "page", ...message }, "*");

    const failure = (code, message, reason) => (reason ? { code, message, reason } : { code, message });

    class Session {
        #number;
        #state;
        constructor(number, state) {
            this.#number = number;
            this.#state = state;
        }
        get closed() {
            return this.#state.closed;
        }
        call(target, params) {
            const state = this.#state;
            if (state.closed) {
                return Promise.reject(
                    state.closeError || failure("CLOSED", "this QorvClientATM control was closed"),
                );
            }
            const id = state.nextCall++;
            return new Promise((resolve, reject) => {
                state.pending.set(id, { resolve, reject });
                toRelay({ type: "call", session: this.#number, id, ...target, params: [...params] });
            });
        }
        close() {
            if (this.#state.closed) return;
            finish(this.#number, failure("CLOSED", "this QorvClientATM control was closed"));
            toRelay({ type: "close", session: this.#number });
        }
    }

    function finish(number, error) {
        const state = sessions.get(number);
        if (!state) return;
        sessions.delete(number);
        state.closed = true;
        state.closeError = error;
        if (state.opening) state.opening.reject(error);
        for (const { reject } of state.pending.values()) reject(error);
        state.pending.clear();
    }

    window.addEventListener("message", (event) => {
        // Only the relay of this very window answers; frames cannot reach here.
        if (event.source !== window || !event.data || event.data[TAG] !== "relay") return;
        const message = event.data;
        const state = sessions.get(message.session);
        if (!state) return;
        switch (message.type) {
            case "opened":
                if (state.opening) {
                    clearTimeout(state.openTimer);
                    state.opening.resolve(new Session(message.session, state));
                    state.opening = null;
                }
                break;
            case "reply": {
                const call = state.pending.get(message.id);
                if (!call) return;
                state.pending.delete(message.id);
                if (message.error) call.reject(message.error);
                else call.resolve(message.result);
                break;
            }
            case "closed":
                finish(message.session, message.error || failure("CLOSED", "the control was closed"));
                break;
        }
    });

    const bridge = Object.freeze({
        version: 1,
        // Starts one control of this page in the native host.
        open({ timeoutMs = 10000 } = {}) {
            const number = nextSession++;
            const state = {
                closed: false,
                closeError: null,
                nextCall: 1,
                pending: new Map(),
                opening: null,
                openTimer: 0,
            };
            sessions.set(number, state);
            return new Promise((resolve, reject) => {
                state.opening = { resolve, reject };
                state.openTimer = setTimeout(() => {
                    toRelay({ type: "close", session: number });
                    finish(
                        number,
                        failure(
                            "NO_HOST",
                            `the QorvClientATM host did not answer within ${timeoutMs} ms; ` +
                                "`qorvclientatm-host --doctor` says what is missing",
                            "NO_ANSWER",
                        ),
                    );
                }, timeoutMs);
                toRelay({ type: "open", session: number });
            });
        },
    });

    Object.defineProperty(window, "QorvClientATMBridge", {
        value: bridge,
        writable: false,
        enumerable: false,
        configurable: false,
    });
    window.dispatchEvent(new Event("qorvclientatm:bridge-ready"));
})();
