#!/usr/bin/env python3
"""Runs a daemon as systemd would with Type=notify and checks its readiness message.

  notify_ready.py [--check 'shell command'] -- PROGRAM ARGS...

Binds a notification socket, starts PROGRAM with NOTIFY_SOCKET pointing at it, waits
(up to 60 s) for READY=1, runs the check command if one is given, then sends SIGTERM
and expects exit status 0. Exits 1, saying why, when any step fails.
"""
import os, signal, socket, subprocess, sys, tempfile


def main():
    argv = sys.argv[1:]
    check = None
    if argv[:1] == ["--check"]:
        check, argv = argv[1], argv[2:]
    if argv[:1] != ["--"] or len(argv) < 2:
        sys.exit("usage: notify_ready.py [--check CMD] -- PROGRAM ARGS...")
    program = argv[1:]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "notify")
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        sock.bind(path)
        sock.settimeout(60)
        child = subprocess.Popen(program, env=dict(os.environ, NOTIFY_SOCKET=path))
        try:
            message = sock.recv(4096).decode(errors="replace")
        except socket.timeout:
            message = ""
        if "READY=1" not in message.split("\n"):
            child.kill()
            sys.exit(f"notify_ready: {program[0]} sent no READY=1 (got {message!r}, "
                     f"exit status {child.wait()})")
        print(f"notify_ready: {program[0]} sent {message!r}")
        failed = check is not None and subprocess.call(check, shell=True) != 0
        child.send_signal(signal.SIGTERM)
        status = child.wait(timeout=30)
        if failed:
            sys.exit(f"notify_ready: check failed: {check}")
        if status != 0:
            sys.exit(f"notify_ready: {program[0]} exited with {status} after SIGTERM")


main()
