#!/usr/bin/env python3
"""A real Prometheus server scrapes a running widget host on the demo machine.

The host serves the widget on a loopback port and the metrics on a second
listener on every address (--metrics-listen 0.0.0.0:0); Prometheus scrapes
/metrics on both, once a second. The test then finds the demo machine's CPU
core temperatures through Prometheus' query API and checks them against what
the widget shows for the same sensors (the bridge's reading text), second by
second: the CPU driver refreshes its readings at most once a second, so a
scrape and a widget reading in the same second see the same values. Last,
from an address of this machine other than loopback the metrics listener
answers and the widget's port (its bridge) does not.

Needs ZOR_WIDGET_HOST (the host program) and prometheus and promtool on PATH.
"""

import json
import math
import os
import re
import queue
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.parse
import urllib.request

CORES = ("CPU Core 1", "CPU Core 2")


def fail(message, logs=()):
    print("FAIL: " + message)
    for path in logs:
        if os.path.exists(path):
            with open(path, encoding="utf-8", errors="replace") as f:
                print("--- " + path + " (last lines)")
                print("".join(f.readlines()[-20:]))
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def http(method, url, body=None, timeout=5):
    """(status, body text); the status of an error answer too."""
    data = body.encode() if body is not None else None
    request = urllib.request.Request(url, data=data, method=method)
    if data is not None:
        request.add_header("Content-Type", "application/json")
    try:
        with urllib.request.urlopen(request, timeout=timeout) as response:
            return response.status, response.read().decode("utf-8")
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode("utf-8", "replace")


def read_lines_until(process, marker, seconds):
    """The program's standard output up to the line holding `marker`."""
    lines = queue.Queue()
    threading.Thread(target=lambda: [lines.put(line) for line in process.stdout],
                     daemon=True).start()
    text, deadline = "", time.time() + seconds
    while time.time() < deadline:
        try:
            line = lines.get(timeout=max(0.0, deadline - time.time()))
        except queue.Empty:
            break
        text += line
        if marker in line:
            return text
    fail("the host did not start:\n" + text)


class Bridge:
    def __init__(self, port):
        self.url = "http://127.0.0.1:%d/bridge" % port
        self.id = 0

    def call(self, name, *args):
        self.id += 1
        request = {"id": self.id, "instance": "e2e", "call": name, "args": list(args)}
        status, text = http("POST", self.url, json.dumps(request))
        answer = json.loads(text)
        if status != 200 or "error" in answer:
            fail("bridge call %s: %s %s" % (name, status, text))
        return answer["result"]


def reading_number(text):
    match = re.fullmatch(r"\s*(-?\d+(?:[.,]\d+)?)°C", text)
    if not match:
        fail("not a temperature reading in degrees Celsius: %r" % text)
    return float(match.group(1).replace(",", "."))


def query(prometheus, expression, **extra):
    params = urllib.parse.urlencode(dict(query=expression, **extra))
    status, text = http("GET", prometheus + "/api/v1/query?" + params)
    answer = json.loads(text)
    if status != 200 or answer.get("status") != "success":
        fail("query %s: %s %s" % (expression, status, text))
    return answer["data"]["result"]


def outside_address():
    """An IPv4 address of this machine that is not loopback, or None."""
    try:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.connect(("192.0.2.1", 9))  # no packet is sent for a datagram socket
            address = s.getsockname()[0]
            if not address.startswith("127."):
                return address
    except OSError:
        pass
    try:
        for address in subprocess.run(["hostname", "-I"], capture_output=True, text=True,
                                      timeout=5).stdout.split():
            if "." in address and not address.startswith("127."):
                return address
    except (OSError, subprocess.SubprocessError):
        pass
    return None


def lint(what, text):
    result = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True,
                            text=True, timeout=30)
    if result.returncode != 0 or result.stdout.strip() or result.stderr.strip():
        fail("promtool on %s:\n%s%s" % (what, result.stdout, result.stderr))
    print("promtool: %s lint-clean" % what)


