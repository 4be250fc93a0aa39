#!/usr/bin/env python3
"""A scripted bad day for `aerovane run`: the real service against the native
console simulator and a loopback upload server, through the faults a station
meets in its years: a download that stalls, the console vanishing and coming
back, an upload server that refuses connections for a while, a record dated
years ahead, the autumn night whose hour comes twice, and a SIGKILL in the
middle of a merge. Prints one table: each fault, what the service did, what
the archive holds. Called by scripts/service-soak.sh, which builds first.

    service_soak.py BUILD_DIR LOG_DIR
"""
import http.server
import os
import signal
import socket
import sqlite3
import subprocess
import sys
import threading
import time

BUILD, LOGS = sys.argv[1], sys.argv[2]
AEROVANE = os.path.join(BUILD, "aerovane")
SIM = os.path.join(BUILD, "aerovane-sim")
SOCKET = os.path.join(LOGS, "console.sock")
ARCHIVE = os.path.join(LOGS, "archive.sqlite")
CONFIG = os.path.join(LOGS, "aerovane.conf")
SITE = os.path.join(LOGS, "site")

rows_of_table = []
failures = []


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


UPLOAD_PORT = free_port()


def wait(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.05)
    failures.append(what)
    return False


def query(sql):
    """A read-only look at the archive, as any tool may take."""
    if not os.path.exists(ARCHIVE):
        return None
    try:
        db = sqlite3.connect("file:%s?mode=ro" % ARCHIVE, uri=True, timeout=5)
        try:
            return db.execute(sql).fetchone()[0]
        finally:
            db.close()
    except sqlite3.Error:
        return None


def history_rows():
    return query("SELECT count(*) FROM observation WHERE source = 1") or 0


def live_rows():
    return query("SELECT count(*) FROM observation WHERE source = 2") or 0


class Simulator:
    def __init__(self, name, options, env=None):
        self.log = os.path.join(LOGS, "sim-%s.log" % name)
        out = open(os.path.join(LOGS, "sim-%s.out" % name), "w")
        self.process = subprocess.Popen(
            [SIM, "--socket=" + SOCKET, "--log=" + self.log] + options, stdout=out, stderr=subprocess.STDOUT,
            env=env)
        wait(lambda: self.lines("listening"), 10, "simulator %s listening" % name)

    def lines(self, prefix):
        try:
            with open(self.log) as f:
                return [line for line in f if line.startswith(prefix)]
        except OSError:
            return []

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


class Service:
    def __init__(self, name, env=None):
        self.out = os.path.join(LOGS, "run-%s.out" % name)
        self.err = os.path.join(LOGS, "run-%s.err" % name)
        self.process = subprocess.Popen(
            [AEROVANE, "--config=" + CONFIG, "--console=" + SOCKET, "--archive=" + ARCHIVE, "run"],
            stdout=open(self.out, "w"), stderr=open(self.err, "w"), env=env)

    def log(self):
        text = ""
        for path in (self.out, self.err):
            try:
                with open(path) as f:
                    text += f.read()
            except OSError:
                pass
        return text

    def logged(self, text):
        return text in self.log()

    def line_with(self, text):
        for line in self.log().splitlines():
            if text in line:
                return line.split("] ", 1)[-1]
        return "(not logged)"

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        code = self.process.wait(30)
        if code != 0:
            failures.append("service ended with %d" % code)

    def kill(self):
        self.process.kill()
        self.process.wait(10)


class Uploads(http.server.BaseHTTPRequestHandler):
    """Weather Underground's answer to every observation."""

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.end_headers()
        self.wfile.write(b"success\n")

    def log_message(self, *args):
        pass


def row(fault, did, holds):
    rows_of_table.append((fault, did, holds))


def write_config():
    with open(CONFIG, "w") as f:
        f.write("[wunderground]\nstation = KSOAK1\nkey = soak\nupload = on\nhost = 127.0.0.1:%d\n"
                "[report]\nfolder = %s\nevery = 1\n[clock]\nsync = never\n" % (UPLOAD_PORT, SITE))
    os.chmod(CONFIG, 0o600)


def stalled_download():
    sim = Simulator("stall", ["--history=120", "--history-interval=5", "--live-interval=2000",
                              "--upload-interval=0", "--fault-record=41", "--stall"])
    service = Service("stall")
    wait(lambda: service.logged("archive: downloading"), 30, "stall: download started")
    start = time.monotonic()
    wait(lambda: service.logged("download stopped"), 120, "stall: download stopped")
    took = time.monotonic() - start
    wait(lambda: service.logged("archive: merged"), 30, "stall: merged")
    report = os.path.exists(os.path.join(SITE, "index.html"))
    row("A download that stalls (record 41 of 120)",
        "gave up after %.0f s: %s; merged what came whole; next try in 30 min; report page %s"
        % (took, service.line_with("download stopped").split("stopped: ", 1)[-1],
           "kept fresh" if report else "NOT written"),
        "%d console records" % history_rows())
    return sim, service


def vanishing_console(sim, service):
    live_before = live_rows()
    sim.stop()
    gone = time.monotonic()
    wait(lambda: service.log().count("No connection") >= 1, 30, "vanish: absence noticed")
    time.sleep(5)  # a while away
    sim = Simulator("back", ["--history=120", "--history-interval=5", "--live-interval=1000",
                             "--upload-interval=2000"])
    wait(lambda: service.log().count("console connected") >= 2, 30, "vanish: reconnected")
    back = time.monotonic() - gone
    wait(lambda: live_rows() > live_before, 90, "vanish: live rows again")
    row("The console vanishes, comes back 5 s later",
        "said once it was gone, looked every 2 s, reconnected %.0f s after it went" % back,
        "%d live rows (one a minute)" % live_rows())
    return sim


