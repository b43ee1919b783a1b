#!/usr/bin/env python3
"""Writes the seed inputs of decode_reply_fuzzer into corpus/decode_reply/.

Each seed is the fuzzer's 12-byte state header (see decode_reply_fuzzer.cpp) followed by a
frame as the logger sends it: valid replies of every kind and version, replies cut short,
a bad CRC, exception replies, memory pages, and frames too short to be anything. The files
are kept in the repository; run this again only to change them:

    python3 fuzz/make_corpus.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "decode_reply")

# Mode bits and version picks, as the fuzzer reads them.
PAGE, RECORD, FULL, SEAL = 0x01, 0x02, 0x10, 0x20
LANG = {0: 0x00, 1: 0x04, 2: 0x08, -1: 0x0C}
VERSION_PICK = {0: 0, 8: 1, 10: 2, 110: 3, 120: 4, 210: 5}


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def sealed(body):
    crc = crc16(body)
    return bytes(body) + bytes([crc & 0xFF, crc >> 8])


def header(mode=0, language=0, version=0, shunt_mv=50, shunt_a=300, nominal=24, address=0):
    pick = VERSION_PICK.get(version, 0xFF)
    other = version if pick == 0xFF else 0
    return bytes([mode | LANG[language], pick]) + struct.pack(">HHHHH", other, shunt_mv, shunt_a, nominal, address)


def measurement(i50=(0, 0, 0), i300=(0, 0, 0), voltage=0, charge=0, ms=0, hour=0, minute=0, month=1, day=1, year=0):
    b = bytearray([0x01, 0x04, 34])
    for v in (*i50, *i300):
        b += struct.pack(">h", v)
    b += struct.pack(">H", voltage)
    b += struct.pack(">i", charge)
    b += struct.pack(">HH", 0xAAAA, 0x5555)
    b += struct.pack(">H", ms)
    b += bytes([hour, minute, month, day])
    b += struct.pack(">H", year)
    b += struct.pack(">HH", 0x1234, 0x5678)
    return sealed(b)


def configuration(version, serial=42, shunt_mv=75, shunt_a=500, nominal=12, word=0x1021):
    b = bytearray([0x01, 0x64, 20])
    b += struct.pack(">HHHHHH", version, serial, shunt_mv, shunt_a, nominal, word)
    b += struct.pack(">HHHH", 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE)
    return sealed(b)


def cut(frame, keep):
    return sealed(frame[:keep])


def record(current, voltage, charge, ms, minute, hour, day, month, year, high_range):
    return struct.pack("<hHHHHBBBBBB", current, voltage, (charge >> 16) & 0xFFFF, charge & 0xFFFF, ms,
                       minute, hour, day, month, year, high_range)


def page(filled):
    rows = bytearray()
    for slot in range(256):
        if slot < filled:
            rows += record(100 - slot, 2500 + slot, slot * 1000, (slot * 250) % 60000, slot % 60, slot % 24,
                           1 + slot % 28, 1 + slot % 12, 15 + slot % 10, slot % 2)
        else:
            rows += bytes([0xFF] * 16)  # an erased record
    return bytes(rows)


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = {}
    live = measurement(i50=(120, -35, 1234), i300=(20, -5, 1100), voltage=2500, charge=-777, ms=9500,
                       hour=14, minute=5, month=3, day=7, year=15)
    for version in (0, 8, 10, 110, 120, 210, 7):
        seeds[f"measurement_v{version}"] = header(version=version) + live
    seeds["measurement_v10_0mv"] = header(version=10, shunt_mv=0) + live
    seeds["measurement_v210_en_recording"] = header(RECORD, language=1, version=210, shunt_a=500) + live
    seeds["measurement_v8_recording_full"] = header(RECORD | FULL, version=8) + live
    seeds["measurement_language_other"] = header(language=2, version=110) + live
    seeds["measurement_cut"] = header(version=120) + cut(live, 20)
    seeds["measurement_sealed_mutable"] = header(SEAL, version=110) + live[:-2] + b"\0\0"
    seeds["measurement_bad_crc"] = header(version=8) + live[:-2] + live[-1:] + live[-2:-1]
    for version in (8, 10, 110, 120, 210, 3):
        seeds[f"configuration_v{version}"] = header(language=1, version=0) + configuration(version)
    seeds["configuration_cut"] = header() + cut(configuration(8), 9)
    seeds["acknowledgement"] = header(language=1) + sealed([0x01, 0x10, 0x00, 0x0B, 0x00, 0x04])
    seeds["configuration_write_echo"] = header() + sealed(
        [0x01, 0x65, 0x0C, 0x00, 0x21, 0, 0, 0, 0, 0, 0, 0x00, 0x32, 0x01, 0x2C])
    seeds["exception_reply"] = header(language=1) + sealed([0x01, 0x84, 0x04])
    seeds["page_v8"] = header(PAGE, version=8, address=0x100) + page(200)
    seeds["page_v210_en"] = header(PAGE, language=1, version=210, shunt_a=500, address=0xFFF0) + page(256)
    seeds["page_v10_0mv_full"] = header(PAGE | FULL, version=10, shunt_mv=0) + page(3)
    seeds["page_erased"] = header(PAGE, version=110) + page(0)
    seeds["page_short"] = header(PAGE, version=120) + page(256)[:4095]
    seeds["page_mode_measurement"] = header(PAGE | RECORD, version=8) + live
    seeds["empty"] = header()
    seeds["one_byte"] = header(language=1) + b"\x01"
    seeds["three_bytes"] = header(PAGE) + b"\x01\x04\x22"
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print(f"{len(seeds)} seeds in {OUT}")


if __name__ == "__main__":
    main()
