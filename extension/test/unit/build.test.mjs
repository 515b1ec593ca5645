// The build script: extension ID, origin rules and the manifest it writes.
import { test } from "node:test";
import assert from "node:assert/strict";
import { existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, symlinkSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { build, checkOrigin, extensionIdFromPublicKey, manifestFor, matchPatterns } from "../../build.mjs";

const ROOT = new URL("../../../", import.meta.url);
const development = JSON.parse(readFileSync(new URL("extension/deployments/development.json", ROOT), "utf8"));

test("the development key gives the ID a development build's host manifests allow", () => {
    const id = extensionIdFromPublicKey(development.chromePublicKey);
    assert.match(id, /^[a-p]{32}$/);
    const cmake = readFileSync(new URL("cmake/deployment.cmake", ROOT), "utf8");
    assert.match(cmake, new RegExp(`QORV_DEV_CHROME_EXTENSION_ID "${id}"`));
    assert.match(cmake, new RegExp(`QORV_DEV_FIREFOX_EXTENSION_ID "${development.firefoxId}"`));
});

test("only https origins, or plain http on loopback, are accepted", () => {
    for (const ok of ["https://ebank.example.com.tw", "https://bank.example:8443", "http://127.0.0.1:*", "http://localhost:8080", "http://[::1]:*"]) {
        assert.doesNotThrow(() => checkOrigin(ok), ok);
    }
    assert.doesNotThrow(() => checkOrigin("https://bank.example:65535"));
    // A port no URL can have would otherwise only fail in the background.
    for (const bad of ["http://bank.example", "https://bank.example/atm", "https://*.bank.example", "bank.example", "https://bank.example:*/", "file:///tmp",
        "https://bank.example:65536", "http://localhost:99999", "https://bank.example:0"]) {
        assert.throws(() => checkOrigin(bad), undefined, bad);
    }
});

test("content scripts match scheme and host; the port is the background's check", () => {
    assert.deepEqual(matchPatterns(["https://bank.example:8443", "https://bank.example", "http://localhost:*"]), ["https://bank.example/*", "http://localhost/*"]);
    const manifest = manifestFor(development);
    assert.equal(manifest.manifest_version, 3);
    assert.deepEqual(manifest.permissions, ["nativeMessaging"]);
    assert.equal(manifest.key, development.chromePublicKey);
    assert.equal(manifest.content_scripts[0].world, "MAIN");
    assert.equal(manifest.content_scripts[1].world, undefined);
    assert.equal(manifest.browser_specific_settings.gecko.id, development.firefoxId);
    assert.equal(manifest.host_permissions, undefined);
});

test("the build empties only an output folder an earlier build made", (t) => {
    const work = mkdtempSync(join(tmpdir(), "qorv-build-"));
    t.after(() => rmSync(work, { recursive: true, force: true }));
    const deployment = new URL("extension/deployments/development.json", ROOT);
    const out = join(work, "out");
    const built = ["background.js", "manifest.json", "page-api.js", "relay.js"];

    // A new folder, then the same folder again: stale files go.
    build(deployment, out);
    writeFileSync(join(out, "stale.js"), "");
    build(deployment, out);
    assert.deepEqual(readdirSync(out).filter((f) => !f.startsWith(".")).sort(), built);

    // A folder of someone else's (a mistyped --out) stays as it was.
    const mine = join(work, "mine");
    mkdirSync(mine);
    writeFileSync(join(mine, "thesis.tex"), "years of work");
    assert.throws(() => build(deployment, mine), /not empty and no earlier build made it/);
    assert.equal(readFileSync(join(mine, "thesis.tex"), "utf8"), "years of work");
    assert.equal(existsSync(join(mine, "manifest.json")), false);
    // A link is no folder of the build's, even to one it made.
    symlinkSync(out, join(work, "link"));
    assert.throws(() => build(deployment, join(work, "link")), /is not a folder/);
    assert.ok(existsSync(join(out, "manifest.json")));

    // An empty folder is fine.
    const empty = join(work, "empty");
    mkdirSync(empty);
    build(deployment, empty);
    assert.ok(existsSync(join(empty, "manifest.json")));
});
