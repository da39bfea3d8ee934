#!/usr/bin/env python3
"""Runs a daemon as systemd would with Type=notify and checks its readiness message.

  notify_ready.py [--check 'shell command'] -- PROGRAM ARGS...

Binds a notification socket, starts PROGRAM with NOTIFY_SOCKET pointing at it, waits
(up to 60 s) for READY=1, runs the check command if one is given, then sends SIGTERM
and expects exit status 0. Exits 1, saying why, when any step fails.
"""
import os, signal, socket, subprocess, sys, tempfile, time


def wait_ready(sock, child, seconds):
    """Reads notifications until one says READY=1; False when the child exits first."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and child.poll() is None:
        sock.settimeout(0.2)
        try:
            message = sock.recv(4096).decode(errors="replace")
        except socket.timeout:
            continue
        print(f"notify_ready: {child.args[0]} sent {message!r}")
        if "READY=1" in message.split("\n"):
            return True
    return False


def main():
    argv = sys.argv[1:]
    check = None
    if argv[:1] == ["--check"]:
        check, argv = argv[1], argv[2:]
    if argv[:1] != ["--"] or len(argv) < 2:
        sys.exit("usage: notify_ready.py [--check CMD] -- PROGRAM ARGS...")
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "notify")
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        sock.bind(path)
        child = subprocess.Popen(argv[1:], env=dict(os.environ, NOTIFY_SOCKET=path))
        try:
            if not wait_ready(sock, child, 60):
                sys.exit(f"notify_ready: {argv[1]} sent no READY=1 (exit status {child.poll()})")
            if check is not None and subprocess.call(check, shell=True) != 0:
                sys.exit(f"notify_ready: check failed: {check}")
            child.send_signal(signal.SIGTERM)
            status = child.wait(timeout=30)
            if status != 0:
                sys.exit(f"notify_ready: {argv[1]} exited with {status} after SIGTERM")
        finally:
            if child.poll() is None:
                child.kill()
                child.wait()


main()
