// Opens the demo bank page in Chromium with the development extension and the
// real host, prints the page's steps as they finish and then its outcome.
// qorv-demo runs it once pcscd, the simulated card and the bank simulator
// (which serves the page) are up:
//
//   node browser-demo.mjs --url URL --work DIR --host PATH [--headed]
//        [--confirmed [--pinpad]|--guided-transfer|--common-account] [--host-log FILE] [--timeout SECONDS]
//
// --work is an empty folder for the profile and the built extension. Headless,
// it ends with the first outcome; --headed leaves the window open (the person
// can run the page again) until it is closed.
// --confirmed runs the confirmed transfer, --guided-transfer the guided
// transfer, --common-account adds a common account. When the page asks the
// customer to take the card out and put it back, a line
// "qorv-demo-customer take-out-and-put-back" tells qorv-demo, which does it
// with the simulated card once the host shows its confirmation dialog.
// --host-log appends the host's standard error (its window reports) to FILE.
// Exit status: 0 the bank accepted, 1 it did not or the page failed, 2 usage,
// 77 Chromium or playwright-core is missing.
import { chmodSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

import { findChromium, launchBrowser, loadPlaywright, prepareProfile } from "../../extension/test/browser.mjs";

const MISSING = 77;
const REPORT_PREFIX = "qorv-demo ";
const CUSTOMER_PREFIX = "qorv-demo-customer ";
// The page's paths besides the plain transfer: each is an option here and a
// query word of the page.
const PATHS = ["confirmed", "guided-transfer", "common-account"];
const USAGE = "usage: browser-demo.mjs --url URL --work DIR --host PATH [--headed] " +
    "[--confirmed [--pinpad]|--guided-transfer|--common-account] [--host-log FILE] [--timeout SECONDS]";

function parseArguments(argv) {
    const options = { headed: false, timeoutSeconds: 120 };
    for (let i = 0; i < argv.length; i++) {
        const value = argv[i + 1];
        if (argv[i] === "--headed") options.headed = true;
        else if (argv[i].startsWith("--") && PATHS.includes(argv[i].slice(2))) {
            if (options.path && options.path !== argv[i].slice(2)) return null;
            options.path = argv[i].slice(2);
        }
        else if (argv[i] === "--pinpad") options.pinPad = true;
        else if (argv[i] === "--host-log" && value) { options.hostLog = value; i++; }
        else if (argv[i] === "--url" && value) { options.url = value; i++; }
        else if (argv[i] === "--work" && value) { options.work = value; i++; }
        else if (argv[i] === "--host" && value) { options.host = value; i++; }
        else if (argv[i] === "--timeout" && Number(value) > 0) { options.timeoutSeconds = Number(value); i++; }
        else return null;
    }
    return options.url && options.work && options.host ? options : null;
}

function printStep({ number, label, status, detail }) {
    const mark = status === "ok" ? "ok    " : "FAILED";
    console.log(`${String(number).padStart(2)}. ${mark} ${label}`);
    for (const line of detail) console.log(`           ${line}`);
}

// Prints what the page reports and hands each outcome to `onOutcome`.
function followPage(page, onOutcome) {
    page.on("console", (message) => {
        const text = message.text();
        if (text.startsWith(REPORT_PREFIX)) {
            const entry = JSON.parse(text.slice(REPORT_PREFIX.length));
            if (entry.kind === "step") printStep(entry);
            else if (entry.kind === "customer") console.log(`${CUSTOMER_PREFIX}${entry.action}`);
            else if (entry.kind === "outcome") onOutcome(entry);
        } else if (message.type() === "error") {
            console.log(`    page console: ${text}`);
        }
    });
    page.on("pageerror", (error) => console.log(`    page error: ${error.message}`));
}

// Chromium starts the host the manifest names: a shell script in its place
// starts it with its standard error appended to `logFile`.
function logHostErrors(profile, work, logFile) {
    const manifest = JSON.parse(readFileSync(profile.hostManifest, "utf8"));
    const quote = (text) => `'${text.replaceAll("'", "'\\''")}'`;
    const wrapper = join(work, "host-with-log.sh");
    writeFileSync(wrapper, `#!/bin/sh\nexec ${quote(manifest.path)} "$@" 2>>${quote(logFile)}\n`);
    chmodSync(wrapper, 0o755);
    manifest.path = wrapper;
    writeFileSync(profile.hostManifest, JSON.stringify(manifest, null, 2));
}

function printOutcome({ status, text }) {
    console.log(`\noutcome: ${status}\n${text}`);
}

// True once `promise` settles, false when `timeoutMs` passes first.
function within(promise, timeoutMs) {
    let timer;
    const expired = new Promise((resolve) => { timer = setTimeout(resolve, timeoutMs, false); });
    return Promise.race([promise.then(() => true), expired]).finally(() => clearTimeout(timer));
}

async function main() {
    const options = parseArguments(process.argv.slice(2));
    if (!options) {
        console.error(USAGE);
        return 2;
    }
    const executable = findChromium();
    if (!executable) {
        console.error("chromium is not installed (apt-get install chromium)");
        return MISSING;
    }
    const chromium = await loadPlaywright();
    if (!chromium) {
        console.error("playwright-core is missing (npm ci in extension/test)");
        return MISSING;
    }

    // qorv-demo stops us with SIGTERM (a Ctrl-C reaches only qorv-demo): the
    // browser is closed first, also when the signal comes while it starts.
    let context = null;
    let stopSignal = null;
    const exitClosing = async () => {
        if (context) await Promise.race([context.close(), new Promise((resolve) => setTimeout(resolve, 5000))]);
        process.exit(stopSignal === "SIGINT" ? 130 : 143);
    };
    for (const signal of ["SIGINT", "SIGTERM", "SIGHUP"]) {
        process.on(signal, () => {
            stopSignal = signal;
            if (context) exitClosing();
        });
    }

    const profile = prepareProfile(options.work, options.host);
    if (options.hostLog) logHostErrors(profile, options.work, options.hostLog);
    context = await launchBrowser(chromium, executable, profile, {
        headless: !options.headed,
        viewport: options.headed ? null : { width: 1100, height: 900 },
        handleSIGINT: false,
        handleSIGTERM: false,
        handleSIGHUP: false,
    });
    if (stopSignal) return exitClosing();
    const closed = new Promise((resolve) => context.once("close", resolve));

    // Headed, every run's outcome is printed as it comes; the last one decides.
    const outcomes = [];
    let firstOutcome;
    const reachedOutcome = new Promise((resolve) => { firstOutcome = resolve; });
    const page = context.pages()[0] || (await context.newPage());
    followPage(page, (entry) => {
        outcomes.push(entry);
        firstOutcome();
        if (options.headed) {
            printOutcome(entry);
            console.log("\nthe window stays open: run the page again there, or close it to end the demo\n");
        }
    });
    const url = new URL(options.url);
    url.searchParams.set("autorun", "");
    if (options.path) url.searchParams.set(options.path, "");
    if (options.pinPad) url.searchParams.set("pinpad", "");
    console.log(`bank page ${options.url} in ${options.headed ? "Chromium" : "headless Chromium"}\n`);
    await page.goto(url.href);

    if (!options.headed) {
        const done = await within(reachedOutcome, options.timeoutSeconds * 1000);
        const shown = await page.locator("#outcome").evaluate((o) => ({ status: o.dataset.status, text: o.value }));
        await context.close();
        if (!done) {
            console.log(`\nthe page gave no outcome within ${options.timeoutSeconds} s; it shows: ${shown.status} ${shown.text}`);
            return 1;
        }
        printOutcome(outcomes[0]);
        if (shown.status !== outcomes[0].status) {
            console.log(`but the page's outcome element says ${shown.status}`);
            return 1;
        }
        return outcomes[0].status === "ok" ? 0 : 1;
    }

    page.on("close", () => context.close());
    await closed;
    const last = outcomes.at(-1);
    if (!last) console.log("\nthe window was closed before the page reached an outcome");
    return last && last.status === "ok" ? 0 : 1;
}

try {
    process.exitCode = await main();
} catch (error) {
    console.error(`browser-demo: ${error.message}`);
    process.exitCode = 1;
}
process.exit();
