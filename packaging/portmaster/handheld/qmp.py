"""A small client of QEMU's monitor (QMP): commands and their replies, one JSON object a line."""

import json
import socket

from common import fail, wait_for


class Qmp:
    def __init__(self, path, timeout):
        self.sock = wait_for("QEMU's monitor socket", timeout, lambda: self._connect(path))
        self.sock.settimeout(30)
        self.buf = b""
        self._read()
        self.cmd("qmp_capabilities")

    @staticmethod
    def _connect(path):
        s = socket.socket(socket.AF_UNIX)
        try:
            s.connect(path)
            return s
        except OSError:
            s.close()
            return None

    def _read(self):
        while b"\n" not in self.buf:
            chunk = self.sock.recv(65536)
            if not chunk:
                fail("QEMU's monitor closed")
            self.buf += chunk
        line, self.buf = self.buf.split(b"\n", 1)
        return json.loads(line)

    def cmd(self, name, **arguments):
        self.sock.sendall(json.dumps({"execute": name, "arguments": arguments}).encode() + b"\n")
        while True:
            reply = self._read()
            if "return" in reply:
                return reply["return"]
            if "error" in reply:
                fail(f"QEMU's {name}: {reply['error'].get('desc')}")

    def key(self, qcode, down):
        self.cmd("input-send-event", events=[
            {"type": "key", "data": {"down": down, "key": {"type": "qcode", "data": qcode}}}])
