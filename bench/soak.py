#!/usr/bin/python3
"""Runs the real program against a local spot database for a long while and follows its
resident memory and its processor time.

The accelerated soak: a refresh every minute, every page 5000 rows, 60 minutes. The memory
is flat when the highest resident size of the last sixth of the run (minutes 50-60) is no
higher than that of the second sixth (minutes 10-20). The same script measures the idle
load: --interval 2 --minutes 10 prints the share of one core the process used after its
first refresh.

    bench/soak.py build/beamtide                      # the hour
    bench/soak.py build/beamtide --minutes 12         # a shortened soak, same sixths
    bench/soak.py build/beamtide --interval 2 --minutes 10 --rows 1000   # idle load

Only loopback is used: the page, the activity test and the address echo come from a server
in this script; the second spot source is a closed port.
"""

import argparse
import http.server
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time

CALLS = ["VK2XYZ", "ZL1ABC", "K1JT", "VK4TQ", "G4ABC", "JA1XX"]
LOCATORS = ["QF56", "RF80", "FN20", "IO91", "JO62", "PM95", "QG62", "FN42"]


def report_page(rows, minute):
    """A spot report page as the database sends it, the newest spot at the given minute
    (seconds since the epoch), so every page differs from the one before."""
    head = ["<!DOCTYPE html>", "<html>", "<head><title>Spot report</title>"]
    head += ['<meta name="filler%d" content="page head">' % i for i in range(96)]
    head += ["</head><body>", '<table style="font-family: monospace; font-size: 12px">',
             "<tr><td>Query form</td></tr>", "<tr>",
             ' <th><a href="olddb?sort=date">Timestamp</a></th>',
             ' <th><a href="olddb?sort=call">Call</a></th>', " <th>MHz</th>", "</tr>"]
    lines = []
    for i in range(rows):
        at = time.gmtime(minute - (i // 4) * 120)
        km = 100 + (i * 37 + minute // 60) % 9000
        cells = [time.strftime("%Y-%m-%d %H:%M", at), CALLS[i % 6] if i % 7 else "G%dABC" % i,
                 "50.294500", str(-30 + i % 40), "0", LOCATORS[i % 8], "37", "5.012",
                 CALLS[(i // 6 + 1) % 6] + str(i % 10), LOCATORS[(i + 3) % 8], str(km),
                 str(km * 621 // 1000)]
        lines.append('<tr id="%s">' % ("evenrow" if i % 2 == 0 else "oddrow")
                     + "".join("<td align=left>&nbsp;%s&nbsp;</td>" % c for c in cells) + "</tr>")
    tail = ["</table>", "</body>", "</html>"]
    return ("\r\n".join(head + lines + tail) + "\r\n").encode()


class Database(http.server.BaseHTTPRequestHandler):
    rows = 5000
    pages = 0

    def do_GET(self):
        if self.path.startswith("/olddb"):
            Database.pages += 1
            body = report_page(Database.rows, int(time.time()) // 60 * 60)
        elif self.path.startswith("/drupal/wsprnet/activity"):
            body = ("\r\n".join("line %d" % i for i in range(250)) + "\r\n").encode()
        else:
            body = b"203.0.113.7"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", nargs="?", help="the beamtide executable")
    parser.add_argument("--serve", action="store_true", help="only serve the pages and print "
                        "the address, until interrupted: for a program of bench/ run by hand")
    parser.add_argument("--minutes", type=float, default=60)
    parser.add_argument("--interval", type=int, default=1, help="update interval, minutes")
    parser.add_argument("--rows", type=int, default=5000, help="spots on every page")
    parser.add_argument("--sample", type=float, default=5, help="seconds between samples")
    parser.add_argument("--wrap", default="", help="a command to run the program under, such "
                        "as a heap profiler: --wrap 'heaptrack -o /tmp/soak'")
    args = parser.parse_args()

    Database.rows = args.rows
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Database)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d" % server.server_address[1]
    if args.serve or not args.program:
        print(url, flush=True)
        try:
            while True:
                time.sleep(3600)
        except KeyboardInterrupt:
            server.shutdown()
        return 0

    folder = tempfile.mkdtemp(prefix="beamtide-soak-")
    settings = os.path.join(folder, "settings.ini")
    with open(settings, "w") as ini:
        ini.write("[Drovix]\n")
        # Every instance number this copy may be given beside others on the machine.
        for n in range(1, 10):
            for key, value in [("WSPRBand", "6"), ("WSPRLinesSet", "0"), ("WSPRRunCount", "7"),
                               ("WSPRUpdInterval", str(args.interval)), ("WSPRHistorical", "1"),
                               ("BeamtideSource", "WSPRnet")]:
                ini.write("%s%d=%s\n" % (key, n, value))
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", BEAMTIDE_SPOTDB_URL=url,
               BEAMTIDE_ECHO_URL=url, BEAMTIDE_WSPRLIVE_URL="http://127.0.0.1:9",
               BEAMTIDE_SETTINGS=settings, BEAMTIDE_LOCAL_ADDRESS="192.0.2.10")
    program = subprocess.Popen(args.wrap.split() + [os.path.abspath(args.program)], cwd=folder, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start = time.monotonic()
    samples = []  # (minutes since start, resident kB)
    cpu_from = None  # (time, cpu seconds) once the first page was served
    try:
        while time.monotonic() - start < args.minutes * 60:
            time.sleep(args.sample)
            if program.poll() is not None:
                print("the program ended early with status %d" % program.returncode)
                return 1
            minutes = (time.monotonic() - start) / 60
            samples.append((minutes, resident_kb(program.pid)))
            if cpu_from is None and Database.pages > 0:
                time.sleep(5)  # the first pass and paint
                cpu_from = (time.monotonic(), cpu_seconds(program.pid))
        cpu_share = None
        if cpu_from:
            cpu_share = (cpu_seconds(program.pid) - cpu_from[1]) / (time.monotonic() - cpu_from[0])
    finally:
        program.send_signal(signal.SIGTERM)
        try:
            program.wait(30)
        except subprocess.TimeoutExpired:
            program.kill()
        server.shutdown()

    print("%d pages of %d rows served, refresh every %d minute(s), %.1f minutes"
          % (Database.pages, args.rows, args.interval, args.minutes))
    for minute in range(int(args.minutes) + 1):
        inside = [kb for m, kb in samples if minute <= m < minute + 1]
        if inside:
            print("  minute %3d: resident %6.1f MB at most" % (minute, max(inside) / 1024))
    sixth = args.minutes / 6
    second = [kb for m, kb in samples if sixth <= m < 2 * sixth]
    last = [kb for m, kb in samples if m >= 5 * sixth]
    if second and last:
        verdict = "flat" if max(last) <= max(second) else "GROWING"
        print("highest resident, minutes %.0f-%.0f: %.1f MB; last %.0f minutes: %.1f MB (%+d kB, %s)"
              % (sixth, 2 * sixth, max(second) / 1024, sixth, max(last) / 1024,
                 max(last) - max(second), verdict))
    if cpu_share is not None:
        print("processor time after the first refresh: %.3f%% of one core" % (cpu_share * 100))
    return 0


if __name__ == "__main__":
    sys.exit(main())
