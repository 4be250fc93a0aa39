#!/usr/bin/python3
"""The report page in headless Chromium, driven through chromedriver's
WebDriver HTTP interface with the standard library alone.

Loads a page file and checks that the browser logs no error, that the
page's policy forbids script, that every chart is laid out with something
drawn in it, and that the expected number of charts is there. Then takes
full-page screenshots at phone and desktop width.

    report_browser_test.py PAGE.html [--charts N] [--screenshots DIR]

The documentation's picture of the page is made with it by hand:

    cmake --build build/native --target report_sample_page
    build/native/report_sample_page /tmp/report.html
    tests/linux/report_browser_test.py /tmp/report.html --phone-shot docs/report.png

Exits 0 when every check passes, 1 with the failures listed, 2 when the
browser could not be driven at all.
"""

import argparse
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

CHROMEDRIVER = "/usr/bin/chromedriver"
CHROMIUM = "/usr/bin/chromium"
PHONE_WIDTH = 412
DESKTOP_WIDTH = 1280
WINDOW_HEIGHT = 900
# Generous: a loaded CI machine can take many seconds to start a browser.
START_DEADLINE_S = 60
LOAD_DEADLINE_S = 60
REQUEST_TIMEOUT_S = 60
EXPECTED_CHARTS = 20


class DriverError(Exception):
    pass


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Driver:
    def __init__(self, port):
        self.base = "http://127.0.0.1:%d" % port
        self.session = None

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=REQUEST_TIMEOUT_S) as reply:
                answer = json.loads(reply.read().decode() or "{}")
        except urllib.error.HTTPError as error:
            text = error.read().decode(errors="replace")
            raise DriverError("%s %s failed: HTTP %d %s" % (method, path, error.code, text[:500]))
        return answer.get("value")

    def wait_ready(self, driver_process):
        deadline = time.monotonic() + START_DEADLINE_S
        while time.monotonic() < deadline:
            if driver_process.poll() is not None:
                raise DriverError("chromedriver exited with code %d" % driver_process.returncode)
            try:
                value = self.call("GET", "/status")
                if value and value.get("ready"):
                    return
            except (urllib.error.URLError, ConnectionError, DriverError, OSError):
                pass
            time.sleep(0.1)
        raise DriverError("chromedriver not ready within %d s" % START_DEADLINE_S)

    def start(self, profile_dir):
        capabilities = {
            "browserName": "chrome",
            "goog:loggingPrefs": {"browser": "ALL"},
            "goog:chromeOptions": {
                "binary": CHROMIUM,
                "args": ["--headless=new", "--no-sandbox", "--disable-gpu",
                         "--window-size=%d,%d" % (PHONE_WIDTH, WINDOW_HEIGHT),
                         "--user-data-dir=" + profile_dir, "--hide-scrollbars",
                         "--no-first-run", "--disable-extensions"],
            },
        }
        value = self.call("POST", "/session", {"capabilities": {"alwaysMatch": capabilities}})
        self.session = value["sessionId"]

    def session_call(self, method, path, body=None):
        return self.call(method, "/session/%s%s" % (self.session, path), body)

    def script(self, source, *args):
        return self.session_call("POST", "/execute/sync", {"script": source, "args": list(args)})

    def cdp(self, command, params):
        return self.session_call("POST", "/goog/cdp/execute", {"cmd": command, "params": params})

    def browser_log(self):
        for path in ("/se/log", "/log"):
            try:
                return self.session_call("POST", path, {"type": "browser"}) or []
            except DriverError:
                continue
        raise DriverError("the browser log cannot be read")

    def quit(self):
        if self.session is not None:
            try:
                self.session_call("DELETE", "")
            except (DriverError, urllib.error.URLError, OSError):
                pass
            self.session = None


def load(driver, url):
    driver.session_call("POST", "/url", {"url": url})
    deadline = time.monotonic() + LOAD_DEADLINE_S
    while time.monotonic() < deadline:
        if driver.script("return document.readyState;") == "complete":
            return
        time.sleep(0.1)
    raise DriverError("page not loaded within %d s" % LOAD_DEADLINE_S)


CHART_FACTS = """
return Array.from(document.querySelectorAll('figure.chart')).map(function (figure) {
  var svg = figure.querySelector('svg');
  var caption = figure.querySelector('figcaption');
  var fact = {caption: caption ? caption.textContent : '', svg: !!svg};
  if (!svg) { fact.noData = !!figure.querySelector('.nodata'); return fact; }
  var box = svg.getBoundingClientRect();
  fact.width = box.width; fact.height = box.height;
  var title = svg.querySelector('title');
  fact.title = title ? title.textContent : '';
  fact.drawn = 0;
  svg.querySelectorAll('path.line, path.band, path.bars, path.dots, polyline, rect').forEach(function (shape) {
    var b = shape.getBBox();
    var d = shape.getAttribute('d') || shape.getAttribute('points') || '';
    if (/\\d/.test(d) && (b.width > 0 || b.height > 0)) fact.drawn += 1;
  });
  return fact;
});
"""

PAGE_FACTS = """
var meta = document.querySelector('meta[http-equiv="Content-Security-Policy"]');
return {
  policy: meta ? meta.getAttribute('content') : '',
  scripts: document.querySelectorAll('script').length,
  width: document.documentElement.scrollWidth,
  viewport: window.innerWidth,
  height: Math.ceil(document.documentElement.scrollHeight),
  updated: (document.querySelector('.updated') || {}).textContent || '',
  overflowing: Array.from(document.querySelectorAll('.tile, td, figcaption')).filter(function (e) {
    return e.scrollWidth > e.clientWidth + 1;
  }).length
};
"""


