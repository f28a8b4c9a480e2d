#!/usr/bin/python3
"""The submission page in a real browser.

Rootix writes the page ("upload 1" in the terminal console), headless
Chromium opens it, the title, description and link are typed and the submit
button pressed; a small capture server on 127.0.0.1 receives the POST. The
posted data field must equal, byte for byte, the score file Rootix writes for
the same score. A second page, made by the same page writer around every
byte 0..255, shows what a form does to each byte.

  run.sh --rootix build/rootix --probe build/tests/rootix_page_probe
         [--server http://host:port]   post to a real result server instead
         [--screenshot PATH]           the page as the browser shows it

With --server-binary the real result server is started on 127.0.0.1 (an
ephemeral port, a temporary SQLite file) and stopped at the end; each
submitted score must then be found through GET /api/v1/scores with the
checksum, the typed fields and the hardware texts the score holds.

  run.sh --rootix build/rootix --server-binary build/rootix-server
         [--screenshots DIR]           submission-page.png, leaderboard-after-upload.png

Exit status 77: skipped (no Chromium, chromedriver or selenium).
"""

import argparse
import http.server
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request
from pathlib import Path

SKIP = 77
SHIFT = 7

# The plain text form of a score that loads (its checksum covers the test,
# the time, the clock and the processor name; line 11, the board, is free).
SAMPLE_207 = [
    "Rootix", "207", "12.345", "6", "DDR4", "16384 MB", "1600 MHz", "16", "18", "19", "36",
    "PRIME X570-P", "ASUSTeK COMPUTER INC.", "Intel Core i7", "Comet Lake", "1", "R0",
    "3000 MHz", "100 MHz", "12288 KB", "1.2 V", "BADAD7F5", "EOF",
]
BOARD_LINE = 11
VENDOR_LINE = 12
# The hardware texts of a version 207 score, in their lines 4..20.
HARDWARE_LINES = [
    "memType", "memSize", "memClock", "memTCas", "memTRCD", "memTRP", "memTRAS", "mbModel", "mbVendor",
    "cpu_string", "cpu_core", "cpu_count", "cpu_rev", "cpu_clock", "cpu_fsb", "cpu_cache", "cpu_vcore",
]
CHECKSUM_LINE = 21


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIP)


def scramble(plain: bytes) -> bytes:
    out = bytearray()
    for b in plain:
        code = b + SHIFT
        out.append(code - 255 if code > 255 else code)
    return bytes(out)


def unscrambled_for(scrambled: bytes) -> bytes:
    return bytes(b - SHIFT + 255 if b - SHIFT < 1 else b - SHIFT for b in scrambled)


def score_file(board: bytes, vendor: bytes = None) -> bytes:
    lines = [s.encode("latin-1") for s in SAMPLE_207]
    lines[BOARD_LINE] = board
    if vendor is not None:
        lines[VENDOR_LINE] = vendor
    return scramble(b"\r\n".join(lines))


# Pictures for the page, so the screenshot shows it as a server would.
PICTURES = {
    "rootixtitle.jpg": '<svg xmlns="http://www.w3.org/2000/svg" width="180" height="48">'
                       '<rect width="180" height="48" rx="6" fill="#2a4d8f"/>'
                       '<text x="16" y="33" font-family="sans-serif" font-size="26" font-weight="bold" '
                       'fill="#ffffff">Rootix</text></svg>',
    "hwbottitle.jpg": '<svg xmlns="http://www.w3.org/2000/svg" width="180" height="48">'
                      '<rect width="180" height="48" rx="6" fill="#dde4f2"/>'
                      '<text x="16" y="31" font-family="sans-serif" font-size="18" '
                      'fill="#2a4d8f">Result server</text></svg>',
    "circle-gray.jpg": '<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">'
                       '<circle cx="8" cy="8" r="6" fill="#999999"/></svg>',
}


