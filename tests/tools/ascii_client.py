#!/usr/bin/python3
"""A pymodbus 3.0 ASCII master: reads holding registers once and prints them.

usage: ascii_client.py DEVICE [START [COUNT [SLAVE]]]
Prints "registers v0 v1 ..." on success, "error <text>" otherwise.
"""
import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.transaction import ModbusAsciiFramer


def main():
    device = sys.argv[1]
    start = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    slave = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    client = ModbusSerialClient(port=device, framer=ModbusAsciiFramer, baudrate=9600,
                                bytesize=8, parity="N", stopbits=1, timeout=2)
    if not client.connect():
        print("error cannot open", device, flush=True)
        return 1
    try:
        reply = client.read_holding_registers(start, count, slave=slave)
        if reply.isError():
            print("error", reply, flush=True)
            return 1
        print("registers", " ".join(str(v) for v in reply.registers), flush=True)
        return 0
    finally:
        client.close()


if __name__ == "__main__":
    sys.exit(main())
