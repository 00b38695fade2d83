#!/usr/bin/env python3
# A real Prometheus server scrapes a running widget host on the demo machine, for what only a
# real server and a real network show (the text itself is linted and unit-tested elsewhere):
# Prometheus scrapes /metrics on the widget's loopback port and on a metrics listener on every
# address (--metrics-listen 0.0.0.0:0) once a second, and the demo machine's CPU core
# temperatures found through its query API equal what the widget shows for the same sensors in
# the same second (the CPU driver refreshes at most once a second). From an address of this
# machine other than loopback the metrics listener answers and the widget's port (its bridge)
# does not. Needs ZOR_WIDGET_HOST (the host program) and prometheus on PATH.

import json, math, os, socket, subprocess, sys, tempfile, time, urllib.parse, urllib.request

CORES = ("CPU Core 1", "CPU Core 2")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get_json(url, body=None):
    with urllib.request.urlopen(urllib.request.Request(url, data=body), timeout=5) as answer:
        return json.loads(answer.read())


def bridge(port, name, *args):
    request = json.dumps({"id": 1, "instance": "e2e", "call": name, "args": list(args)})
    answer = get_json("http://127.0.0.1:%d/bridge" % port, request.encode())
    return answer["result"] if "result" in answer else fail("%s: %s" % (name, answer))


def query(prometheus, expression):
    try:
        url = prometheus + "/api/v1/query?" + urllib.parse.urlencode({"query": expression})
        return get_json(url)["data"]["result"]
    except OSError:  # not answering yet
        return []


def check(work, widget_port, metrics_port):
    targets = {"127.0.0.1:%d" % metrics_port, "127.0.0.1:%d" % widget_port}
    prometheus_url = "http://127.0.0.1:%d" % free_port()
    with open(os.path.join(work, "prometheus.yml"), "w") as f:
        f.write("global: {scrape_interval: 1s, scrape_timeout: 1s}\nscrape_configs:\n"
                "  - {job_name: zorsensors, static_configs: [{targets: %s}]}\n"
                % json.dumps(sorted(targets)))
    prometheus = subprocess.Popen(
        ["prometheus", "--config.file=prometheus.yml", "--storage.tsdb.path=data",
         "--web.listen-address=" + prometheus_url[7:]],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)
    try:
        deadline = time.time() + 30
        while not targets <= {r["metric"]["instance"] for r in query(prometheus_url, "up == 1")}:
            if time.time() > deadline or prometheus.poll() is not None:
                fail("Prometheus did not scrape both listeners of the host")
            time.sleep(0.2)

        # What the widget shows for each core, by the whole second it was read in.
        bridge(widget_port, "setWidgetIdentifier", "e2e")
        names = [bridge(widget_port, "localizedDifferentiatingSensorNameAtIndex", i)
                 for i in range(bridge(widget_port, "numberOfAvailableSensors"))]
        for display, core in enumerate(CORES):
            bridge(widget_port, "setPreferredSensorIndexForDisplayIndex", names.index(core),
                   display)
        shown, window_end = {}, time.time() + 3
        while time.time() < window_end:
            before = time.time()
            values = [bridge(widget_port, "localizedReadingAtDisplayIndex", d) for d in (0, 1)]
            if math.floor(before) == math.floor(time.time()):
                shown[math.floor(before)] = [float(v.rstrip("°C").replace(",", "."))
                                             for v in values]
            time.sleep(0.1)
        time.sleep(2.5)  # until every second of the window has been scraped

        expression = 'zorsensors_temperature_celsius{location=~"CPU Core .*"}[8s]'
        series = query(prometheus_url, expression)
        found = {(s["metric"]["instance"], s["metric"]["name"]) for s in series}
        if found != {(t, c) for t in targets for c in CORES}:
            fail("Prometheus has these CPU core series: %s" % found)
        for s in series:
            display = CORES.index(s["metric"]["name"])
            # Each sample, what the widget showed in its second and, as a scrape at the very end
            # of a second may be read in the next one, in the next.
            samples = [(float(v), shown[math.floor(t)][display],
                        shown.get(math.floor(t + 0.1), shown[math.floor(t)])[display])
                       for t, v in s["values"] if math.floor(t) in shown]
            if len(samples) < 2 or any(value not in allowed for value, *allowed in samples):
                fail("%s differs from the widget: %s" % (s["metric"], samples))
        print("prometheus: both listeners scraped, the CPU cores equal the widget's readings")
    finally:
        prometheus.terminate()
        prometheus.wait(timeout=10)

    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        try:
            s.connect(("192.0.2.1", 9))  # no packet is sent for a datagram socket
        except OSError:  # no route at all
            s.bind(("127.0.0.1", 0))
        address = s.getsockname()[0]
    if address.startswith("127."):
        print("prometheus: no address besides loopback; outside checks skipped")
        return
    urllib.request.urlopen("http://%s:%d/metrics" % (address, metrics_port), timeout=5).close()
    try:
        socket.create_connection((address, widget_port), timeout=2).close()
        fail("the widget's port %d answers on %s" % (widget_port, address))
    except OSError:
        print("prometheus: from %s the metrics are served, the widget's port is closed" % address)


with tempfile.TemporaryDirectory(prefix="zor-prometheus-") as work:
    widget_port, metrics_port = free_port(), free_port()
    host = subprocess.Popen(
        [os.environ["ZOR_WIDGET_HOST"], "--machine", "demo", "--port", str(widget_port),
         "--prefs", os.path.join(work, "prefs"), "--metrics-listen", "0.0.0.0:%d" % metrics_port],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        check(work, widget_port, metrics_port)
    finally:
        host.terminate()
        host.wait(timeout=10)
    if host.returncode != 0:
        fail("the host ended with %d" % host.returncode)
