#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Is a real browser's form POST held back by the capture's listen backlog of 1?

Runs postori-capture on a free port and headless Chromium on a page served
from another port. The page's form posts itself to the capture; depending on
the mode it first puts IMAGES images on the page whose source is the capture's
port too, so that the browser opens several connections to it at once (the
capture drops each image request unanswered):

  form           the form alone, posted when the page has loaded
  images-onload  the images, then the form posted when the page has loaded
                 (after every image request has failed)
  images-now     the images, and the form posted at once, while the image
                 requests are still connecting

Chromium writes a net log; from it, for every round, the connections to the
capture's port are read: how long each TCP connect took (a SYN the kernel
dropped because the accept queue was full is sent again only after about a
second), and how long the POST waited from its request to its bytes on the
wire. Nothing leaves the machine: host names resolve to nothing, no proxy.

  bench/browser_burst.py CAPTURE_PROGRAM [--rounds N] [--images K] [MODE...]

CAPTURE_PROGRAM is a built postori-capture (build/release/app/postori-capture).
Not part of the suite; needs Debian's chromium.
"""
import argparse
import base64
import functools
import http.server
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time

MODES = ("form", "images-onload", "images-now")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def page(mode, images, capture_port):
    tags = "" if mode == "form" else "".join(
        f'<img src="http://127.0.0.1:{capture_port}/img{k}.png" width="10" height="10">' for k in range(images))
    now = mode == "images-now"
    return (f'<!doctype html><html><head><meta charset="utf-8"><title>burst</title></head>'
            f'<body{"" if now else " onload=document.forms[0].submit()"}>{tags}'
            f'<form method="post" action="http://127.0.0.1:{capture_port}/"><input name="a" value="1"></form>'
            f'{"<script>document.forms[0].submit()</script>" if now else ""}</body></html>')


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class QuietServer(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # a browser stopped while it still fetched


def read_net_log(path):
    # A browser that was stopped may leave the log without its closing brackets.
    text = open(path, encoding="utf-8").read().rstrip().rstrip(",")
    if not text.endswith("]}"):
        text += "]}"
    return json.loads(text)


def one_round(capture_program, mode, images):
    work = tempfile.mkdtemp(prefix="postori-burst-")
    try:
        capture_port = free_port()
        with open(os.path.join(work, "page.html"), "w", encoding="utf-8") as out:
            out.write(page(mode, images, capture_port))
        server = QuietServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=work))
        threading.Thread(target=server.serve_forever, daemon=True).start()

        capture = subprocess.Popen([capture_program, "--port", str(capture_port)], stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT)
        time.sleep(0.3)  # listening by then
        for sub in ("profile", "home", "tmp"):
            os.makedirs(os.path.join(work, sub))
        net_log = os.path.join(work, "netlog.json")
        env = dict(os.environ, HOME=os.path.join(work, "home"), TMPDIR=os.path.join(work, "tmp"))
        browser = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + os.path.join(work, "profile"),
             "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1", "--no-proxy-server",
             "--log-net-log=" + net_log, "--net-log-capture-mode=Everything",
             f"http://127.0.0.1:{server.server_address[1]}/page.html"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, start_new_session=True)
        try:
            capture.communicate(timeout=30)
            captured = capture.returncode == 0
        except subprocess.TimeoutExpired:
            capture.kill()
            capture.communicate()
            captured = False
        time.sleep(1.0)  # the browser logs what followed
        os.killpg(browser.pid, signal.SIGTERM)
        try:
            browser.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(browser.pid, signal.SIGKILL)
            browser.wait()
        server.shutdown()
        return captured, connections(read_net_log(net_log), capture_port)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def connections(log, capture_port):
    """The connections to the capture's port: (connect ms, first request line
    sent, ms from the POST request's start to its bytes sent or None)."""
    constants = log["constants"]
    types = {v: k for k, v in constants["logEventTypes"].items()}
    phases = {v: k for k, v in constants["logEventPhase"].items()}
    sockets = {}
    post_start = None
    for event in log["events"]:
        kind, phase = types[event["type"]], phases[event["phase"]]
        source, at, params = event["source"]["id"], int(event["time"]), event.get("params", {})
        if kind == "TCP_CONNECT" and phase == "PHASE_BEGIN" and f":{capture_port}" in str(params.get("address_list")):
            sockets[source] = {"begin": at}
        elif kind == "TCP_CONNECT" and phase == "PHASE_END" and source in sockets:
            sockets[source].update(end=at, error=params.get("net_error"))
        elif kind == "SOCKET_BYTES_SENT" and source in sockets and "sent" not in sockets[source]:
            line = base64.b64decode(params.get("bytes", "")).split(b"\r\n")[0].decode("latin-1")
            sockets[source].update(sent=at, line=line)
        elif (kind == "URL_REQUEST_START_JOB" and phase == "PHASE_BEGIN" and params.get("method") == "POST" and
              f":{capture_port}/" in params.get("url", "") and post_start is None):
            post_start = at
    out = []
    for s in sorted(sockets.values(), key=lambda s: s["begin"]):
        if s.get("error") is None and "end" in s:
            line = s.get("line", "")
            wait = s["sent"] - post_start if line.startswith("POST") and post_start is not None else None
            out.append((s["end"] - s["begin"], line, wait))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("capture_program")
    parser.add_argument("modes", nargs="*", metavar="MODE", help=" | ".join(MODES))
    parser.add_argument("--rounds", type=int, default=6)
    parser.add_argument("--images", type=int, default=5)
    args = parser.parse_intermixed_args()  # modes may follow the options, as the usage shows
    args.modes = args.modes or list(MODES)
    for mode in args.modes:
        if mode not in MODES:
            parser.error(f"no mode {mode}")

    # The POST may go out on a connection opened before its request (a
    # preconnect), so what the user waits for is its request to sent.
    print(f"{'mode':14} {'round':>5} {'conns':>5} {'slowest connect':>15} {'POST connect':>12} "
          f"{'POST request to sent':>20}  captured")
    totals = {}
    for mode in args.modes:
        for round_ in range(1, args.rounds + 1):
            captured, conns = one_round(args.capture_program, mode, args.images)
            posts = [c for c in conns if c[1].startswith("POST")]
            post_connect = posts[0][0] if posts else -1
            post_wait = posts[0][2] if posts and posts[0][2] is not None else -1
            slowest = max((c[0] for c in conns), default=-1)
            print(f"{mode:14} {round_:5} {len(conns):5} {slowest:12} ms {post_connect:9} ms {post_wait:17} ms  "
                  f"{'yes' if captured else 'NO'}")
            t = totals.setdefault(mode, [0, 0, 0])
            t[0] += 1
            t[1] += sum(1 for c in conns if c[0] >= 500)
            t[2] += 1 if post_wait >= 500 or not captured else 0
    for mode, (rounds, slow, post_delayed) in totals.items():
        print(f"{mode}: {rounds} rounds, connects of 500 ms or more: {slow}, POST held back 500 ms or more: "
              f"{post_delayed}")


if __name__ == "__main__":
    main()
