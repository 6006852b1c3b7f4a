#!/usr/bin/env python3
"""Saves a page as MHTML the way a browser's "save as" does: headless Chromium loads it and writes
its snapshot (DevTools Page.captureSnapshot over --remote-debugging-pipe).

usage: capture-mhtml.py PAGE.html OUTPUT.mht"""

import json
import os
import pathlib
import subprocess
import sys
import tempfile


def main():
    page, output = sys.argv[1], sys.argv[2]
    url = pathlib.Path(page).resolve().as_uri()
    to_chrome_r, to_chrome_w = os.pipe()
    from_chrome_r, from_chrome_w = os.pipe()
    profile = tempfile.mkdtemp(prefix="capture-mhtml-")

    def child_fds():
        # Chromium reads commands on fd 3 and writes replies on fd 4; both are moved out of the way
        # first so that neither dup2 overwrites the other's source.
        commands, replies = os.dup(to_chrome_r), os.dup(from_chrome_w)
        os.dup2(commands, 3)
        os.dup2(replies, 4)

    chrome = subprocess.Popen(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
         f"--user-data-dir={profile}", "about:blank"],
        pass_fds=(3, 4), preexec_fn=child_fds,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(to_chrome_r)
    os.close(from_chrome_w)
    writer = os.fdopen(to_chrome_w, "wb", buffering=0)
    reader = os.fdopen(from_chrome_r, "rb")
    buffered = b""
    next_id = 0

    def receive():
        nonlocal buffered
        while b"\0" not in buffered:
            chunk = reader.read1(65536)
            if not chunk:
                raise SystemExit("chromium closed its pipe")
            buffered += chunk
        message, buffered = buffered.split(b"\0", 1)
        return json.loads(message)

    def send(method, params=None, session=None, wait_event=None):
        nonlocal next_id
        next_id += 1
        command = {"id": next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = session
        writer.write(json.dumps(command).encode() + b"\0")
        result = None
        while True:
            message = receive()
            if message.get("id") == next_id:
                if "error" in message:
                    raise SystemExit(f"{method}: {message['error']}")
                result = message["result"]
                if not wait_event:
                    return result
            elif wait_event and message.get("method") == wait_event and result is not None:
                return result

    try:
        target = send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        send("Page.enable", session=session)
        send("Page.navigate", {"url": url}, session=session, wait_event="Page.loadEventFired")
        data = send("Page.captureSnapshot", {"format": "mhtml"}, session=session)["data"]
        with open(output, "w", encoding="utf-8", newline="") as f:
            f.write(data)
        send("Browser.close")
    finally:
        chrome.wait(timeout=30)


if __name__ == "__main__":
    main()
