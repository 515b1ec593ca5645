#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (corpus/<target>/seed-*).

Each seed follows its target's input layout (see fuzz_input.h and the
targets): a choice byte first, 16-bit little-endian lengths before byte
strings, texts as UTF-16LE. Cipher texts for the development keys are made
here with plain modular exponentiation. Run again after changing a layout;
regression inputs (crash-*) are kept.
"""
import base64
import hashlib
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
KEYS = os.path.join(HERE, "..", "..", "keys", "dev")
rng = random.Random(13)


def pem_der(name):
    lines = open(os.path.join(KEYS, name)).read().split("\n")
    body = [l for l in lines if l and not l.startswith("-----")]
    return base64.b64decode("".join(body))


def der_read(data, at):
    """(tag, content start, content end) of the element at offset at."""
    tag, first = data[at], data[at + 1]
    at += 2
    if first < 0x80:
        length = first
    else:
        count = first & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, at, at + length


def der_children(data):
    _, start, end = der_read(data, 0)
    out, at = [], start
    while at < end:
        tag, cstart, cend = der_read(data, at)
        out.append((tag, data[at:cend], data[cstart:cend]))
        at = cend
    return out


def spki_to_pkcs1(spki):
    bitstring = der_children(spki)[1][2]
    return bitstring[1:]


def der_len(n):
    if n < 0x80:
        return bytes([n])
    body = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def der_int(value, raw=None):
    body = raw if raw is not None else value.to_bytes(max(1, (value.bit_length() + 8) // 8), "big")
    return b"\x02" + der_len(len(body)) + body


def der_seq(*parts):
    body = b"".join(parts)
    return b"\x30" + der_len(len(body)) + body


CLIENT_PRIVATE = pem_der("client-private.pem")
CLIENT_PUBLIC = spki_to_pkcs1(pem_der("client-public.pem"))
SERVER_PRIVATE = pem_der("server-private.pem")
SERVER_PUBLIC = spki_to_pkcs1(pem_der("server-public.pem"))
ints = [int.from_bytes(c[2], "big") for c in der_children(CLIENT_PRIVATE)]
N, E, D, P, Q, DP, DQ, QINV = ints[1:9]
K = (N.bit_length() + 7) // 8


def encrypt_for_client(message, block_type=2):
    pad = bytes(rng.randrange(1, 256) for _ in range(K - 3 - len(message)))
    block = bytes([0, block_type]) + pad + b"\x00" + message
    return pow(int.from_bytes(block, "big"), E, N).to_bytes(K, "big")


def u16(text):
    return text.encode("utf-16-le", "surrogatepass")


def units(*codes):
    return b"".join(struct.pack("<H", c) for c in codes)


def lb(data):  # a length-prefixed byte string
    return struct.pack("<H", len(data)) + data


def hexu(data):
    return u16(data.hex().upper())


seeds = {"codec": {}, "rsa": {}, "session": {}}

# ---- codec: 0 UTF-8, 1 UTF-16, 2 Base64, 3 hex, 4 text bytes, 5 DES, 6 MAC,
# 7 Convert*, 8 block modes, 9 display scrambling, 10 data keys
utf8_cases = {
    "ascii": b"Hello, world",
    "nul": b"a\x00b",
    "two-byte": "\u00e9\u0131\u07ff".encode(),
    "three-byte": "\u0800\u4e2d\u6587\uffef".encode(),
    "four-byte": "\U0001f600\U00010000\U0010ffff".encode(),
    "bom": b"\xef\xbb\xbfBOM",
    "replacement": "\ufffd".encode(),
    "noncharacters": b"\xef\xbf\xbe\xef\xbf\xbf",
    "overlong-nul": b"\xc0\x80",
    "overlong-slash": b"\xc0\xaf\xe0\x80\xaf\xf0\x80\x80\xaf",
    "overlong-3": b"\xe0\x9f\xbf",
    "surrogate-high": b"\xed\xa0\x80",
    "surrogate-low": b"\xed\xbf\xbf",
    "surrogate-pair-cesu": b"\xed\xa0\xbd\xed\xb8\x80",
    "above-max": b"\xf4\x90\x80\x80",
    "lead-f5-ff": b"\xf5\xf8\xfc\xfe\xff",
    "lone-continuation": b"\x80\xbf",
    "truncated-3": b"\xe2\x82",
    "truncated-4-end": b"ok\xf0\x9f\x98",
    "truncated-then-ascii": b"\xe2\x82A",
}
for name, data in utf8_cases.items():
    seeds["codec"]["utf8-" + name] = b"\x00" + data
utf16_cases = {
    "ascii": u16("PIN 1234"),
    "dotless-i": units(0x131, 0x130, 0x3131),
    "lone-high": units(0x41, 0xD800, 0x42),
    "lone-low": units(0xDC00),
    "reversed-pair": units(0xDC00, 0xD800),
    "high-at-end": units(0x41, 0xDBFF),
    "pair": units(0xD83D, 0xDE00),
    "max-pair": units(0xDBFF, 0xDFFF),
    "fffe-ffff": units(0xFFFE, 0xFFFF, 0xFEFF),
    "nul": units(0, 0x41, 0),
}
for name, data in utf16_cases.items():
    seeds["codec"]["utf16-" + name] = b"\x01" + data
base64_texts = ["", "=", "==", "A===", "AB==", "ABC=", "ABCD", "QQ==", "QR==", "QUI=", "QUJ=",
                "AB=C", "A=BC", "ABCDE", "AB\r\nCD", "\r\n", "-_-_", "QUJD\n", "////", "++++"]
for i, text in enumerate(base64_texts):
    seeds["codec"]["base64-%02d" % i] = b"\x02" + lb(b"") + u16(text)
seeds["codec"]["base64-wide-letter"] = b"\x02" + lb(b"") + units(0x141, 0x141, 0x3D, 0x3D)
seeds["codec"]["base64-bytes"] = b"\x02" + lb(bytes(range(256))) + u16("AAEC")
hex_texts = ["", "0", "00", "0a", "0A1", "abcdef", "ABCDEF", "0x12", "12 34", "g0", "FFFFFFFF"]
for i, text in enumerate(hex_texts):
    seeds["codec"]["hex-%02d" % i] = b"\x03" + lb(b"\x00\xff\x10") + u16(text)
seeds["codec"]["hex-wide-digit"] = b"\x03" + lb(b"") + units(0x130, 0x141, 0xFF10)
seeds["codec"]["text-bytes"] = b"\x04" + units(0x41, 0x141, 0xFFFF, 0, 0xD800)


def key_text(data, damage=None):
    out = lb(data)
    if damage is None:
        return out + b"\x00"
    return out + b"\xff" + bytes([damage[0]]) + struct.pack("<H", damage[1])


for i, (klen, op) in enumerate([(0, 0), (1, 0), (2, 1), (3, 0), (1, 2)]):
    key = bytes(rng.randrange(256) for _ in range(8 * (klen + 1)))
    seeds["codec"]["des-%d" % i] = (b"\x05" + bytes([klen, op]) + key_text(key) +
                                   key_text(bytes(range(8))))
seeds["codec"]["des-bad-digit"] = (b"\x05\x01\x00" + key_text(bytes(16), (3, 0x131)) +
                                   key_text(bytes(8)))
for i, (klen, inlen) in enumerate([(0, 8), (1, 16), (2, 1024), (1, 0), (1, 12), (1, 1032)]):
    key = bytes(rng.randrange(256) for _ in range(8 * (klen + 1)))
    data = bytes(rng.randrange(256) for _ in range(min(inlen, 1100)))
    seeds["codec"]["mac-%d" % i] = (b"\x06" + bytes([klen]) + struct.pack("<h", inlen) +
                                   key_text(key) + key_text(bytes(8)) + key_text(data))
for i, length in enumerate([0, -1, 1, 5, 4096, 4097, 8192, 8193]):
    seeds["codec"]["convert-%d" % i] = (b"\x07" + struct.pack("<h", length) +
                                       u16("00FFab") + units(0x141, 0x30))
for t in range(3):
    for mode in range(6):
        for style in range(2):
            plain = bytes(rng.randrange(256) for _ in range(rng.choice([0, 7, 8, 13, 16])))
            seeds["codec"]["modes-%d%d%d" % (t, mode, style)] = (
                b"\x08" + bytes([t, mode, style, 0x5A]) + bytes(range(24)) + bytes(8) + plain)
for offset in [0, 5, 31, 32]:
    seeds["codec"]["display-%d" % offset] = (b"\x09" + bytes([offset]) + lb(u16("1234 \u4e2d")) +
                                            u16("QUJDRA=="))

for offset, selector, new, length in [(0, 0, 1, 16), (31, 3, 1, 8), (7, 9, 0, 24), (32, 0, 1, 8),
                                      (1, 1, 1, 7), (2, 2, 0, 0)]:
    seeds["codec"]["datakey-%d-%d-%d-%d" % (offset, selector, new, length)] = (
        b"\x0a" + bytes([offset, selector]) + bytes(range(16)) + bytes([new]) + bytes(range(length)))

# ---- rsa: 0 public record, 1 private record, 2 decrypt, 3 round trip, 4 sign
def mutations(der):
    out = {"whole": der, "truncated": der[: len(der) // 2], "trailing": der + b"\x00\x01",
           "indefinite": b"\x30\x80" + der[4:], "length-85": b"\x30\x85" + der[2:],
           "length-84-huge": b"\x30\x84\xff\xff\xff\xff" + der[4:], "set-tag": b"\x31" + der[1:],
           "empty": b"", "seq-only": b"\x30\x00"}
    children = der_children(der)
    raw = [c[1] for c in children]
    out["first-not-integer"] = der_seq(b"\x04" + raw[0][1:], *raw[1:])
    out["leading-zeros"] = der_seq(*[der_int(0, b"\x00\x00\x00" + c[2]) for c in children])
    out["long-form-small"] = der_seq(*[b"\x02\x81" + bytes([len(c[2])]) + c[2] for c in children
                                        if len(c[2]) < 0x80] + raw[1:])
    out["component-145"] = der_seq(raw[0], der_int(0, b"\x01" * 145), *raw[2:])
    return out


for name, der in mutations(CLIENT_PUBLIC).items():
    seeds["rsa"]["public-client-" + name] = b"\x00" + lb(b"message") + der
seeds["rsa"]["public-server"] = b"\x00" + lb(bytes(117)) + SERVER_PUBLIC
for name, der in {"zero": der_seq(der_int(0), der_int(3)), "even": der_seq(der_int(N + 1), der_int(E)),
                  "tiny": der_seq(der_int(187), der_int(7)),
                  "negative": der_seq(der_int(0, N.to_bytes(K, "big")), der_int(E)),
                  "exponent-1": der_seq(der_int(N), der_int(1)),
                  "exponent-above-n": der_seq(der_int(N), der_int(N + 2))}.items():
    seeds["rsa"]["public-" + name] = b"\x00" + lb(b"m") + der
cipher = encrypt_for_client(b"secret")
for name, der in mutations(CLIENT_PRIVATE).items():
    seeds["rsa"]["private-client-" + name] = b"\x01" + lb(cipher) + lb(bytes(20)) + b"\x01" + der
seeds["rsa"]["private-server"] = b"\x01" + lb(cipher) + lb(b"data") + b"\x00" + SERVER_PRIVATE
swapped = der_seq(der_int(0), der_int(N), der_int(E), der_int(D), der_int(Q), der_int(P),
                  der_int(DQ), der_int(DP), der_int(pow(P, -1, Q)))
seeds["rsa"]["private-swapped-primes"] = b"\x01" + lb(cipher) + lb(bytes(20)) + b"\x01" + swapped
same = der_seq(der_int(0), der_int(N), der_int(E), der_int(D), der_int(P), der_int(P),
               der_int(DP), der_int(DP), der_int(QINV))
seeds["rsa"]["private-equal-primes"] = b"\x01" + lb(cipher) + lb(bytes(20)) + b"\x00" + same
bad_dp = der_seq(der_int(0), der_int(N), der_int(E), der_int(D), der_int(P), der_int(Q),
                 der_int(DP ^ 2), der_int(DQ), der_int(QINV))
seeds["rsa"]["private-damaged-dp"] = b"\x01" + lb(cipher) + lb(bytes(20)) + b"\x00" + bad_dp
for name, c in {"valid": cipher, "valid-empty": encrypt_for_client(b""),
                "valid-117": encrypt_for_client(bytes(range(117))),
                "type-1": encrypt_for_client(b"x", 1), "zero": bytes(K), "one": b"\x01",
                "n-minus-1": (N - 1).to_bytes(K, "big"), "n": N.to_bytes(K, "big"),
                "short": cipher[1:], "long": b"\x00" + cipher, "empty": b""}.items():
    seeds["rsa"]["decrypt-" + name] = b"\x02" + c
for length in [0, 1, 8, 16, 24, 117, 118]:
    seeds["rsa"]["roundtrip-%d" % length] = b"\x03" + bytes(range(length))
for given, kind, data in [(0, 1, b"abc"), (1, 1, bytes(20)), (1, 0, bytes(16)), (0, 0, b"abc"),
                          (1, 1, bytes(19)), (0, 2, b"")]:
    seeds["rsa"]["sign-%d%d-%d" % (given, kind, len(data))] = b"\x04" + bytes([given, kind]) + data

# ---- session: 0 agreement, 1 key hash, 2 field cipher, 3 encipher/decipher
def made_key(length_choice, damage=b"\x07"):
    key = bytes(rng.randrange(256) for _ in range([8, 16, 24, 0, 12, 32][length_choice]))
    return b"\x00" + bytes([length_choice]) + key + damage


def raw_key(key, hash_text):
    return b"\x01" + lb(hexu(encrypt_for_client(key))) + lb(hash_text)


rn1 = encrypt_for_client(bytes(range(8)))
sig = pow(12345, E, N).to_bytes(K, "big")
seeds["session"]["agreement-raw"] = b"\x00\x01\x01\x01" + lb(hexu(rn1)) + lb(sig) + b"\x07"
seeds["session"]["agreement-made"] = b"\x00\x01\x01\x00" + lb(bytes(8)) + b"\x07" + lb(sig) + b"\x07"
seeds["session"]["agreement-rn1-16"] = b"\x00\x01\x01\x00" + lb(bytes(16)) + b"\x07" + lb(sig) + b"\x07"
seeds["session"]["agreement-lengths"] = (b"\x00\x00" + struct.pack("<h", 127) + b"\x00" +
                                         struct.pack("<h", -1) + b"\x01" + lb(hexu(rn1)) + lb(sig) + b"\x07")
seeds["session"]["agreement-missing"] = b"\x00\x01\x01\x01" + lb(hexu(rn1)) + lb(sig) + b"\x03"
seeds["session"]["agreement-bad-digit"] = (b"\x00\x01\x01\x00" + lb(bytes(8)) + b"\x00\x10" +
                                           struct.pack("<H", 0x131) + lb(sig) + b"\x07")
for choice in range(6):
    for damage, tag in [(b"\x07", "ok"), (b"\x01\x05", "cut"), (b"\x02", "lower"), (b"\x00\x03\x47\x00", "digit")]:
        seeds["session"]["keyhash-%d-%s" % (choice, tag)] = b"\x01" + made_key(choice, damage)
key16 = bytes(range(16))
seeds["session"]["keyhash-raw"] = b"\x01" + raw_key(key16, hexu(hashlib.sha1(key16).digest()))
seeds["session"]["keyhash-raw-short-digest"] = b"\x01" + raw_key(key16, hexu(hashlib.sha1(key16).digest()[:4]))
for fmt in range(5):
    for mode, direction in [(b"\x01", 0), (b"\x00\x04", 0), (b"\x01", 1), (b"\x00\x02", 0)]:
        text = {0: u16("Hello"), 1: u16("00112233445566778899"), 2: u16("ignored"),
                3: u16("PIN12345"), 4: u16("QUJDREVGR0g=")}[fmt]
        seeds["session"]["field-%d-%s-%d" % (fmt, mode.hex(), direction)] = (
            b"\x02" + made_key(1) + bytes([fmt]) + mode + bytes([direction]) + lb(text))
for length, tag in [(0, "empty"), (5, "short"), (8, "block"), (1024, "max"), (1025, "over")]:
    data = bytes(rng.randrange(256) for _ in range(length))
    for decipher in (0, 1):
        seeds["session"]["encipher-%s-%d" % (tag, decipher)] = (
            b"\x03" + made_key(2) + lb(data) + b"\x01\x07" + bytes([decipher]))
seeds["session"]["encipher-odd-length"] = b"\x03" + made_key(1) + lb(bytes(9)) + b"\x00" + struct.pack("<h", 8) + b"\x07\x00"

for target, entries in seeds.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        if old.startswith("seed-"):
            os.remove(os.path.join(folder, old))
    for name, data in entries.items():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)
    print(target, len(entries), "seeds", file=sys.stderr)
