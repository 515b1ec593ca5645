// Firefox ESR with the development extension and the real host: the Firefox
// side of browser.mjs, for the end-to-end tests.
//
//   const puppeteer = await loadPuppeteer();                 // null when not installed
//   const profile = prepareFirefoxProfile(workDir, hostPath); // extension built, host registered
//   const browser = await launchFirefox(puppeteer, findFirefox(), profile);
//
// Firefox finds a user's host manifests under $HOME/.mozilla, so the browser
// gets a HOME of its own inside the work folder and the product's own
// `--register --user` writes the manifest there, exactly as for a customer.
import { execFileSync } from "node:child_process";
import { existsSync, mkdirSync } from "node:fs";
import { join } from "node:path";

import { HOST_NAME } from "../build.mjs";
import { buildDevelopmentExtension } from "./browser.mjs";

// The browser: QORV_FIREFOX, or Debian's firefox-esr; undefined when there is none.
export function findFirefox() {
    return process.env.QORV_FIREFOX || ["/usr/bin/firefox-esr", "/usr/lib/firefox-esr/firefox-esr"].find(existsSync);
}

// puppeteer-core (installed in extension/test by npm ci), or null. It drives
// Firefox over WebDriver BiDi, which can install a temporary add-on.
export async function loadPuppeteer() {
    try {
        return (await import("puppeteer-core")).default;
    } catch {
        return null;
    }
}

// Builds the development extension into <work>/extension and registers the
// host for a user whose home is <work>/home.
export function prepareFirefoxProfile(work, host) {
    const extensionDir = buildDevelopmentExtension(work);
    const home = join(work, "home");
    // The user's Firefox profile folder: registration writes only for browsers in use.
    mkdirSync(join(home, ".mozilla/firefox"), { recursive: true });
    execFileSync(host, ["--register", "--user"], { env: { ...process.env, HOME: home }, stdio: "ignore" });
    const hostManifest = join(home, ".mozilla/native-messaging-hosts", `${HOST_NAME}.json`);
    if (!existsSync(hostManifest)) throw new Error(`the host did not register for Firefox: ${hostManifest} is missing`);
    return { extensionDir, home, profileDir: join(work, "firefox-profile"), hostManifest };
}

// Headless Firefox with the extension installed as a temporary add-on (no
// signature needed). Resolves to the puppeteer browser. `backgroundIdleMs`
// shortens the time after which Firefox suspends an idle background (30 s by
// default), so a test can outwait it.
export async function launchFirefox(puppeteer, executablePath, { extensionDir, home, profileDir }, { backgroundIdleMs } = {}) {
    const browser = await puppeteer.launch({
        browser: "firefox",
        executablePath,
        headless: true,
        userDataDir: profileDir,
        env: { ...process.env, HOME: home },
        extraPrefsFirefox: backgroundIdleMs ? { "extensions.background.idle.timeout": backgroundIdleMs } : {},
    });
    try {
        await browser.installExtension(extensionDir);
    } catch (error) {
        await browser.close();
        throw error;
    }
    return browser;
}