def refusing_upload_server(sim, service):
    # Nothing listens on the port yet: every attempt is refused.
    wait(lambda: service.log().count("Weather Underground no answer") >= 3, 60, "upload: refusals logged")
    refused = service.log().count("Weather Underground no answer")
    server = http.server.HTTPServer(("127.0.0.1", UPLOAD_PORT), Uploads)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    wait(lambda: service.logged("Weather Underground accepted"), 60, "upload: accepted after the outage")
    server.shutdown()
    row("The upload server refuses connections, then answers",
        "%d attempts logged no answer, each bounded; accepted once the server was back" % refused,
        "uploads are not archived")
    sim.stop()
    service.stop()


def record_from_the_future():
    before = history_rows()
    sim = Simulator("future", ["--history=1", "--live-interval=0", "--upload-interval=0",
                               "--now=2031-06-01T12:00"])
    service = Service("future")
    wait(lambda: service.logged("archive: merged 1 records"), 60, "future: merged")
    service.stop()
    sim.stop()
    page = subprocess.run([AEROVANE, "--config=" + CONFIG, "--archive=" + ARCHIVE, "report", "-o", SITE],
                          capture_output=True, text=True)
    with open(os.path.join(SITE, "index.html")) as f:
        shown = "2031" not in f.read()
    row("A record dated 2031-06-01 (the console's clock was wrong)",
        "%s; report page %s" % (service.line_with("dated ahead").split("archive: ", 1)[-1].split("):")[0] + ")",
                                "keeps today as the present" if page.returncode == 0 and shown
                                else "SHOWS 2031"),
        "%d console records (+%d, nothing lost)" % (history_rows(), history_rows() - before))


def autumn_night():
    berlin = dict(os.environ, TZ="Europe/Berlin")
    options = ["--history=72", "--history-interval=5", "--live-interval=0", "--upload-interval=0",
               "--now=2026-10-25T03:30", "--fall-back"]
    sim = Simulator("autumn", options, env=berlin)
    if sim.process.poll() is not None:
        row("The autumn night (02:00-02:59 twice, Europe/Berlin)", "the simulator cannot model it", "-")
        failures.append("autumn: simulator")
        return
    service = Service("autumn", env=berlin)
    wait(lambda: service.logged("archive: merged 72 records"), 60, "autumn: merged")
    service.stop()
    day = ["--from=2026-10-25", "--to=2026-10-25"]
    direct = os.path.join(LOGS, "autumn-direct.xls")
    archived = os.path.join(LOGS, "autumn-archive.xls")
    subprocess.run([AEROVANE, "--config=" + CONFIG, "--console=" + SOCKET, "export"] + day + ["-o", direct],
                   env=berlin, capture_output=True)
    sim.stop()
    subprocess.run([AEROVANE, "--config=" + CONFIG, "--archive=" + ARCHIVE, "export", "--from-archive"] + day
                   + ["-o", archived], env=berlin, capture_output=True)
    same = os.path.exists(direct) and os.path.exists(archived) and open(direct, "rb").read() == open(
        archived, "rb").read()
    twice = query("SELECT count(*) FROM observation WHERE source = 1 AND time >= '2026-10-25T02:00'"
                  " AND time < '2026-10-25T03:00'")
    if not same:
        failures.append("autumn: archive export differs from the direct export")
    row("The autumn night (02:00-02:59 twice, Europe/Berlin)",
        "kept both passes in the console's order; archive export %s the direct export"
        % ("byte for byte equal to" if same else "DIFFERS FROM"),
        "%s console records in that hour" % twice)


def killed_in_a_merge():
    before = history_rows()
    sim = Simulator("big", ["--history=60000", "--history-interval=1", "--live-interval=0", "--upload-interval=0",
                            "--now=2026-12-01T00:00"])
    service = Service("big")
    wait(lambda: history_rows() > before, 120, "kill: merge begun")
    service.kill()
    at_kill = history_rows()
    ok = query("PRAGMA integrity_check")
    service = Service("after-kill")
    wait(lambda: service.logged("archive: merged 60000 records"), 180, "kill: merged on restart")
    service.stop()
    sim.stop()
    row("SIGKILL in the middle of a merge of 60,000 records",
        "killed with %d of them stored; integrity_check %s; the next start merged the rest"
        % (at_kill - before, ok),
        "%d console records; integrity_check %s" % (history_rows(), query("PRAGMA integrity_check")))


def main():
    os.makedirs(LOGS, exist_ok=True)
    for name in os.listdir(LOGS):
        path = os.path.join(LOGS, name)
        if os.path.isfile(path) or os.path.islink(path) or name.endswith(".sock"):
            os.remove(path)
    write_config()
    sim, service = stalled_download()
    sim = vanishing_console(sim, service)
    refusing_upload_server(sim, service)
    record_from_the_future()
    autumn_night()
    killed_in_a_merge()

    width = [max(len(r[i]) for r in rows_of_table + [("Fault", "What the service did", "What the archive holds")])
             for i in range(3)]
    print("%-*s | %-*s | %s" % (width[0], "Fault", width[1], "What the service did", "What the archive holds"))
    print("-" * width[0] + "-+-" + "-" * width[1] + "-+-" + "-" * width[2])
    for fault, did, holds in rows_of_table:
        print("%-*s | %-*s | %s" % (width[0], fault, width[1], did, holds))
    if failures:
        print("\nNot as it should be: " + "; ".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
