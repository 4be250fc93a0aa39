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
                "[report]\nfolder = %s\nevery = 1\n[clock]\nsync = always\n" % (UPLOAD_PORT, SITE))
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


def zone_falling_back_soon():
    """Europe's offsets (UTC+2, then UTC+1) with the clocks going back a few
    seconds from now, so the real service lives through the night: the
    calendar's own nights are months away."""
    now = int(time.time())
    fall_back = (now // 60 + 1) * 60 - 8
    if fall_back < now + 4:
        fall_back += 60
    summer = time.gmtime(fall_back + 7200)
    day = summer.tm_yday - 1
    return "CET-1CEST,%d/0,%d/%02d:%02d:%02d" % ((day + 265) % 365, day, summer.tm_hour, summer.tm_min,
                                                  summer.tm_sec)


def autumn_night():
    global ARCHIVE
    ARCHIVE = os.path.join(LOGS, "autumn.sqlite")  # a night of its own
    zone = dict(os.environ, TZ=zone_falling_back_soon())
    sim = Simulator("autumn", ["--history=150", "--history-interval=1", "--live-interval=1000",
                               "--clock-interval=1000", "--upload-interval=0"], env=zone)
    service = Service("autumn", env=zone)
    wait(lambda: service.logged("archive: merged 150 records"), 60, "autumn: first download")
    # The clock exchange sets the console back an hour.
    wait(lambda: (query("SELECT count(*) FROM observation WHERE source = 2 AND fold = 1") or 0) > 0, 120,
         "autumn: second pass of live observations")
    service.stop()
    # Past the console's next record of the second pass, with most of a
    # minute before the one after: the direct export and the archive's
    # download then see the same records.
    moment = (int(time.time()) // 60 + 1) * 60 + 3
    wait(lambda: time.time() >= moment, 90, "autumn: a quiet moment")
    direct = os.path.join(LOGS, "autumn-direct.xls")
    archived = os.path.join(LOGS, "autumn-archive.xls")
    subprocess.run([AEROVANE, "--config=" + CONFIG, "--console=" + SOCKET, "export", "--whole-period", "-o",
                    direct], env=zone, capture_output=True)
    service = Service("autumn-again", env=zone)
    wait(lambda: service.logged("archive: merged"), 60, "autumn: second download")
    service.stop()
    sim.stop()
    subprocess.run([AEROVANE, "--config=" + CONFIG, "--archive=" + ARCHIVE, "export", "--from-archive",
                    "--whole-period", "-o", archived], env=zone, capture_output=True)
    # The archive keeps what the console has let go since: the direct
    # export's records are the archive's newest, byte for byte.
    same = False
    kept = 0
    if os.path.exists(direct) and os.path.exists(archived):
        direct_lines = open(direct, "rb").read().decode("utf-16").split("\n")
        archive_lines = open(archived, "rb").read().decode("utf-16").split("\n")
        header = next(i for i, line in enumerate(direct_lines) if "yy-mm-dd" in line) + 1
        kept = len(archive_lines) - len(direct_lines)
        same = kept >= 0 and archive_lines[:header] == direct_lines[:header] and \
            archive_lines[header + kept:] == direct_lines[header:]
    if not same:
        failures.append("autumn: archive export differs from the direct export")
    passes = "%s records and %s live rows in the second pass, %s set aside" % (
        query("SELECT count(*) FROM observation WHERE source = 1 AND fold = 1"),
        query("SELECT count(*) FROM observation WHERE source = 2 AND fold = 1"),
        query("SELECT count(*) FROM set_aside"))
    row("The autumn night (the clocks go back an hour)",
        "the console was set back; kept both passes in its order; archive export %s the direct export%s"
        % ("byte for byte equal to" if same else "DIFFERS FROM",
           " (and %d older records the console let go)" % kept if same and kept else ""), passes)
    ARCHIVE = os.path.join(LOGS, "archive.sqlite")


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
