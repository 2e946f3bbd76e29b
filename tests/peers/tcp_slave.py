#!/usr/bin/python3
"""pymodbus 3.0 TCP server on the loopback for the network wire tests.

    /usr/bin/python3 tcp_slave.py [--port N] [--framer socket|rtu] [--slave N]
        [--count N] [--values v0,v1,...]

--framer socket serves Modbus TCP (MBAP), rtu serves RTU frames over the
connection (as a transparent gateway would pass them on). Listens on
127.0.0.1 only (port 0: one the system picks). Prints "ready PORT" once listening, then one line per data access
("read hr A N", "hr A=V"). Exits on SIGTERM/SIGINT, or when stdin is a pipe
and reaches end of file.
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
from pymodbus.server import StartAsyncTcpServer
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer


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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--framer", choices=["socket", "rtu"], default="socket")
    ap.add_argument("--slave", type=int, default=1)
    ap.add_argument("--count", type=int, default=32)
    ap.add_argument("--values", default="")
    args = ap.parse_args()
    logging.getLogger().setLevel(logging.CRITICAL)

    given = [int(x, 0) & 0xFFFF for x in args.values.split(",") if x.strip()]
    hr = [(given[i] if i < len(given) else 1000 + i) for i in range(args.count)]
    slave = ModbusSlaveContext(hr=ReportingBlock("hr", hr), ir=ReportingBlock("ir", []),
                               co=ReportingBlock("co", []), di=ReportingBlock("di", []),
                               zero_mode=True)
    context = ModbusServerContext(slaves={args.slave: slave}, single=False)
    framer = ModbusSocketFramer if args.framer == "socket" else ModbusRtuFramer

    async def run():
        server = await StartAsyncTcpServer(context=context, framer=framer,
                                           address=("127.0.0.1", args.port),
                                           defer_start=True, ignore_missing_slaves=True)
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
        task = asyncio.create_task(server.serve_forever())
        await server.serving
        say(f"ready {server.server.sockets[0].getsockname()[1]}")
        await stop.wait()
        await server.shutdown()
        task.cancel()
        return 0

    return asyncio.run(run())


if __name__ == "__main__":
    sys.exit(main())
