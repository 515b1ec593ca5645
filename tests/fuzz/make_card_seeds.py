#!/usr/bin/env python3
"""Writes the seed corpus of the card fuzz target (corpus/card/seed-*).

Layout (see card_fuzzer.cpp and card_answers.h): a protocol byte (1: T=1),
the answer-to-reset and the operations as 16-bit little-endian lengths with
their bytes, then the card's answers, each a 16-bit length and its bytes.
The answers come from the card simulator's profiles (tools/cardsim/profiles)
and from the exchanges of the scripted card tests. Run again after changing
the layout; regression inputs (crash-*) are kept.
"""
import json
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
PROFILES = os.path.join(HERE, "..", "..", "tools", "cardsim", "profiles")
OUT = os.path.join(HERE, "corpus", "card")

# Operation numbers of card_fuzzer.cpp.
CONNECT, RECONNECT, DISCONNECT, CHECK_INSERT, LIST_1001, LIST_1002, ISSUER, REMARK, SERIAL, \
    VERIFY, CHANGE, INQUIRY, WITHDRAW, TRANSFER, PAYMENT, PAYTAX, SUPPLIED, ACCOUNT_CHECK, \
    READER_STATUS, LIST_READERS = range(20)

ATR_T0 = bytes.fromhex("3B6800005130525646495343")
ATR_T1 = bytes.fromhex("3B880151 4F5256464953 43".replace(" ", "")) + b"\x00"


def h(text):
    return bytes.fromhex(text.replace(" ", ""))


def ok(data=b""):
    return data + b"\x90\x00"


def record(text):
    return b"\x00\x00" + text.encode("latin-1")


def load_profile(name):
    with open(os.path.join(PROFILES, name)) as f:
        profile = json.load(f)
    if "base" in profile:
        base = load_profile(profile["base"])
        for key, value in profile.items():
            if isinstance(value, dict) and isinstance(base.get(key), dict):
                base[key] = {**base[key], **value}
            else:
                base[key] = value
        profile = base
    return profile


class Seed:
    def __init__(self, t1=False):
        self.t1 = t1
        self.ops = bytearray()
        self.answers = bytearray()

    def op(self, number, extra=b""):
        self.ops += bytes([number, 0]) + extra

    def answer(self, data):
        self.answers += struct.pack("<H", len(data)) + data

    def select_application(self):
        if self.t1:
            self.answer(ok(h("6F08 8408A000000172950001")))
        else:
            self.answer(h("610A"))
            self.answer(ok(h("6F08 8408A000000172950001")))

    def write(self, path):
        atr = ATR_T1 if self.t1 else ATR_T0
        data = bytes([1 if self.t1 else 0]) + struct.pack("<H", len(atr)) + atr
        data += struct.pack("<H", len(self.ops)) + bytes(self.ops) + bytes(self.answers)
        with open(path, "wb") as f:
            f.write(data)


def status(text):
    return h(text)


def write_answer(profile):
    snum = "%08d" % profile["transaction"]["snum"]
    return b"\x00" + snum.encode() + b"\x01\x00" + h("1122334455667788")


def read_back(seed, profile, read_all):
    seed.answer(ok())  # select EF1001
    accounts = profile["ef1001Accounts"] or ["0" * 16]
    if read_all and not profile.get("faults", {}).get("refuseExtendedRead"):
        records = record(profile["issuer"]) + b"\x00\x00" + h(profile["remark"]) + \
            record(accounts[0] or "0" * 16)
        seed.answer(ok(records))
        return
    seed.answer(h("6700"))
    seed.answer(ok(record(profile["issuer"][:6])))
    seed.answer(ok(b"\x00\x00" + h(profile["remark"])))
    seed.answer(ok(record(accounts[0] or "0" * 16)))


def transaction(seed, profile, number):
    seed.op(number)
    fault = profile.get("faults", {}).get("transactionWrite")
    if fault:
        seed.answer(status(fault))
        return
    if seed.t1:
        seed.answer(ok(write_answer(profile)))
    else:
        seed.answer(h("6113"))
        seed.answer(ok(write_answer(profile)))
    read_back(seed, profile, seed.t1)


