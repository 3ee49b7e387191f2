#!/usr/bin/python3
"""Starts Linux programs for the Windows test programs under Wine.

Some test fixtures are Linux programs (the aiosmtpd SMTP servers, ClickHouse). A Windows test
program cannot start them itself, so it asks this broker over a loopback socket. The request is
one JSON line:
  {"argv": [...], "cwd": ..., "stdout": ...}  start a program; an item may be a string or
                                              {"prefix": "--x=", "path": "C:\\..."}, a Windows
                                              path turned into the Linux one
  {"translate": "C:\\..."}                    answer the Linux path of a Windows path
For a program the broker relays its standard output (unless it goes to a file) to the socket
and ends the socket when the program ends. When the test closes its side, the program's
standard input is closed (the SMTP fixture stops then), then it is terminated, then killed;
a line "terminate" from the test terminates it at once.
Prints its port on the first line and serves until its own standard input ends.
"""
import json
import os
import socket
import subprocess
import sys
import threading


def linux_path(path):
    out = subprocess.run(["winepath", "-u", path], capture_output=True, text=True, check=True)
    return out.stdout.strip()


def argument(item):
    if isinstance(item, str):
        return item
    return item.get("prefix", "") + linux_path(item["path"])


def run(conn, request):
    argv = [argument(a) for a in request["argv"]]
    cwd = linux_path(request["cwd"]) if request.get("cwd") else None
    out_file = open(linux_path(request["stdout"]), "wb") if request.get("stdout") else None
    try:
        proc = subprocess.Popen(argv, cwd=cwd, stdin=subprocess.PIPE,
                                stdout=out_file or subprocess.PIPE,
                                stderr=subprocess.STDOUT if out_file else None)
    except OSError as e:
        conn.sendall(("error: %s\n" % e).encode())
        return

    def relay():
        if proc.stdout:
            for chunk in iter(lambda: proc.stdout.read1(65536), b""):
                try:
                    conn.sendall(chunk)
                except OSError:
                    break
        proc.wait()
        try:
            conn.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    threading.Thread(target=relay, daemon=True).start()
    while True:  # until the test hangs up
        try:
            data = conn.recv(4096)
        except OSError:
            break
        if not data:
            break
        if b"terminate" in data:  # the test's stop(true): no wait for the input's end
            proc.terminate()
    try:
        proc.stdin.close()
        proc.wait(timeout=30)
    except (OSError, subprocess.TimeoutExpired):
        proc.terminate()
        try:
            proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    if out_file:
        out_file.close()


def serve(conn):
    with conn:
        reader = conn.makefile("rb")
        line = reader.readline()
        if not line:
            return
        request = json.loads(line)
        if "translate" in request:
            conn.sendall((linux_path(request["translate"]) + "\n").encode())
            return
        run(conn, request)


def main():
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(16)
    print(server.getsockname()[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
