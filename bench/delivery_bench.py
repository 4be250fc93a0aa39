#!/usr/bin/env python3
"""The networks' deliveries measured from outside `aerovane run`, with the
native console simulator and the tests' loopback servers (not a test:
nothing here passes or fails on a figure).

- back-fill: a console holding seven days of one-minute observations, its
  history merged into a new archive, then caught up to PWSweather on a
  loopback HTTPS server whose certificate a private authority signed:
  observations per second and CPU per observation;
- at rest with every network on (the HTTPS server for four, the APRS-IS
  server for CWOP), everything delivered: share of a core over a quiet
  stretch, and resident memory, the program's own apart from the pages of
  the libraries mapped into it.

usage: bench/delivery_bench.py [--days=7] [--rest-seconds=60]
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NATIVE = os.path.join(ROOT, "build", "native")
TESTS = os.path.join(ROOT, "tests", "linux")
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def resident_kb(pid, field="VmRSS"):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def wait_for(condition, limit):
    end = time.time() + limit
    while not condition():
        if time.time() > end:
            raise SystemExit("timed out waiting")
        time.sleep(0.05)


def read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def authority(folder):
    """A private authority and a certificate of it for localhost."""
    ca, ca_key = os.path.join(folder, "ca.pem"), os.path.join(folder, "ca.key")
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", ca_key,
            "-out", ca, "-days", "2", "-subj", "/CN=bench authority", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    cert, key = os.path.join(folder, "server.pem"), os.path.join(folder, "server.key")
    request, extensions = os.path.join(folder, "server.csr"), os.path.join(folder, "server.ext")
    with open(extensions, "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n")
    openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out",
            request, "-subj", "/CN=localhost")
    openssl("x509", "-req", "-in", request, "-CA", ca, "-CAkey", ca_key, "-set_serial", "1", "-days", "2",
            "-extfile", extensions, "-out", cert)
    return ca, cert, key


def server(folder, name, script, options):
    """One of the tests' Python servers; its process and port."""
    port_file = os.path.join(folder, name + ".port")
    process = subprocess.Popen(["python3", os.path.join(TESTS, script), "--log", os.path.join(folder, name + ".log"),
                                "--port-file", port_file] + options,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: read(port_file).strip() != "", 30)
    return process, int(read(port_file))


def service(folder, name, config_text, simulator_options):
    config = os.path.join(folder, name + ".conf")
    with open(config, "w") as f:
        f.write(config_text)
    socket = os.path.join(folder, name + ".sock")
    simulator = subprocess.Popen([os.path.join(NATIVE, "aerovane-sim"), "--socket=" + socket] + simulator_options,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: os.path.exists(socket), 30)
    log = os.path.join(folder, name + ".out")
    with open(log, "w") as out:
        process = subprocess.Popen([os.path.join(NATIVE, "aerovane"), "--config=" + config, "--console=" + socket,
                                    "--archive=" + os.path.join(folder, name + ".sqlite"), "run"],
                                   stdout=out, stderr=subprocess.DEVNULL)
    return simulator, process, log


def stop(*processes):
    for process in processes:
        process.send_signal(signal.SIGTERM)
    for process in processes:
        process.wait(30)


def backfill(folder, ca, tls, days):
    records = days * 1440
    routes = os.path.join(folder, "routes.json")
    with open(routes, "w") as f:
        f.write('{"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success"}}')
    https, port = server(folder, "https", "http_test_server.py", ["--routes", routes, "--cert", tls[0], "--key", tls[1]])
    config = ("[clock]\nsync = never\n[tls]\nca-file = %s\n[pwsweather]\nstation = B1\nkey = k\nupload = on\n"
              "url = https://localhost:%d/pwsupdate/pwsupdate.php\n" % (ca, port))
    simulator, process, log = service(folder, "backfill", config,
                                      ["--history=%d" % records, "--history-interval=1", "--live-interval=0",
                                       "--upload-interval=0", "--clock-interval=0"])
    wait_for(lambda: "PWSweather: catching up" in read(log), 900)
    start, start_cpu = time.time(), cpu_seconds(process.pid)
    wait_for(lambda: "PWSweather: caught up" in read(log), 3600)
    seconds, cpu = time.time() - start, cpu_seconds(process.pid) - start_cpu
    line = [l for l in read(log).splitlines() if "PWSweather: caught up" in l][0]
    delivered = int(line.split("caught up: ")[1].split()[0])
    stop(process, simulator, https)
    return records, delivered, seconds, cpu