def profile_seed(profile, t1):
    faults = profile.get("faults", {})
    seed = Seed(t1)
    seed.op(CONNECT)
    # Serial number.
    seed.op(SERIAL)
    seed.select_application()
    if "readBinary" in faults:
        seed.answer(status(faults["readBinary"]))
    else:
        seed.answer(ok(h("00010008") + h(profile["serial"]) + h("00000000")))
    # Issuer and remark.
    seed.op(ISSUER)
    seed.select_application()
    seed.answer(ok())
    seed.answer(ok(record(profile["issuer"])))
    seed.op(REMARK)
    seed.select_application()
    seed.answer(ok())
    seed.answer(ok(b"\x00\x00" + h(profile["remark"])))
    # Both account lists.
    record_faults = faults.get("readRecord", {})
    for number, file_id, first, last, accounts, width in (
            (LIST_1001, "1001", 3, 10, profile["ef1001Accounts"], 16),
            (LIST_1002, "1002", 1, 8, profile["ef1002Accounts"], 24)):
        seed.op(number)
        seed.select_application()
        seed.answer(ok())
        for index, rec in enumerate(range(first, last + 1)):
            fault = record_faults.get(file_id, {}).get(str(rec))
            if fault:
                seed.answer(status(fault))
                break
            account = accounts[index] if index < len(accounts) else None
            seed.answer(ok(record(account if account else "0" * width)))
    # PIN: the right one, or the card's answer to a wrong one.
    pin = profile["pin"]
    seed.op(VERIFY)
    seed.select_application()
    if pin.get("locked"):
        seed.answer(status(pin.get("lockedStatus", "6983")))
    elif pin.get("wrongStatus", "63Cx") != "63Cx":
        seed.answer(status(pin["wrongStatus"]))
    else:
        seed.answer(ok())
    transaction(seed, profile, WITHDRAW)
    transaction(seed, profile, INQUIRY)
    return seed


def scripted_seeds():
    seeds = {}
    default = load_profile("default.json")
    # Every transaction kind, then a supplied record and the account check.
    for t1 in (False, True):
        seed = Seed(t1)
        seed.op(CONNECT)
        for number in (WITHDRAW, TRANSFER, PAYMENT, PAYTAX, INQUIRY):
            transaction(seed, default, number)
        seed.op(SUPPLIED)
        seed.answer(ok(write_answer(default)) if t1 else h("6113"))
        if not t1:
            seed.answer(ok(write_answer(default)))
        seed.op(ACCOUNT_CHECK)
        seed.answer(ok())
        seed.answer(ok(record("0058100012345678")))
        seeds["kinds-t1" if t1 else "kinds-t0"] = seed
    # A fetch the card refuses, one that is short, then a 6Cxx correction.
    seed = Seed()
    seed.op(CONNECT)
    seed.op(INQUIRY)
    seed.answer(h("6113"))
    seed.answer(h("6F00"))
    seed.op(INQUIRY)
    seed.answer(h("6113"))
    seed.answer(ok(h("0030303030303032")))
    seed.op(REMARK)
    seed.select_application()
    seed.answer(ok())
    seed.answer(h("6C20"))
    seed.answer(ok(b"\x00\x00" + h(default["remark"])))
    seeds["refused-fetch"] = seed
    # PIN change, reader status, list, reconnect, removal.
    seed = Seed()
    seed.op(LIST_READERS)
    seed.op(CONNECT)
    seed.op(CHANGE)
    seed.select_application()
    seed.answer(ok())  # old PIN
    seed.answer(ok())  # select the PIN file
    seed.answer(h("6982"))
    seed.op(READER_STATUS, struct.pack("<i", 0x00010100))
    seed.answer(b"Fuzz vendor\x00")
    seed.op(READER_STATUS, struct.pack("<i", 0x0007A007))
    seed.answer(struct.pack("<I", 0x12345))
    seed.op(CHECK_INSERT)
    seed.op(RECONNECT)
    seed.op(DISCONNECT)
    seed.op(SERIAL)
    seed.answer(struct.pack("<H", 0xFF00))  # removed card
    seeds["session"] = seed
    # Arguments from the input: a transfer-in account with a character beyond a byte.
    seed = Seed(True)
    seed.op(CONNECT)
    args = b""
    for text in ("2521", "12345678", "ABCDEFGH", "00000000050000", "8120058100012345\u0131",
                 "0058100012345678"):
        units = text.encode("utf-16-le")
        args += b"\x00" + struct.pack("<H", len(units)) + units
    seed.ops += bytes([TRANSFER, 1]) + args
    seed.answer(ok(write_answer(default)))
    read_back(seed, default, True)
    seeds["texts"] = seed
    return seeds


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        if name.startswith("seed-"):
            os.remove(os.path.join(OUT, name))
    for name in sorted(os.listdir(PROFILES)):
        if not name.endswith(".json"):
            continue
        profile = load_profile(name)
        profile_seed(profile, False).write(os.path.join(OUT, "seed-profile-t0-" + name[:-5]))
        if name == "default.json" or name == "no-extended-read.json":
            profile_seed(profile, True).write(os.path.join(OUT, "seed-profile-t1-" + name[:-5]))
    for name, seed in scripted_seeds().items():
        seed.write(os.path.join(OUT, "seed-" + name))


if __name__ == "__main__":
    main()
