#!/usr/bin/env python3
"""The Linux program's figures, measured from outside it with the native
console simulator (not a test: nothing here passes or fails on a figure).

- idle CPU of `aerovane run` over a quiet minute (connected, the console
  sending its live observations every 10 s, uploads off): the reader blocks
  in one read, so this should stay far below 0.1 % of a core;
- resident memory of the service at rest, and the peak of an export of
  60,000 records (the history store is taken only while a download runs);
- download speed: records per second of `aerovane export` natively, against
  the Windows program's export under Wine (when build/win is there), each
  as the time of a large download less that of a small one, so start-up
  does not count.

usage: bench/linux_program_bench.py [--idle-seconds=60] [--records=20000]
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
WINDOWS = os.path.join(ROOT, "build", "win")
TICKS = os.sysconf("SC_CLK_TCK")
PAGE_KB = os.sysconf("SC_PAGE_SIZE") // 1024


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def memory_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def wait_for(condition, limit=60):
    end = time.time() + limit
    while not condition():
        if time.time() > end:
            raise SystemExit("timed out waiting")
        time.sleep(0.02)


class Simulator:
    def __init__(self, folder, name, options):
        self.socket = os.path.join(folder, name + ".sock")
        self.log = os.path.join(folder, name + ".log")
        self.process = subprocess.Popen(
            [os.path.join(NATIVE, "aerovane-sim"), "--socket=" + self.socket, "--log=" + self.log] + options,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: os.path.exists(self.log) and "listening" in open(self.log).read())

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(30)


def idle_service(folder, seconds):
    config = os.path.join(folder, "idle.conf")
    open(config, "w").close()
    simulator = Simulator(folder, "idle", ["--upload-interval=60000"])
    service = subprocess.Popen(
        [os.path.join(NATIVE, "aerovane"), "--config=" + config, "--console=" + simulator.socket,
         "--archive=" + os.path.join(folder, "idle.sqlite"), "run"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(3)  # connected, first observation in
    start_cpu, start = cpu_seconds(service.pid), time.time()
    time.sleep(seconds)
    used, elapsed = cpu_seconds(service.pid) - start_cpu, time.time() - start
    rss, peak = memory_kb(service.pid, "VmRSS"), memory_kb(service.pid, "VmHWM")
    service.send_signal(signal.SIGTERM)
    service.wait(30)
    simulator.stop()
    return 100.0 * used / elapsed, used, elapsed, rss, peak


def native_export(folder, records, tag):
    """Seconds of one export, and its peak resident memory."""
    config = os.path.join(folder, "export.conf")
    open(config, "w").close()
    simulator = Simulator(folder, tag, ["--history=%d" % records, "--live-interval=0", "--upload-interval=0"])
    output = os.path.join(folder, tag + ".xls")
    start = time.time()
    exporter = subprocess.Popen(
        [os.path.join(NATIVE, "aerovane"), "--config=" + config, "--console=" + simulator.socket, "export",
         "--whole-period", "-o", output], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while exporter.poll() is None:
        try:
            peak = max(peak, memory_kb(exporter.pid, "VmHWM"))
        except (FileNotFoundError, ProcessLookupError):
            pass
        time.sleep(0.05)
    seconds = time.time() - start
    simulator.stop()
    if exporter.returncode != 0:
        raise SystemExit("the export failed")
    return seconds, peak


def archive_export(folder, records):
    """The same full console merged into an archive by `aerovane run`, then
    exported from the archive: seconds of the merge's wait and of the
    export."""
    config = os.path.join(folder, "archive.conf")
    open(config, "w").close()
    archive = os.path.join(folder, "full.sqlite")
    simulator = Simulator(folder, "archived", ["--history=%d" % records, "--history-interval=5",
                                               "--live-interval=0", "--upload-interval=0"])
    log = os.path.join(folder, "archive.log")
    with open(log, "w") as out:
        service = subprocess.Popen(
            [os.path.join(NATIVE, "aerovane"), "--config=" + config, "--console=" + simulator.socket,
             "--archive=" + archive, "run"], stdout=out, stderr=subprocess.DEVNULL)
        wait_for(lambda: "archive: merged" in open(log).read(), 600)
    service.send_signal(signal.SIGTERM)
    service.wait(30)
    simulator.stop()
    output = os.path.join(folder, "from-archive.xls")
    start = time.time()
    done = subprocess.run([os.path.join(NATIVE, "aerovane"), "--config=" + config, "--archive=" + archive,
                           "export", "--from-archive", "--whole-period", "-o", output])
    seconds = time.time() - start
    if done.returncode != 0:
        raise SystemExit("the export from the archive failed")
    return seconds, os.path.getsize(archive)


def windows_export(folder, records, tag):
    probe = os.path.join(WINDOWS, "cross_export_probe.exe")
    wine = os.path.join(WINDOWS, "wine-run.sh")
    environment = dict(os.environ)
    environment["AEROVANE_CROSS_EXPORT_FILE"] = "Z:" + os.path.join(folder, tag + ".xls").replace("/", "\\")
    environment["AEROVANE_CROSS_SIM_OPTIONS"] = "--history=%d --live-interval=0" % records
    start = time.time()
    done = subprocess.run(["sh", wine, probe], env=environment, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
    if done.returncode != 0:
        raise SystemExit("the Windows export failed")
    return time.time() - start


def main():
    idle_seconds, records = 60, 20000
    for argument in sys.argv[1:]:
        if argument.startswith("--idle-seconds="):
            idle_seconds = int(argument.split("=", 1)[1])
        elif argument.startswith("--records="):
            records = int(argument.split("=", 1)[1])
        else:
            raise SystemExit(__doc__)
    folder = tempfile.mkdtemp(prefix="aerovane-linux-bench.")
    try:
        share, used, elapsed, rss, peak = idle_service(folder, idle_seconds)
        print("aerovane run, idle for %.0f s: %.3f %% of a core (%.2f s of CPU, in %d ms ticks); resident %.1f MB,"
              " peak %.1f MB" % (elapsed, share, used, 1000 // TICKS, rss / 1024, peak / 1024))
        small, _ = native_export(folder, 100, "small")
        large, export_peak = native_export(folder, records, "large")
        native_rate = (records - 100) / (large - small)
        print("aerovane export of %d records: %.2f s, peak resident %.1f MB" % (records, large, export_peak / 1024))
        print("download natively: %.0f records/s" % native_rate)
        big, big_peak = native_export(folder, 60000, "full")
        print("aerovane export of 60,000 records (the full store): %.2f s, peak resident %.1f MB"
              % (big, big_peak / 1024))
        archived, archive_bytes = archive_export(folder, 60000)
        print("the same 60,000 records from the archive (export --from-archive): %.2f s; archive %.1f MB"
              % (archived, archive_bytes / 1e6))
        if os.path.exists(os.path.join(WINDOWS, "cross_export_probe.exe")):
            # The probe gives its export two minutes: at about 100 records
            # a second under Wine, 5,000 records fit with room to spare.
            wine_records = min(records, 5000)
            small_w = windows_export(folder, 100, "wsmall")
            large_w = windows_export(folder, wine_records, "wlarge")
            wine_rate = (wine_records - 100) / (large_w - small_w)
            print("download by the Windows program under Wine: %.0f records/s; native is %.1f times as fast"
                  % (wine_rate, native_rate / wine_rate))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