def at_rest(folder, ca, tls, seconds):
    routes = os.path.join(folder, "rest-routes.json")
    with open(routes, "w") as f:
        f.write('{"/pwsupdate/pwsupdate.php": {"status": 200, "body": "success"},'
                ' "/automaticreading": {"status": 200, "body": ""},'
                ' "/api/v2/observation/update": {"status": 200, "body": "SUCCESS"},'
                ' "/data/3.0/measurements": {"status": 204, "body": ""}}')
    https, port = server(folder, "rest-https", "http_test_server.py",
                         ["--routes", routes, "--cert", tls[0], "--key", tls[1]])
    aprs, aprs_port = server(folder, "rest-aprs", "aprs_test_server.py", [])
    url = "https://localhost:%d" % port
    config = ("[clock]\nsync = never\n[tls]\nca-file = %s\n"
              "[pwsweather]\nstation = B1\nkey = k\nupload = on\nurl = %s/pwsupdate/pwsupdate.php\n"
              "[wow]\nsite = 1\nkey = k\nupload = on\nurl = %s/automaticreading\n"
              "[windy]\nstation = 1\npassword = p\nupload = on\nurl = %s/api/v2/observation/update\n"
              "[openweathermap]\nstation = 1\nkey = k\nupload = on\nurl = %s/data/3.0/measurements\n"
              "[cwop]\ncallsign = N0CALL\npasscode = 13023\nlatitude = 49.05\nlongitude = -72.03\n"
              "server = 127.0.0.1:%d\nupload = on\n" % (ca, url, url, url, url, aprs_port))
    simulator, process, log = service(folder, "rest", config, ["--history=300", "--history-interval=5"])
    wait_for(lambda: all(name + ": caught up" in read(log) for name in ("PWSweather", "WOW", "OpenWeatherMap")), 300)
    time.sleep(5)
    start, start_cpu = time.time(), cpu_seconds(process.pid)
    time.sleep(seconds)
    elapsed, cpu = time.time() - start, cpu_seconds(process.pid) - start_cpu
    rss = [resident_kb(process.pid, field) for field in ("VmRSS", "RssAnon", "RssFile")]
    stop(process, simulator, https, aprs)
    return elapsed, cpu, rss


def main():
    days, rest_seconds = 7, 60
    for argument in sys.argv[1:]:
        if argument.startswith("--days="):
            days = int(argument.split("=", 1)[1])
        elif argument.startswith("--rest-seconds="):
            rest_seconds = int(argument.split("=", 1)[1])
        else:
            raise SystemExit(__doc__)
    folder = tempfile.mkdtemp(prefix="aerovane-delivery-bench.")
    try:
        ca, cert, key = authority(folder)
        records, delivered, seconds, cpu = backfill(folder, ca, (cert, key), days)
        print("back-fill of %d days of one-minute observations (%d) to PWSweather on loopback HTTPS: %d delivered"
              " in %.1f s, %.0f observations/s, %.2f ms of CPU each" % (days, records, delivered, seconds,
                                                                       delivered / seconds,
                                                                       1000 * cpu / max(delivered, 1)))
        elapsed, cpu, rss = at_rest(folder, ca, (cert, key), rest_seconds)
        print("aerovane run at rest with all five networks on, for %.0f s: %.3f %% of a core (%.2f s of CPU);"
              " resident %.1f MB: %.1f MB its own (anonymous), %.1f MB the libraries' and its file's pages"
              % (elapsed, 100 * cpu / elapsed, cpu, rss[0] / 1024, rss[1] / 1024, rss[2] / 1024))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