def policy_forbids_script(policy):
    directives = {}
    for part in policy.split(";"):
        words = part.split()
        if words:
            directives[words[0].lower()] = words[1:]
    if "script-src" in directives:
        return directives["script-src"] == ["'none'"]
    return directives.get("default-src") == ["'none'"]


def screenshot(driver, width, path, dark=False):
    """A full-page PNG at the given CSS width, in the light or dark scheme."""
    driver.cdp("Emulation.setEmulatedMedia",
               {"features": [{"name": "prefers-color-scheme", "value": "dark" if dark else "light"}]})
    driver.cdp("Emulation.setDeviceMetricsOverride",
               {"width": width, "height": WINDOW_HEIGHT, "deviceScaleFactor": 1, "mobile": width < 600})
    height = driver.script("return Math.ceil(document.documentElement.scrollHeight);")
    shot = driver.cdp("Page.captureScreenshot", {
        "format": "png", "captureBeyondViewport": True,
        "clip": {"x": 0, "y": 0, "width": width, "height": height, "scale": 1}})
    with open(path, "wb") as out:
        out.write(base64.b64decode(shot["data"]))
    driver.cdp("Emulation.clearDeviceMetricsOverride", {})


def check_page(driver, expected_charts):
    failures = []
    page = driver.script(PAGE_FACTS)
    if not policy_forbids_script(page["policy"]):
        failures.append("the Content-Security-Policy does not forbid script: %r" % page["policy"])
    if page["scripts"]:
        failures.append("the page holds %d script element(s)" % page["scripts"])
    if page["width"] > page["viewport"]:
        failures.append("the page is wider (%d px) than the phone screen (%d px)"
                        % (page["width"], page["viewport"]))
    if page["overflowing"]:
        failures.append("%d tile(s), cell(s) or caption(s) overflow their box" % page["overflowing"])

    charts = driver.script(CHART_FACTS)
    if len(charts) != expected_charts:
        failures.append("%d charts, expected %d" % (len(charts), expected_charts))
    for chart in charts:
        name = chart["caption"].strip() or "(no caption)"
        if not chart["svg"]:
            failures.append("chart %r has no drawing%s" % (name, " (says No data)" if chart.get("noData") else ""))
            continue
        if not chart["title"]:
            failures.append("chart %r has no <title>" % name)
        if chart["width"] <= 0 or chart["height"] <= 0:
            failures.append("chart %r is laid out %gx%g" % (name, chart["width"], chart["height"]))
        if chart["drawn"] == 0:
            failures.append("chart %r draws nothing" % name)

    for entry in driver.browser_log():
        if entry.get("level") == "SEVERE":
            failures.append("browser error: %s" % entry.get("message"))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("page", help="the report page file")
    parser.add_argument("--charts", type=int, default=EXPECTED_CHARTS, help="charts expected")
    parser.add_argument("--screenshots", metavar="DIR",
                        help="write report-phone.png, report-desktop.png and report-phone-dark.png there")
    parser.add_argument("--phone-shot", metavar="PNG", help="write the phone-width screenshot to this file")
    args = parser.parse_args()

    page_path = os.path.abspath(args.page)
    if not os.path.isfile(page_path):
        print("FAIL: no page file %s" % page_path)
        return 2
    for tool in (CHROMEDRIVER, CHROMIUM):
        if not os.access(tool, os.X_OK):
            print("FAIL: %s is missing (scripts/setup.sh installs it)" % tool)
            return 2

    profile_dir = tempfile.mkdtemp(prefix="aerovane-report-browser-")
    port = free_port()
    log_path = os.path.join(profile_dir, "chromedriver.log")
    log_file = open(log_path, "wb")
    driver_process = subprocess.Popen([CHROMEDRIVER, "--port=%d" % port, "--allowed-ips=127.0.0.1"],
                                      stdout=log_file, stderr=subprocess.STDOUT, start_new_session=True)
    driver = Driver(port)
    try:
        driver.wait_ready(driver_process)
        driver.start(os.path.join(profile_dir, "profile"))
        load(driver, "file://" + page_path)
        failures = check_page(driver, args.charts)
        shots = []
        if args.screenshots:
            os.makedirs(args.screenshots, exist_ok=True)
            shots.append((PHONE_WIDTH, False, os.path.join(args.screenshots, "report-phone.png")))
            shots.append((DESKTOP_WIDTH, False, os.path.join(args.screenshots, "report-desktop.png")))
            shots.append((PHONE_WIDTH, True, os.path.join(args.screenshots, "report-phone-dark.png")))
        if args.phone_shot:
            shots.append((PHONE_WIDTH, False, args.phone_shot))
        for width, dark, path in shots:
            screenshot(driver, width, path, dark)
            print("screenshot %s (%d px wide%s)" % (path, width, ", dark" if dark else ""))
    except (DriverError, urllib.error.URLError, OSError, KeyError) as error:
        print("FAIL: the browser could not be driven: %s" % error)
        log_file.flush()
        with open(log_path, "rb") as log:
            tail = log.read()[-2000:].decode(errors="replace")
        if tail:
            print("chromedriver said:\n" + tail)
        return 2
    finally:
        driver.quit()
        if driver_process.poll() is None:
            driver_process.terminate()
            try:
                driver_process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                # Its own process group: chromedriver and the browsers it started.
                os.killpg(driver_process.pid, 9)
                driver_process.wait()
        log_file.close()
        shutil.rmtree(profile_dir, ignore_errors=True)

    if failures:
        print("FAIL: %s" % page_path)
        for failure in failures:
            print("  " + failure)
        return 1
    print("report page in the browser: %d charts drawn, no errors, no script" % args.charts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
