#!/usr/bin/env python3
"""Writes the seed corpus of the host target (corpus/host/seed-*).

usage: make_host_seeds.py HOST_BINARY

Every served method (from `HOST_BINARY --list-methods`) is called with the
right arity, by name and by DISPID, after a connect to the first reader;
then streams with zero-length and oversized headers, cut frames, Unicode
edge cases and deep nesting. Each seed: a 16-bit little-endian length, the
PC/SC answers (support/fuzz_pcsc.h), then the native-messaging stream.
Regression inputs (regression-*) are kept.
"""
import json
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "host")

TEXTS = ["Virtual PCD 00 00", "123456", "0123456789ABCDEF", ""]
LONGS = [0, 1, 16]


def frame(body):
    data = body.encode("utf-8") if isinstance(body, str) else body
    return struct.pack("<I", len(data)) + data


def seed(answers, stream):
    return struct.pack("<H", len(answers)) + answers + stream


def request(rid, method, params):
    return json.dumps({"id": rid, "method": method, "params": params}, ensure_ascii=False)


def args_for(params, variant):
    out = []
    for i, p in enumerate(params):
        if p["type"] == "long":
            out.append(LONGS[(variant + i) % len(LONGS)])
        else:
            out.append(TEXTS[(variant + i) % len(TEXTS)])
    return out


# Two standard readers, every call succeeds; the card answers 90 00, then a
# record with data, then 61 10 (more data) and 6C 08 (wrong length).
CARD_ANSWERS = bytes([0]) + bytes([0, 0, 0, 0]) + bytes([0, 4, 0x12, 0x34, 0x90, 0x00]) + \
    bytes([0, 2, 0x61, 0x10, 0, 18]) + bytes(range(16)) + bytes([0x90, 0x00]) + \
    bytes([0, 2, 0x6C, 0x08])


def main():
    host = sys.argv[1]
    methods = json.loads(subprocess.check_output([host, "--list-methods"]))
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        if name.startswith("seed-"):
            os.remove(os.path.join(OUT, name))

    def write(name, data):
        with open(os.path.join(OUT, "seed-" + name), "wb") as f:
            f.write(data)

    connect = frame(request(1, "ConnectCard", ["Virtual PCD 00 00"]))
    for m in methods:
        for variant in range(2):
            args = args_for(m["params"], variant)
            stream = connect + frame(request(2, m["name"], args)) + \
                frame(json.dumps({"id": 3, "dispid": m["dispid"], "params": args}))
            write("%s-%d" % (m["name"], variant), seed(CARD_ANSWERS, stream))
    # Failures from PC/SC: each call answers a failure code in turn.
    write("pcsc-failures", seed(bytes([2, 3]) + b"A\xc3\xa9B" + bytes([1]) + b"R" +
                                bytes(range(0xF0, 0x100)) * 4,
                                connect + frame(request(2, "ReadCardSN", [])) +
                                frame(request(3, "VerifyPIN", ["123456"]))))
    # Framing: a zero-length frame, a request, a cut frame; an oversized header.
    write("frames-zero", seed(b"", frame(b"") + frame(request(1, "GetReaderNumber", [])) +
                              struct.pack("<I", 40) + b'{"id":2'))
    write("frames-oversized", seed(b"", frame(request(1, "ListReaders", [])) +
                                   struct.pack("<I", 0x100001) + b"[" * 64))
    write("frames-huge-header", seed(b"", struct.pack("<I", 0xFFFFFFFF)))
    write("frames-short-header", seed(b"", b"\x05\x00"))
    # Unicode and JSON edge cases.
    edge = [
        r'{"id":1,"method":"ConnectCard","params":["\ud800"]}',
        r'{"id":2,"method":"ConnectCard","params":["\udc00\ud800\udc00\ud83d"]}',
        r'{"id":3,"method":"ConnectCard","params":["\u0000\u001f\"\\\/\b\f\n\r\t"]}',
        '{"id":4,"method":"ConnectCard","params":["\u00e9\u8b80\U0001F600\uffff"]}',
        r'{"id":5,"method":"Get\ud800","params":[]}',
        '{"id":6,"method":"GetReaderName","params":[2147483648]}',
        '{"id":7,"method":"GetReaderName","params":[-2147483649]}',
        '{"id":8,"method":"GetReaderName","params":["  +12 "]}',
        '{"id":18446744073709551615,"dispid":4,"params":[1.5e3]}',
        '{"id":-9223372036854775808,"dispid":-1}',
        '{"id":9,"method":"GetReaderNumber","method":"ListReaders"}',
        '{"id":10,"x":' + "[" * 15 + "]" * 15 + ',"method":"GetReaderNumber"}',
        '{"id":11,"x":' + "[" * 16 + "]" * 16 + ',"method":"GetReaderNumber"}',
        '{"id":12,"method":"' + "N" * 200 + '"}',
        ' \t\r\n{ "id" : 13 , "method" : "GetAPIVersion" } ',
        '{"id":14,"method":"ConvertIntToHex","params":[8,"\u00ff\u0100\u0131abc"]}',
        '[1,2]', 'null', '{"id":01}', '{"id":1,}',
    ]
    write("unicode-json", seed(b"", b"".join(frame(e) for e in edge)))
    write("invalid-utf8", seed(b"", frame(b'{"id":1,"method":"\xed\xa0\x80"}') +
                               frame(b'{"id":2,"method":"\xc0\xaf"}') +
                               frame(b'{"id":3,"method":"\xf4\x90\x80\x80"}')))


if __name__ == "__main__":
    main()
