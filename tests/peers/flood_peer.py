#!/usr/bin/python3
"""flood_peer.py: an RTU slave on a pseudo-terminal that floods the line with
pieces, for measuring what a stream of receive events costs the program.

Every read of holding registers is answered with a good reply whose setpoint,
PV and output move (a square setpoint, a lagging noisy PV, a wavy output), sent
in REPLY_PIECES pieces PERIOD ms apart; after the reply, single noise bytes
follow at the same pace until shortly before the next poll is due. With one
poll a second and PERIOD 50 that is about 1000 / PERIOD pieces a second.

    flood_peer.py [--com COM1] [--period 50] [--reply-pieces 5] [--quiet 150]

The pty is mapped as COMn in $XDG_CONFIG_HOME/korvane/ports (else
~/.config/korvane/ports), a link removed again at exit; "ready" is printed
once it is in place. Stops on SIGTERM or SIGINT.
"""

import argparse
import math
import os
import random
import select
import signal
import sys
import time
import tty


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def registers(now, count):
    setpoint = 40 + 30 * (int(now / 100) % 2)
    pv = setpoint - 15 * math.cos(2 * math.pi * now / 45) + random.gauss(0, 3)
    output = 500 + 400 * math.sin(2 * math.pi * now / 37) + random.gauss(0, 20)
    values = [0] * max(count, 3)
    values[0] = int(setpoint)
    values[1] = int(round(pv)) & 0xFFFF
    values[2] = max(0, min(1000, int(output)))
    return values[:count]


def reply(request, now):
    count = (request[4] << 8) | request[5]
    body = bytes([request[0], 3, 2 * count])
    for value in registers(now, count):
        body += bytes([value >> 8, value & 0xFF])
    return body + crc16(body)


def split(frame, pieces):
    out, at = [], 0
    for i in range(pieces):
        length = (len(frame) - at) // (pieces - i)
        out.append(frame[at:at + length])
        at += length
    return [p for p in out if p]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--com", default="COM1")
    parser.add_argument("--period", type=float, default=50.0)
    parser.add_argument("--reply-pieces", type=int, default=5)
    parser.add_argument("--quiet", type=float, default=150.0,
                        help="ms before the next poll without noise")
    args = parser.parse_args()

    master, slave = os.openpty()
    tty.setraw(slave)
    folder = os.path.join(os.environ.get("XDG_CONFIG_HOME") or
                          os.path.expanduser("~/.config"), "korvane", "ports")
    os.makedirs(folder, exist_ok=True)
    link = os.path.join(folder, args.com)
    os.symlink(os.ttyname(slave), link)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))
    print(f"flood_peer: {args.com} -> {os.ttyname(slave)}", flush=True)
    print("ready", flush=True)

    period = args.period / 1000.0
    start = time.monotonic()
    pending, queue, noise_until, sent = b"", [], 0.0, 0
    next_tick = time.monotonic()
    try:
        while not stop:
            timeout = max(0.0, next_tick - time.monotonic())
            try:
                ready, _, _ = select.select([master], [], [], timeout)
            except InterruptedError:
                continue
            if ready:
                try:
                    pending += os.read(master, 256)
                except OSError:
                    pending = b""
                # Whatever precedes a read request (the "Open Port" text) is dropped.
                at = pending.find(b"\x01\x03")
                if at >= 0 and len(pending) >= at + 8:
                    request = pending[at:at + 8]
                    pending = b""
                    now = time.monotonic()
                    queue = split(reply(request, now - start), args.reply_pieces)
                    noise_until = now + 1.0 - args.quiet / 1000.0
                    next_tick = now
            if time.monotonic() < next_tick:
                continue
            next_tick += period
            if queue:
                os.write(master, queue.pop(0))
                sent += 1
            elif time.monotonic() < noise_until:
                os.write(master, bytes([random.randrange(256)]))
                sent += 1
    finally:
        os.remove(link)
        print(f"flood_peer: {sent} pieces in {time.monotonic() - start:.1f} s", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
