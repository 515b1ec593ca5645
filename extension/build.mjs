#!/usr/bin/env node
// Builds the extension folder for one deployment (the bank's origins, its key
// and its Firefox ID). No bundler: the sources are copied, the manifest is
// written, and the deployment is put in front of the background script.
//
//   node extension/build.mjs [--deployment FILE] [--out DIR]   (DIR new, empty or built before)
//   node extension/build.mjs --new-key PRIVATE_KEY_FILE
//
// --new-key makes a key pair for a bank's own extension ID: the private key
// goes to the file (keep it out of any repository; it is only needed to pack
// a .crx), the public key and the resulting ID are printed for the
// deployment file and for the host's build (QORV_CHROME_EXTENSION_ID).
import { createHash, generateKeyPairSync } from "node:crypto";
import { copyFileSync, existsSync, lstatSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

const HERE = dirname(fileURLToPath(import.meta.url));
export const HOST_NAME = "qorvclientatm.qorvclientatmctrl.1";
const VERSION = "1.0.1.3";
// Left in every folder the build writes: a later build may empty that
// folder, and only such a folder.
export const BUILD_MARK = ".qorvclientatm-extension-build";

// Chromium's extension ID: the first 128 bits of SHA-256 of the public key
// (DER SubjectPublicKeyInfo), one letter a-p per hexadecimal digit.
export function extensionIdFromPublicKey(base64) {
    const digest = createHash("sha256").update(Buffer.from(base64, "base64")).digest("hex");
    return [...digest.slice(0, 32)].map((d) => String.fromCharCode(97 + parseInt(d, 16))).join("");
}

// An origin the deployment allows: https://host[:port], or plain http for the
// loopback names only; ":*" allows every port.
export function checkOrigin(origin) {
    const match = /^(https?):\/\/([a-z0-9.-]+|\[[0-9a-f:]+\])(?::(\*|[0-9]{1,5}))?$/i.exec(origin);
    if (!match) throw new Error(`not an origin: ${origin}`);
    const [, scheme, host, port] = match;
    if (port !== undefined && port !== "*" && (Number(port) < 1 || Number(port) > 65535)) {
        throw new Error(`the port must be 1-65535: ${origin}`);
    }
    const loopback = host === "localhost" || host === "127.0.0.1" || host === "[::1]";
    if (scheme === "http" && !loopback) throw new Error(`plain http is for local development only: ${origin}`);
    return { scheme, host };
}

// Browsers ignore ports in content-script patterns (Firefox cannot express
// them at all), so the patterns name scheme and host and the background
// checks the exact origin.
export function matchPatterns(origins) {
    return [...new Set(origins.map((o) => { const { scheme, host } = checkOrigin(o); return `${scheme}://${host}/*`; }))];
}

export function manifestFor(deployment) {
    return {
        manifest_version: 3,
        name: deployment.name || "QorvClientATM",
        version: VERSION,
        description: "Lets the bank's web pages use your financial chip card through QorvClientATM.",
        key: deployment.chromePublicKey,
        permissions: ["nativeMessaging"],
        background: { service_worker: "background.js", scripts: ["background.js"] },
        content_scripts: [
            { matches: matchPatterns(deployment.origins), js: ["page-api.js"], run_at: "document_start", world: "MAIN" },
            { matches: matchPatterns(deployment.origins), js: ["relay.js"], run_at: "document_start" },
        ],
        browser_specific_settings: { gecko: { id: deployment.firefoxId, strict_min_version: "128.0" } },
    };
}

// Empties the output folder when an earlier build made it; a folder that
// holds anything else (a mistyped --out, a home folder) is refused untouched.
export function prepareOutFolder(outDir) {
    if (existsSync(outDir) || isLink(outDir)) {
        if (!lstatSync(outDir).isDirectory()) throw new Error(`${outDir} is not a folder`);
        const entries = readdirSync(outDir);
        if (entries.length > 0 && !entries.includes(BUILD_MARK)) {
            throw new Error(`${outDir} is not empty and no earlier build made it; choose another --out or empty it yourself`);
        }
        for (const entry of entries) rmSync(join(outDir, entry), { recursive: true, force: true });
    }
    mkdirSync(outDir, { recursive: true });
    writeFileSync(join(outDir, BUILD_MARK), "Made by extension/build.mjs, which empties this folder on the next build.\n");
}

function isLink(path) {
    try {
        return lstatSync(path).isSymbolicLink();
    } catch {
        return false;
    }
}

export function build(deploymentFile, outDir) {
    const deployment = JSON.parse(readFileSync(deploymentFile, "utf8"));
    if (!Array.isArray(deployment.origins) || deployment.origins.length === 0) throw new Error("the deployment lists no origins");
    deployment.origins.forEach(checkOrigin);
    if (typeof deployment.chromePublicKey !== "string") throw new Error("the deployment has no chromePublicKey");
    if (typeof deployment.firefoxId !== "string" || !deployment.firefoxId.includes("@")) throw new Error("the deployment needs a firefoxId like name@bank.example");

    prepareOutFolder(outDir);
    writeFileSync(join(outDir, "manifest.json"), JSON.stringify(manifestFor(deployment), null, 2) + "\n");
    const config = { hostName: HOST_NAME, origins: deployment.origins };
    const background = readFileSync(join(HERE, "src/background.js"), "utf8");
    writeFileSync(join(outDir, "background.js"), `const QORV_DEPLOYMENT = Object.freeze(${JSON.stringify(config)});\n${background}`);
    for (const file of ["page-api.js", "relay.js"]) copyFileSync(join(HERE, "src", file), join(outDir, file));
    return { id: extensionIdFromPublicKey(deployment.chromePublicKey), firefoxId: deployment.firefoxId };
}

function newKey(privateKeyFile) {
    const { publicKey, privateKey } = generateKeyPairSync("rsa", { modulusLength: 2048 });
    writeFileSync(privateKeyFile, privateKey.export({ type: "pkcs8", format: "pem" }), { mode: 0o600 });
    const base64 = publicKey.export({ type: "spki", format: "der" }).toString("base64");
    console.log(`chromePublicKey: ${base64}`);
    console.log(`extension ID:    ${extensionIdFromPublicKey(base64)}`);
}

function main(argv) {
    const options = { deployment: join(HERE, "deployments/development.json"), out: resolve("build-extension") };
    for (let i = 0; i < argv.length; i++) {
        const value = argv[i + 1];
        if (argv[i] === "--deployment" && value) { options.deployment = value; i++; }
        else if (argv[i] === "--out" && value) { options.out = resolve(value); i++; }
        else if (argv[i] === "--new-key" && value) { newKey(value); return 0; }
        else { console.error("usage: build.mjs [--deployment FILE] [--out DIR] | --new-key PRIVATE_KEY_FILE"); return 2; }
    }
    const { id, firefoxId } = build(options.deployment, options.out);
    console.log(`built ${options.out}`);
    console.log(`Chromium/Chrome extension ID: ${id}`);
    console.log(`Firefox extension ID:         ${firefoxId}`);
    return 0;
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
    try {
        process.exitCode = main(process.argv.slice(2));
    } catch (error) {
        console.error(`build.mjs: ${error.message}`);
        process.exitCode = 1;
    }
}
