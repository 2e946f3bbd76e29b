#!/usr/bin/python3
"""Modbus serial slave for the wire tests (pymodbus 3.0), ASCII framing by default.

    /usr/bin/python3 ascii_slave.py --device PATH [--slave N] [--baud B]
        [--count N] [--values v0,v1,...] [--input-count N] [--input-values ...]
        [--framer ascii|rtu]

Prints "ready" once the port is open, then one line per data access (see
tests/peers/README.md). Exits on SIGTERM/SIGINT, or when stdin is a pipe and
reaches end of file.
"""
import argparse
import asyncio
import logging
import os
import signal
import stat
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class ReportingBlock(ModbusSequentialDataBlock):
    """A data block that prints every read and write (wire addresses, 0-based)."""

    def __init__(self, tag, values):
        super().__init__(0, list(values) or [0])
        self.tag = tag
        self.size = len(values)

    def validate(self, address, count=1):
        # An empty block answers every access with exception 2.
        return self.size > 0 and super().validate(address, count)

    def getValues(self, address, count=1):
        say(f"read {self.tag} {address} {count}")
        return super().getValues(address, count)

    def setValues(self, address, values):
        if not isinstance(values, list):
            values = [values]
        super().setValues(address, values)
        for i, v in enumerate(values):
            say(f"{self.tag} {address + i}={int(v)}")


def int_list(text):
    return [int(x, 0) & 0xFFFF for x in text.split(",") if x.strip()]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--device", required=True)
    ap.add_argument("--slave", type=int, default=1)
    ap.add_argument("--baud", type=int, default=9600)
    ap.add_argument("--count", type=int, default=32)
    ap.add_argument("--values", type=int_list, default=None)
    ap.add_argument("--input-count", type=int, default=0)
    ap.add_argument("--input-values", type=int_list, default=None)
    ap.add_argument("--framer", choices=["ascii", "rtu"], default="ascii")
    args = ap.parse_args()
    # pymodbus configures the root logger at import; keep its shutdown noise out of test logs.
    logging.getLogger().setLevel(logging.CRITICAL)

    hr = [(args.values[i] if args.values and i < len(args.values) else 1000 + i)
          for i in range(args.count)]
    ir = [(args.input_values[i] if args.input_values and i < len(args.input_values) else 2000 + i)
          for i in range(args.input_count)]
    slave = ModbusSlaveContext(hr=ReportingBlock("hr", hr), ir=ReportingBlock("ir", ir),
                               co=ReportingBlock("co", []), di=ReportingBlock("di", []),
                               zero_mode=True)
    context = ModbusServerContext(slaves={args.slave: slave}, single=False)
    framer = ModbusAsciiFramer if args.framer == "ascii" else ModbusRtuFramer

    async def run():
        server = await StartAsyncSerialServer(context=context, framer=framer, port=args.device,
                                              baudrate=args.baud, defer_start=True,
                                              ignore_missing_slaves=True)
        await server.start()
        if server.transport is None:
            say("error cannot open " + args.device)
            return 1
        loop = asyncio.get_running_loop()
        stop = asyncio.Event()
        loop.add_signal_handler(signal.SIGTERM, stop.set)
        loop.add_signal_handler(signal.SIGINT, stop.set)
        if stat.S_ISFIFO(os.fstat(0).st_mode):
            def on_stdin():
                if not os.read(0, 256):
                    loop.remove_reader(0)
                    stop.set()
            loop.add_reader(0, on_stdin)
        say("ready")
        await stop.wait()
        await server.shutdown()
        return 0

    return asyncio.run(run())


if __name__ == "__main__":
    sys.exit(main())