def main():
    host_program = os.environ["ZOR_WIDGET_HOST"]
    started = time.time()
    with tempfile.TemporaryDirectory(prefix="zor-prometheus-") as work:
        host_log = os.path.join(work, "host.log")
        prometheus_log = os.path.join(work, "prometheus.log")
        widget_port = free_port()
        host = subprocess.Popen(
            [host_program, "--machine", "demo", "--port", str(widget_port),
             "--prefs", os.path.join(work, "prefs"),
             "--metrics-listen", "0.0.0.0:0"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        prometheus = None
        try:
            banner = read_lines_until(host, "Press Ctrl-C", 20)
            match = re.search(r"Metrics for scraping at http://0\.0\.0\.0:(\d+)/metrics", banner)
            if not match:
                fail("the host names no metrics listener:\n" + banner)
            metrics_port = int(match.group(1))

            prometheus_port = free_port()
            prometheus_url = "http://127.0.0.1:%d" % prometheus_port
            config = os.path.join(work, "prometheus.yml")
            with open(config, "w", encoding="utf-8") as f:
                f.write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                        "scrape_configs:\n  - job_name: zorsensors\n    static_configs:\n"
                        "      - targets: ['127.0.0.1:%d', '127.0.0.1:%d']\n"
                        % (metrics_port, widget_port))
            with open(prometheus_log, "w", encoding="utf-8") as log:
                prometheus = subprocess.Popen(
                    ["prometheus", "--config.file=" + config,
                     "--storage.tsdb.path=" + os.path.join(work, "data"),
                     "--web.listen-address=127.0.0.1:%d" % prometheus_port],
                    stdout=log, stderr=subprocess.STDOUT, cwd=work)

            # Both listeners scraped successfully.
            targets = {"127.0.0.1:%d" % metrics_port, "127.0.0.1:%d" % widget_port}
            deadline = time.time() + 30
            while True:
                try:
                    up = {r["metric"]["instance"] for r in query(prometheus_url, "up")
                          if r["value"][1] == "1"}
                    if targets <= up:
                        break
                except (urllib.error.URLError, ConnectionError, json.JSONDecodeError):
                    pass
                if time.time() > deadline or prometheus.poll() is not None:
                    fail("Prometheus did not scrape both listeners", [prometheus_log])
                time.sleep(0.2)
            print("prometheus: scraped the metrics listener and the widget's server")

            # What the widget shows for each core, second by second.
            bridge = Bridge(widget_port)
            bridge.call("setWidgetIdentifier", "e2e")
            names = [bridge.call("localizedDifferentiatingSensorNameAtIndex", i)
                     for i in range(bridge.call("numberOfAvailableSensors"))]
            for position, core in enumerate(CORES):
                if core not in names:
                    fail("the widget offers no %s: %s" % (core, names))
                bridge.call("setPreferredSensorIndexForDisplayIndex", names.index(core), position)
            shown = {}  # whole second -> (core 1, core 2)
            window_start = time.time()
            while time.time() < window_start + 3:
                before = time.time()
                values = tuple(reading_number(bridge.call("localizedReadingAtDisplayIndex", p))
                               for p in range(len(CORES)))
                after = time.time()
                if math.floor(before) == math.floor(after):
                    second = math.floor(before)
                    if shown.setdefault(second, values) != values:
                        fail("the widget's readings changed within one second: %s, %s"
                             % (shown[second], values))
                time.sleep(0.1)
            time.sleep(2.5)  # until every second of the window has been scraped

            series = query(prometheus_url,
                           'zorsensors_temperature_celsius{location=~"CPU Core .*"}[8s]')
            found = {(s["metric"]["instance"], s["metric"]["name"]) for s in series}
            wanted = {(t, core) for t in targets for core in CORES}
            if found != wanted:
                fail("Prometheus has these CPU core series: %s, not %s" % (found, wanted))
            total = 0
            for s in series:
                position = CORES.index(s["metric"]["name"])
                compared = 0
                for timestamp, value in s["values"]:
                    second = math.floor(timestamp)
                    if second not in shown:
                        continue
                    # A scrape at the very end of a second may be read in the next one.
                    allowed = {shown[second][position]}
                    if timestamp - second > 0.9 and second + 1 in shown:
                        allowed.add(shown[second + 1][position])
                    if float(value) not in allowed:
                        fail("%s from %s at %.3f: Prometheus has %s, the widget showed %s"
                             % (s["metric"]["name"], s["metric"]["instance"], timestamp, value,
                                sorted(allowed)))
                    compared += 1
                if compared < 2:
                    fail("only %d samples of %s to compare" % (compared, s["metric"]))
                total += compared
            print("prometheus: %d samples of the CPU cores equal the widget's readings "
                  "(last %s)" % (total, ", ".join("%s %g" % (core, v) for core, v in
                                                  zip(CORES, shown[max(shown)]))))

            # The live texts of both listeners pass the lint as well.
            for port in (metrics_port, widget_port):
                status, text = http("GET", "http://127.0.0.1:%d/metrics" % port)
                if status != 200:
                    fail("GET /metrics on port %d: %d" % (port, status))
                lint("the host's /metrics on port %d" % port, text)

            address = outside_address()
            if address is None:
                print("prometheus: no address besides loopback; outside checks skipped")
            else:
                outside = "http://%s:%d" % (address, metrics_port)
                if http("GET", outside + "/metrics")[0] != 200:
                    fail("the metrics listener does not serve %s/metrics" % outside)
                try:
                    socket.create_connection((address, widget_port), timeout=2).close()
                    fail("the widget's port %d answers on %s" % (widget_port, address))
                except OSError:
                    pass
                print("prometheus: from %s the metrics are served, the widget's port is closed"
                      % address)
        finally:
            for process in (prometheus, host):
                if process is not None and process.poll() is None:
                    process.terminate()
                    try:
                        process.wait(timeout=10)
                    except subprocess.TimeoutExpired:
                        process.kill()
                        process.wait()
        if host.returncode != 0:
            fail("the host ended with %d" % host.returncode)
    print("prometheus: end-to-end test passed in %.1f s" % (time.time() - started))


if __name__ == "__main__":
    main()
