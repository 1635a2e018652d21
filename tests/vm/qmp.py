"""Sends one command to a QEMU machine monitor (QMP) and prints the reply.

Usage: qmp.py SOCKET COMMAND_JSON
"""
import json
import socket
import sys


def main():
    path, command = sys.argv[1], json.loads(sys.argv[2])
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.connect(path)
        stream = connection.makefile("rw")
        json.loads(stream.readline())  # the greeting
        for message in ({"execute": "qmp_capabilities"}, command):
            stream.write(json.dumps(message) + "\n")
            stream.flush()
            while True:
                reply = json.loads(stream.readline())
                if "event" not in reply:
                    break
            if "error" in reply:
                print(json.dumps(reply["error"]), file=sys.stderr)
                sys.exit(1)
        print(json.dumps(reply.get("return")))


if __name__ == "__main__":
    main()
