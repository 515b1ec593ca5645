// Chromium with the development extension and the real host, in a profile of
// its own: shared by the end-to-end tests and the demo (tools/demo).
//
//   const chromium = await loadPlaywright();            // null when not installed
//   const profile = prepareProfile(workDir, hostPath);  // extension built, host registered
//   const context = await launchBrowser(chromium, findChromium(), profile, { headless: true });
import { execFileSync } from "node:child_process";
import { existsSync, mkdirSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

import { build, HOST_NAME } from "../build.mjs";

const HERE = dirname(fileURLToPath(import.meta.url));
// The user's home inside the profile's root: Chromium looks for the host
// manifest under <home>/.config/chromium/NativeMessagingHosts.
const HOME = "/home/browser";

// The browser: QORV_CHROMIUM, or Debian's chromium; undefined when there is none.
export function findChromium() {
    return process.env.QORV_CHROMIUM || ["/usr/lib/chromium/chromium", "/usr/bin/chromium"].find(existsSync);
}

// playwright-core's chromium launcher (installed in extension/test by npm ci), or null.
export async function loadPlaywright() {
    try {
        return (await import("playwright-core")).chromium;
    } catch {
        return null;
    }
}

// Builds the development extension into <work>/extension (for either
// browser); the folder.
export function buildDevelopmentExtension(work) {
    const extensionDir = join(work, "extension");
    build(join(HERE, "../deployments/development.json"), extensionDir);
    return extensionDir;
}

// Builds the development extension into <work>/extension and registers the
// host for the profile's user under <work>/root.
export function prepareProfile(work, host) {
    const extensionDir = buildDevelopmentExtension(work);
    const root = join(work, "root");
    const userDataDir = join(root, HOME, ".config/chromium");
    // The user's Chromium profile folder: registration writes only for browsers in use.
    mkdirSync(userDataDir, { recursive: true });
    execFileSync(host, ["--register", "--user", "--root", root], { env: { ...process.env, HOME } });
    return { extensionDir, userDataDir, hostManifest: join(userDataDir, "NativeMessagingHosts", `${HOST_NAME}.json`) };
}

// A persistent context (extensions need one) with only our extension loaded;
// `options` go to playwright as they are (headless, viewport, signals, ...).
export function launchBrowser(chromium, executablePath, { extensionDir, userDataDir }, options = {}) {
    return chromium.launchPersistentContext(userDataDir, {
        headless: true,
        ...options,
        executablePath,
        ignoreDefaultArgs: ["--disable-extensions"],
        args: [
            `--disable-extensions-except=${extensionDir}`,
            `--load-extension=${extensionDir}`,
            "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
        ],
    });
}