class Capture(http.server.BaseHTTPRequestHandler):
    received = []  # (path, content type, body)
    lock = threading.Lock()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        with Capture.lock:
            Capture.received.append((self.path, self.headers.get("Content-Type", ""), body))
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        self.wfile.write(b"received")

    def do_GET(self):
        name = self.path.rsplit("/", 1)[-1]
        if self.path.startswith("/jpg/rootix/") and name in PICTURES:
            data = PICTURES[name].encode()
            self.send_response(200)
            self.send_header("Content-Type", "image/svg+xml")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        else:
            self.send_error(404)

    def log_message(self, *args):
        pass


def form_fields(body: bytes):
    """application/x-www-form-urlencoded body to (name, value) bytes, in order."""
    fields = []
    for part in body.split(b"&"):
        name, _, value = part.partition(b"=")
        decode = lambda s: urllib.parse.unquote_to_bytes(s.replace(b"+", b" "))
        fields.append((decode(name), decode(value)))
    return fields


class Browser:
    def __init__(self, work: Path):
        try:
            from selenium import webdriver
            from selenium.webdriver.chrome.options import Options
            from selenium.webdriver.chrome.service import Service
            from selenium.webdriver.common.by import By
        except ImportError as e:
            skip(f"selenium is not available to /usr/bin/python3 ({e})")
        chromium = shutil.which("chromium") or shutil.which("chromium-browser")
        driver = shutil.which("chromedriver")
        if not chromium:
            skip("chromium is not installed")
        if not driver:
            skip("chromedriver is not installed")
        self.By = By
        options = Options()
        options.binary_location = chromium
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--window-size=1000,720", f"--user-data-dir={work / 'profile'}"):
            options.add_argument(flag)
        self.driver = webdriver.Chrome(service=Service(executable_path=driver), options=options)
        self.driver.set_page_load_timeout(30)

    def submit(self, page_url, title, description, link, screenshot=None):
        d, By = self.driver, self.By
        d.get(page_url)
        d.find_element(By.NAME, "title").send_keys(title)
        d.find_element(By.NAME, "description").send_keys(description)
        d.find_element(By.NAME, "link").send_keys(link)
        if screenshot:
            time.sleep(0.3)  # let the pictures arrive
            d.save_screenshot(str(screenshot))
        d.find_element(By.CSS_SELECTOR, "input[type=submit]").click()

    def quit(self):
        self.driver.quit()


