#!/usr/bin/env python3
"""A real Prometheus server scrapes a running widget host on the demo machine.

The host serves the widget on a loopback port and the metrics on a second listener on every
address (--metrics-listen 0.0.0.0:0); Prometheus scrapes /metrics on both once a second. The
demo machine's CPU core temperatures found through Prometheus' query API must equal what the
widget shows for the same sensors, second by second: the CPU driver refreshes at most once a
second, so a scrape and a widget reading in the same second see the same values. Last, from an
address of this machine other than loopback the metrics listener answers and the widget's port
(its bridge) does not.

Needs ZOR_WIDGET_HOST (the host program) and prometheus and promtool on PATH.
"""

import json, math, os, re, socket, subprocess, sys, tempfile, threading, time
import urllib.error, urllib.parse, urllib.request

CORES = ("CPU Core 1", "CPU Core 2")


def fail(message, log=None):
    print("FAIL: " + message)
    if log and os.path.exists(log):
        print("--- " + log + "\n" + "".join(open(log, errors="replace").readlines()[-20:]))
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def http(url, body=None):
    """(status, body text); the status of an error answer too."""
    request = urllib.request.Request(url, data=body and body.encode())
    try:
        with urllib.request.urlopen(request, timeout=5) as response:
            return response.status, response.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode("utf-8", "replace")


def bridge(port, name, *args):
    status, text = http("http://127.0.0.1:%d/bridge" % port, json.dumps(
        {"id": 1, "instance": "e2e", "call": name, "args": list(args)}))
    answer = json.loads(text)
    if status != 200 or "error" in answer:
        fail("bridge call %s: %s %s" % (name, status, text))
    return answer["result"]


def celsius(text):
    match = re.fullmatch(r"\s*(-?\d+(?:[.,]\d+)?)°C", text)
    return float(match.group(1).replace(",", ".")) if match else fail("not °C: %r" % text)


def query(prometheus, expression):
    status, text = http(prometheus + "/api/v1/query?" + urllib.parse.urlencode({"query": expression}))
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
            return None if address.startswith("127.") else address
    except OSError:
        return None


