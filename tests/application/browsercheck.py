#!/usr/bin/env python3
"""browsercheck.py <port> <program> [arguments...]: runs `zordemo --browser` (the program and
its arguments) whose server listens on port, as a user's browser meets it: the page from the
address the program prints, then a feature of the system's map read through the page's
WebSocket. Then asks for the whole map and drops the connection as it ends the program with
Ctrl-C (the server's reply meets a closed connection while the maps are withdrawn), and expects
the program to close the browser and succeed."""
import base64
import hashlib
import json
import os
import socket
import subprocess
import sys
import urllib.request

SNAPSHOT, HELLO, GET, MAPS_ADDED = 1, 9, 4, 0x10000000
FEATURE = "Q_NUMBER"  # the system's device number: 0, the first board


class WebSocket:
    """The client side of RFC 6455, text frames only: what the page's script does."""

    def __init__(self, port, path):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=20)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET {path} HTTP/1.1\r\nHost: localhost:{port}\r\n"
                           "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                           f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n")
                          .encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(1)
            assert chunk, "the server closed during the handshake"
            head += chunk
        accept = base64.b64encode(hashlib.sha1(
            (key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11").encode()).digest()).decode()
        assert head.startswith(b"HTTP/1.1 101"), head
        assert accept.encode() in head, "wrong Sec-WebSocket-Accept: %r" % head

    def exactly(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            assert chunk, "the server closed the WebSocket"
            data += chunk
        return data

    def send(self, tag, body):
        payload = json.dumps({"tag": tag, "body": body}).encode()
        mask = os.urandom(4)
        size = len(payload)
        head = bytes([0x81])
        if size < 126:
            head += bytes([0x80 | size])
        elif size < 1 << 16:
            head += bytes([0x80 | 126]) + size.to_bytes(2, "big")
        else:
            head += bytes([0x80 | 127]) + size.to_bytes(8, "big")
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def receive(self):
        """The next message's tag and body; fragments joined."""
        message = b""
        while True:
            first, second = self.exactly(2)
            size = second & 0x7F
            if size == 126:
                size = int.from_bytes(self.exactly(2), "big")
            elif size == 127:
                size = int.from_bytes(self.exactly(8), "big")
            mask = self.exactly(4) if second & 0x80 else b"\0\0\0\0"
            data = bytes(b ^ mask[i % 4] for i, b in enumerate(self.exactly(size)))
            opcode = first & 0x0F
            assert opcode != 8, "the server closed the WebSocket"
            if opcode in (0, 1):
                message += data
                if first & 0x80:
                    frame = json.loads(message)
                    return frame["tag"], frame["body"]


def entries(node):
    """Every node entry of a reply, whatever nests it."""
    if isinstance(node, dict):
        if "Name" in node:
            yield node
        for value in node.values():
            yield from entries(value)
    elif isinstance(node, list):
        for value in node:
            yield from entries(value)


def main():
    port, command = int(sys.argv[1]), sys.argv[2:]
    demo = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    try:
        line = ""
        for line in demo.stdout:
            if "feature browser" in line:
                break
        address = "http://localhost:%d/" % port
        assert address in line, "no address in %r" % line
        page = urllib.request.urlopen(address, timeout=10).read()
        assert b"<html" in page.lower(), "no page at " + address

        socket_ = WebSocket(port, "/ws")
        socket_.send(HELLO, "")
        maps = []
        while not any("\\" not in name for name in maps):
            tag, body = socket_.receive()
            if tag == MAPS_ADDED:
                maps += json.loads(body)
        system = next(name for name in maps if "\\" not in name)
        socket_.send(GET, system + ":" + FEATURE)
        while True:
            tag, body = socket_.receive()
            if tag == GET:
                break
        found = [e for e in entries(json.loads(body)) if e.get("Name") == FEATURE]
        assert found, "no %s in the reply: %s" % (FEATURE, body)
        value = found[0].get("Value")
        assert str(value) == "0", "%s reads %r: %s" % (FEATURE, value, body)
        socket_.send(SNAPSHOT, system)
    except BaseException:
        demo.kill()
        demo.wait()
        raise
    socket_.sock.close()
    demo.send_signal(2)
    rest = demo.stdout.read()
    assert demo.wait(timeout=30) == 0, "--browser exited %d" % demo.returncode
    assert "feature browser closed" in rest, rest
    print("browsercheck.py: page and %s of %s read at %s" % (FEATURE, system, address))


if __name__ == "__main__":
    main()