def wait_for_post(count, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        with Capture.lock:
            if len(Capture.received) >= count:
                return Capture.received[count - 1]
        time.sleep(0.05)
    raise AssertionError("the browser posted nothing to the capture server")


def run_rootix(rootix, work: Path, server, lines):
    """Runs the terminal console with the lines; returns (printed lines, opened address)."""
    tmp = work / "tmp dir"  # a space in the page's path: no quoting needed anywhere
    fake_bin = work / "bin"
    run_dir = work / "run"  # its own instance lock: another Rootix of this user may be running
    tmp.mkdir(exist_ok=True)
    fake_bin.mkdir(exist_ok=True)
    run_dir.mkdir(mode=0o700, exist_ok=True)
    opened = work / "opened.txt"
    if opened.exists():
        opened.unlink()
    # Stands in for the desktop's opener and notes the one argument it got.
    opener = fake_bin / "xdg-open"
    opener.write_text(f'#!/bin/sh\nprintf "%s\\n" "$#" "$1" > "{opened}"\n')
    opener.chmod(0o755)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    # Some display must seem there, or Rootix does not start an opener; the
    # terminal console never connects to it.
    env.update(DISPLAY=":rootix-test-no-display", TMPDIR=str(tmp), XDG_RUNTIME_DIR=str(run_dir),
               HOME=str(work / "home"), XDG_CONFIG_HOME=str(work / "config"),
               ROOTIX_SERVER=server, PATH=f"{fake_bin}:{env.get('PATH', '/usr/bin:/bin')}")
    run = subprocess.run([rootix, "--terminal"], input=("\n".join(lines) + "\nexit\n").encode(), env=env,
                         capture_output=True, timeout=180)
    printed = run.stdout.decode("latin-1").splitlines()
    for _ in range(100):  # the opener runs detached
        if opened.exists() and opened.read_text().count("\n") >= 2:
            break
        time.sleep(0.05)
    argc, address = opened.read_text().splitlines()[:2] if opened.exists() else ("0", "")
    if argc != "1":
        raise AssertionError(f"the opener got {argc} arguments; Rootix (exit {run.returncode}) printed:\n"
                             + "\n".join(printed) + "\n" + run.stderr.decode("latin-1"))
    return printed, address


def check_round_trip(name, browser, rootix, work, server, capture, lines, saved, screenshot=None,
                     real_server=False, shown=None):
    printed, address = run_rootix(rootix, work, server, lines)
    page_lines = [l for l in printed if l.startswith("Submission page: ")]
    assert page_lines, f"{name}: no page written; Rootix printed:\n" + "\n".join(printed)
    page_path = page_lines[-1][len("Submission page: "):]
    assert urllib.parse.unquote(urllib.parse.urlparse(address).path) == page_path, (address, page_path)
    expected = saved.read_bytes()

    title, description, link = "Round trip \u00e9", "a & b = c + d", "https://example.org/a?b=c&d=e"
    count = len(Capture.received) + 1
    browser.submit(address, title, description, link, screenshot)
    if not capture:
        if real_server:
            check_stored(name, browser, server, expected, title, description, link, shown)
        else:
            time.sleep(2)
            print(f"{name}: submitted to {server}; the browser shows {browser.driver.current_url}")
        return
    path, content_type, body = wait_for_post(count)
    assert path == "/?q=submit", path
    assert content_type.startswith("application/x-www-form-urlencoded"), content_type
    fields = form_fields(body)
    # A score made by a run since start also sends that run's conditions; a loaded one does not.
    names = [b"data", b"title", b"description", b"link"] + ([b"conditions"] if name == "run" else [])
    assert [n for n, _ in fields] == names, fields
    values = dict(fields)
    if name == "run":
        record = json.loads(values[b"conditions"].decode("ascii"))
        assert "workers" not in record and "conditions" in record and "kernel" in record, record
    assert values[b"title"] == title.encode("cp1252"), values[b"title"]
    assert values[b"description"] == description.encode("cp1252"), values[b"description"]
    assert values[b"link"] == link.encode("cp1252"), values[b"link"]
    if values[b"data"] != expected:
        raise AssertionError(f"{name}: posted data differs from the score text\n"
                             f" posted   {values[b'data'].hex()}\n expected {expected.hex()}")
    print(f"{name}: the browser posted the {len(expected)} bytes of the score text unchanged")


def _end_with_parent():
    """In the child: the kernel ends it when this script dies, even by SIGKILL."""
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


class ResultServer:
    """build/rootix-server on 127.0.0.1, an ephemeral port, a temporary SQLite file."""

    def __init__(self, binary, work: Path):
        env = dict(os.environ, HOME=str(work / "home"), XDG_DATA_HOME=str(work / "data"))
        self.process = subprocess.Popen(
            [binary, "--listen", "127.0.0.1:0", "--db", f"sqlite:{work / 'scores.sqlite'}"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, preexec_fn=_end_with_parent)
        self.base = None
        lines = []
        # The first line names the port it got; anything else means it failed.
        reader = threading.Thread(target=lambda: lines.append(self.process.stdout.readline()), daemon=True)
        reader.start()
        reader.join(15)
        first = lines[0].decode(errors="replace") if lines else ""
        found = re.search(r"serving (http://127\.0\.0\.1:\d+)/", first)
        if not found:
            self.stop()
            rest = self.process.stdout.read().decode(errors="replace") if self.process.stdout else ""
            raise AssertionError(f"rootix-server did not start: {first}{rest}")
        self.base = found.group(1)
        threading.Thread(target=self.process.stdout.read, daemon=True).start()  # never let it block on output

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def get_json(url):
    with urllib.request.urlopen(url, timeout=10) as reply:
        return json.loads(reply.read().decode("utf-8"))


def get_bytes(url):
    with urllib.request.urlopen(url, timeout=10) as reply:
        return reply.read()


def as_shown(text):
    """A score text as the server's pages and JSON show it: bytes 0x80..0x9F
    are the windows-1252 characters; its five unassigned codes stay as they are."""
    return "".join(bytes([ord(c)]).decode("cp1252", errors="ignore") or c if 0x80 <= ord(c) < 0xA0 else c
                   for c in text)


def check_stored(name, browser, server, saved_bytes, title, description, link, shown=None):
    """The server's answer leads to the score's page; the JSON holds the score as it was saved."""
    page = re.compile(re.escape(server) + r"/score/(\d+)$")
    end = time.monotonic() + 20
    while not page.match(browser.driver.current_url) and time.monotonic() < end:
        time.sleep(0.05)
    found = page.match(browser.driver.current_url)
    if not found:
        raise AssertionError(f"{name}: the browser shows {browser.driver.current_url}, not a score page; it says:\n"
                             + browser.driver.find_element(browser.By.TAG_NAME, "body").text)
    score_id = int(found.group(1))
    if shown:
        # The score's page shows a hardware text as text, never as markup.
        body = browser.driver.find_element(browser.By.TAG_NAME, "body").text
        assert shown in body, f"{name}: the score page does not show {shown!r}:\n{body}"
        assert browser.driver.title != "owned", f"{name}: a hardware text ran as a script"

    lines = unscrambled_for(saved_bytes).decode("latin-1").split("\r\n")
    test = int(lines[3])
    listed = get_json(f"{server}/api/v1/scores?test={test}&limit=500")["scores"]
    # The checksum leaves the board out, so two scores here may share one.
    matches = [s for s in listed if s["checksum"] == lines[CHECKSUM_LINE] and s["id"] == score_id]
    assert len(matches) == 1, f"{name}: score {score_id} with checksum {lines[CHECKSUM_LINE]} is not listed: {listed}"
    stored = matches[0]
    want = {"test": test, "version": lines[1], "title": title, "description": description, "link": link}
    got = {key: stored[key] for key in want}
    assert got == want, f"{name}: stored {got}, expected {want}"
    assert abs(stored["seconds"] - float(lines[2])) < 1e-9, (stored["seconds"], lines[2])
    hardware = {f"score_extra_{key}": as_shown(lines[4 + i]) for i, key in enumerate(HARDWARE_LINES)}
    wrong = {key: (stored["hardware"].get(key), value) for key, value in hardware.items()
             if stored["hardware"].get(key) != value}
    assert not wrong, f"{name}: hardware texts differ (stored, saved): {wrong}"
    # The file the score page offers is the one "load" reads: the same bytes Rootix saved.
    offered = get_bytes(f"{server}{stored['file']}")
    assert offered == saved_bytes, f"{name}: the offered score file differs from the saved one"
    print(f"{name}: the server lists score {score_id} (checksum {lines[CHECKSUM_LINE]}) with the typed fields")


def probe_every_byte(browser, probe, work, base):
    """What the form posts for every byte, and for the two line break pairs."""
    cases = [(f"{b:03d}", bytes([b])) for b in range(256)] + [("CRLF", b"\r\n"), ("LFCR", b"\n\r")]
    data = b"".join(label.encode() + b":" + value + b"|" for label, value in cases)
    (work / "probe.bin").write_bytes(data)
    page = work / "probe page.html"
    subprocess.run([probe, base, str(work / "probe.bin"), str(page)], check=True)
    count = len(Capture.received) + 1
    browser.submit(page.as_uri(), "probe", "", "")
    _, _, body = wait_for_post(count)
    posted = dict(form_fields(body))[b"data"]
    got = {}
    labels = [label.encode() + b":" for label, _ in cases]
    for i, (label, _) in enumerate(cases):
        start = posted.index(labels[i]) + len(labels[i])
        end = posted.index(b"|" + labels[i + 1], start) if i + 1 < len(cases) else len(posted) - 1
        got[label] = posted[start:end]
    # A form sends every line break as CR LF and NUL as a replacement
    # character, which windows-1252 cannot hold: "&#65533;".
    expected = {label: value for label, value in cases}
    expected.update({"000": b"&#65533;", "010": b"\r\n", "013": b"\r\n", "LFCR": b"\r\n\r\n"})
    changed = {label: got[label] for label, value in cases if got[label] != value}
    print("probe: bytes the form changes: " +
          ", ".join(f"{label} -> {value!r}" for label, value in changed.items()))
    wrong = {label: got[label] for label in expected if got[label] != expected[label]}
    assert not wrong, f"probe: unexpected results {wrong}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rootix", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--server")
    parser.add_argument("--server-binary")
    parser.add_argument("--screenshot")
    parser.add_argument("--screenshots")
    args = parser.parse_args()
    # A runner's SIGTERM (a ctest time-out) still stops the server and removes the files.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if not args.server and not args.server_binary and not args.probe:
        parser.error("--probe is needed with the capture server")

    work = Path(tempfile.mkdtemp(prefix="rootix-browser-"))
    httpd = None
    browser = None
    result_server = None
    try:
        browser = Browser(work)
        capture = args.server is None and args.server_binary is None
        if capture:
            httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Capture)
            threading.Thread(target=httpd.serve_forever, daemon=True).start()
            server = f"http://127.0.0.1:{httpd.server_address[1]}"
        elif args.server_binary:
            result_server = ResultServer(args.server_binary, work)
            server = result_server.base
        else:
            server = args.server
        shots = Path(args.screenshots) if args.screenshots else None
        page_shot = shots / "submission-page.png" if shots else args.screenshot
        real = result_server is not None

        # A score made here: a short run, then its file and its page.
        check_round_trip("run", browser, args.rootix, work, server, capture,
                         ["st 1", f"save {work}/run.rxs 1", "upload 1"], work / "run.rxs",
                         page_shot, real)
        # A loaded score whose board and board vendor hold markup, placeholders
        # and every byte 1..255 in its scrambled form, but the two lone line
        # breaks (see probe); split over two texts, as the server takes at
        # most 255 bytes of each.
        board = unscrambled_for(b"</textarea><script>x</script>&amp;\"'!!DATA!!!!Title!!") + \
            bytes(b for b in range(1, 128) if b not in (3, 6, 10, 13))
        vendor = bytes(range(128, 256))
        fixture = work / "fixture.rxs"
        fixture.write_bytes(score_file(board, vendor))
        check_round_trip("loaded", browser, args.rootix, work, server, capture,
                         [f"load {fixture}", f"save {work}/loaded.rxs 1", "upload 1"], work / "loaded.rxs",
                         None, real)
        assert (work / "loaded.rxs").read_bytes() == fixture.read_bytes()
        # A board name that reads as markup, with letters above 127 (Latin-1).
        board = '<b>Board</b> & "Caf\u00e9" <script>document.title="owned"</script> \u00ff'
        markup = work / "markup.rxs"
        markup.write_bytes(score_file(board.encode("latin-1")))
        check_round_trip("markup", browser, args.rootix, work, server, capture,
                         [f"load {markup}", f"save {work}/markup-saved.rxs 1", "upload 1"],
                         work / "markup-saved.rxs", None, real, board)
        if capture:
            probe_every_byte(browser, args.probe, work, server)
        if shots and real:
            browser.driver.set_window_size(1280, 1000)  # every board on the picture
            browser.driver.get(server + "/")
            time.sleep(0.3)
            browser.driver.save_screenshot(str(shots / "leaderboard-after-upload.png"))
    finally:
        if browser:
            browser.quit()
        if httpd:
            httpd.shutdown()
        if result_server:
            result_server.stop()
        shutil.rmtree(work, ignore_errors=True)
    print("browser round trip: ok")


if __name__ == "__main__":
    main()
