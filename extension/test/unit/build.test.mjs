// The build script: extension ID, origin rules and the manifest it writes.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { checkOrigin, extensionIdFromPublicKey, manifestFor, matchPatterns } from "../../build.mjs";

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
    for (const bad of ["http://bank.example", "https://bank.example/atm", "https://*.bank.example", "bank.example", "https://bank.example:*/", "file:///tmp"]) {
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