def check(work, host, widget_port):
    banner, watchdog = "", threading.Timer(20, host.kill)  # a host that never starts ends
    watchdog.start()
    for line in host.stdout:
        banner += line
        if "Press Ctrl-C" in line:
            break
    watchdog.cancel()
    threading.Thread(target=host.stdout.read, daemon=True).start()  # its log never fills the pipe
    match = re.search(r"Metrics for scraping at http://0\.0\.0\.0:(\d+)/metrics", banner)
    if not match:
        fail("the host names no metrics listener:\n" + banner)
    metrics_port = int(match.group(1))
    targets = {"127.0.0.1:%d" % metrics_port, "127.0.0.1:%d" % widget_port}
    prometheus_port, log = free_port(), os.path.join(work, "prometheus.log")
    prometheus_url = "http://127.0.0.1:%d" % prometheus_port
    with open(os.path.join(work, "prometheus.yml"), "w") as f:
        f.write("global: {scrape_interval: 1s, scrape_timeout: 1s}\nscrape_configs:\n"
                "  - {job_name: zorsensors, static_configs: [{targets: %s}]}\n"
                % json.dumps(sorted(targets)))
    prometheus = subprocess.Popen(
        ["prometheus", "--config.file=prometheus.yml", "--storage.tsdb.path=data",
         "--web.listen-address=127.0.0.1:%d" % prometheus_port],
        stdout=open(log, "w"), stderr=subprocess.STDOUT, cwd=work)
    try:
        deadline = time.time() + 30
        while True:
            try:
                if targets <= {r["metric"]["instance"] for r in query(prometheus_url, "up")
                               if r["value"][1] == "1"}:
                    break
            except (urllib.error.URLError, ConnectionError, json.JSONDecodeError):
                pass
            if time.time() > deadline or prometheus.poll() is not None:
                fail("Prometheus did not scrape both listeners", log)
            time.sleep(0.2)
        print("prometheus: scraped the metrics listener and the widget's server")

        # What the widget shows for each core, second by second.
        bridge(widget_port, "setWidgetIdentifier", "e2e")
        names = [bridge(widget_port, "localizedDifferentiatingSensorNameAtIndex", i)
                 for i in range(bridge(widget_port, "numberOfAvailableSensors"))]
        for position, core in enumerate(CORES):
            if core not in names:
                fail("the widget offers no %s: %s" % (core, names))
            bridge(widget_port, "setPreferredSensorIndexForDisplayIndex", names.index(core), position)
        shown, window_end = {}, time.time() + 3  # whole second -> (core 1, core 2)
        while time.time() < window_end:
            before = time.time()
            values = tuple(celsius(bridge(widget_port, "localizedReadingAtDisplayIndex", p))
                           for p in range(len(CORES)))
            if math.floor(before) == math.floor(time.time()):
                if shown.setdefault(math.floor(before), values) != values:
                    fail("the widget's readings changed within one second: %s, %s"
                         % (shown[math.floor(before)], values))
            time.sleep(0.1)
        time.sleep(2.5)  # until every second of the window has been scraped

        series = query(prometheus_url, 'zorsensors_temperature_celsius{location=~"CPU Core .*"}[8s]')
        found = {(s["metric"]["instance"], s["metric"]["name"]) for s in series}
        if found != {(t, core) for t in targets for core in CORES}:
            fail("Prometheus has these CPU core series: %s" % found)
        total = 0
        for s in series:
            position, compared = CORES.index(s["metric"]["name"]), 0
            for timestamp, value in s["values"]:
                second = math.floor(timestamp)
                if second not in shown:
                    continue
                # A scrape at the very end of a second may be read in the next one.
                allowed = {shown[second][position]}
                if timestamp - second > 0.9 and second + 1 in shown:
                    allowed.add(shown[second + 1][position])
                if float(value) not in allowed:
                    fail("%s at %.3f: Prometheus has %s, the widget showed %s"
                         % (s["metric"], timestamp, value, sorted(allowed)))
                compared += 1
            if compared < 2:
                fail("only %d samples of %s to compare" % (compared, s["metric"]))
            total += compared
        print("prometheus: %d samples of the CPU cores equal the widget's readings" % total)
    finally:
        prometheus.terminate()
        prometheus.wait(timeout=10)

    # The live texts of both listeners pass the lint as well.
    for port in (metrics_port, widget_port):
        status, text = http("http://127.0.0.1:%d/metrics" % port)
        lint = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True,
                              text=True, timeout=30)
        if status != 200 or lint.returncode or (lint.stdout + lint.stderr).strip():
            fail("/metrics on port %d: %d %s%s" % (port, status, lint.stdout, lint.stderr))
    print("promtool: both listeners' live /metrics lint-clean")

    address = outside_address()
    if address is None:
        print("prometheus: no address besides loopback; outside checks skipped")
        return
    if http("http://%s:%d/metrics" % (address, metrics_port))[0] != 200:
        fail("the metrics listener does not answer on %s" % address)
    try:
        socket.create_connection((address, widget_port), timeout=2).close()
        fail("the widget's port %d answers on %s" % (widget_port, address))
    except OSError:
        pass
    print("prometheus: from %s the metrics are served, the widget's port is closed" % address)


def main():
    started = time.time()
    with tempfile.TemporaryDirectory(prefix="zor-prometheus-") as work:
        widget_port = free_port()
        host = subprocess.Popen(
            [os.environ["ZOR_WIDGET_HOST"], "--machine", "demo", "--port", str(widget_port),
             "--prefs", os.path.join(work, "prefs"), "--metrics-listen", "0.0.0.0:0"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        try:
            check(work, host, widget_port)
        finally:
            host.terminate()
            host.wait(timeout=10)
        if host.returncode != 0:
            fail("the host ended with %d" % host.returncode)
    print("prometheus: end-to-end test passed in %.1f s" % (time.time() - started))


if __name__ == "__main__":
    main()
