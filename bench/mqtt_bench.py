#!/usr/bin/env python3
"""The service's MQTT publishing measured from outside `aerovane run`, with
the native console simulator and Debian's mosquitto broker on loopback (not
a test: nothing here passes or fails on a figure).

- latency: from the simulator having sent a live observation (its log line,
  read as it is written, just after the sending) to the state message at a
  subscriber
  (mosquitto_sub's own time stamp), over `--count` observations 200 ms
  apart: median and maximum;
- at rest, a live observation every 10 s, over `--rest-seconds`: share of
  a core and resident memory of `run` with MQTT on, beside the same without.

usage: bench/mqtt_bench.py [--count=100] [--rest-seconds=60]
"""
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

from linux_program_bench import NATIVE, Simulator, cpu_seconds, memory_kb, wait_for


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


class Broker:
    def __init__(self, folder):
        self.port = free_port()
        config = os.path.join(folder, "broker.conf")
        with open(config, "w") as f:
            f.write("listener %d 127.0.0.1\nallow_anonymous true\npersistence false\nuser root\n" % self.port)
        self.process = subprocess.Popen(["mosquitto", "-c", config], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

        def listening():
            with socket.socket() as s:
                return s.connect_ex(("127.0.0.1", self.port)) == 0
        wait_for(listening)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(30)


def start_service(folder, name, config_text, simulator):
    config = os.path.join(folder, name + ".conf")
    with open(config, "w") as f:
        f.write(config_text)
    out = os.path.join(folder, name + ".out")
    service = subprocess.Popen(
        [os.path.join(NATIVE, "aerovane"), "--config=" + config, "--console=" + simulator.socket,
         "--archive=" + os.path.join(folder, name + ".sqlite"), "run"],
        stdout=open(out, "w"), stderr=subprocess.DEVNULL)
    return service, out


def stop_service(service):
    service.send_signal(signal.SIGTERM)
    service.wait(30)


def latency(folder, broker, count):
    """Milliseconds from each observation sent to its state at a subscriber."""
    simulator = Simulator(folder, "latency", ["--live-interval=200", "--upload-interval=0"])
    received = os.path.join(folder, "states")
    subscriber = subprocess.Popen(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(broker.port), "-q", "1", "-t",
                                   "aerovane/state", "-F", "%U"], stdout=open(received, "w"),
                                  stderr=subprocess.DEVNULL)
    service, out = start_service(folder, "latency", "[mqtt]\nhost = 127.0.0.1\nport = %d\n" % broker.port,
                                 simulator)
    wait_for(lambda: "MQTT: connected" in read(out))
    # Each observation's moment: when its line reaches the simulator's log.
    sent = []
    offset = len(read(simulator.log))
    with open(simulator.log, errors="replace") as log:
        log.seek(offset)
        pending = ""
        while len(sent) < count + 2:
            chunk = log.read()
            now = time.time()
            if not chunk:
                time.sleep(0.0005)
                continue
            pending += chunk
            *lines, pending = pending.split("\n")
            sent += [now for line in lines if line.startswith("live ok ")]
    time.sleep(1)
    stop_service(service)
    subscriber.send_signal(signal.SIGTERM)
    subscriber.wait(30)
    simulator.stop()
    arrived = [float(line) for line in read(received).split()]
    # Each arrival belongs to the observation sent nearest to it: they are
    # 200 ms apart and the way takes milliseconds. The simulator notes an
    # observation just after sending it, so a state can arrive a fraction
    # of a millisecond "before" it: a negative figure, kept as measured.
    delays = []
    for at in arrived:
        nearest = min(sent, key=lambda s: abs(at - s), default=None)
        if nearest is not None and abs(at - nearest) < 0.1:
            delays.append(1000.0 * (at - nearest))
    return delays[:count]


def at_rest(folder, name, config_text, seconds):
    simulator = Simulator(folder, name, ["--upload-interval=60000"])
    service, out = start_service(folder, name, config_text, simulator)
    time.sleep(3)  # connected, first observation in
    start_cpu, start = cpu_seconds(service.pid), time.time()
    time.sleep(seconds)
    used, elapsed = cpu_seconds(service.pid) - start_cpu, time.time() - start
    rss, peak = memory_kb(service.pid, "VmRSS"), memory_kb(service.pid, "VmHWM")
    stop_service(service)
    simulator.stop()
    return 100.0 * used / elapsed, used, rss, peak


def main():
    count, rest = 100, 60
    for argument in sys.argv[1:]:
        if argument.startswith("--count="):
            count = int(argument.split("=", 1)[1])
        elif argument.startswith("--rest-seconds="):
            rest = int(argument.split("=", 1)[1])
    folder = tempfile.mkdtemp(prefix="aerovane-mqtt-bench-")
    broker = Broker(folder)
    try:
        delays = latency(folder, broker, count)
        print("Live observation to its state at a subscriber, %d observations: median %.2f ms, maximum %.2f ms"
              " (minimum %.2f ms: the simulator's note comes just after the sending)"
              % (len(delays), statistics.median(delays), max(delays), min(delays)))
        for name, text in (("with MQTT", "[mqtt]\nhost = 127.0.0.1\nport = %d\n" % broker.port),
                           ("without MQTT", "")):
            share, used, rss, peak = at_rest(folder, name.replace(" ", "-"), text, rest)
            print("run at rest %s, %d s: %.2f s of CPU, %.3f %% of a core; %.1f MB resident, peak %.1f MB"
                  % (name, rest, used, share, rss / 1024.0, peak / 1024.0))
    finally:
        broker.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
