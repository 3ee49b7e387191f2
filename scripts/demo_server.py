#!/usr/bin/python3
"""A local stand-in for the spot database and the public-address echo service.

It answers the activity test with a long enough page, every spot query with a report page of
made-up spots timed just before now, the echo request with a documentation address, and a
wspr.live query ("/?query=SELECT ...") with made-up rows, so Beamtide can be tried without the
Internet. With --spotdb-down the spot database answers 503, so Beamtide falls back to the
wspr.live stand-in. Usage: demo_server.py [port] [--spotdb-down] (0 picks a free port; the chosen
port is printed on the first line).
"""
import random
import re
import sys
import time
from datetime import datetime, timedelta, timezone
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlparse

BANDS = {
    "2190": 0.1375, "160": 1.8366, "80": 3.5686, "60": 5.2872, "40": 7.0386, "30": 10.1387,
    "20": 14.0956, "17": 18.1046, "15": 21.0946, "12": 24.9246, "10": 28.1246, "8": 40.6626,
    "6": 50.2930, "4": 70.0910, "2": 144.4890, "220": 222.0, "432": 432.3000,
}
CALLS = ["VK2XYZ", "VK3ABC", "VK4TQ", "ZL1ABC", "ZL2BB", "K1JT", "W7GJ", "G4ABC", "JA1XX",
         "VK5PJ", "VK6ZZ", "VK7AB", "DL1AA", "F5XYZ", "VE3ABC"]
GRIDS = ["QF56", "QF22", "QG62", "RF73", "FN42", "IO91", "PM95", "OF78", "JO62", "QE37"]


def report_page(band, limit, findcall):
    rnd = random.Random(int(time.time() // 120))
    now = datetime.now(timezone.utc).replace(second=0, microsecond=0)
    bands = list(BANDS) if band in ("", "all", "All") else [band]
    rows = []
    count = min(limit, 400)
    for i in range(count):
        b = rnd.choice(bands) if band in ("", "all", "All") else band
        mhz = BANDS.get(b, 14.0956) + rnd.randint(0, 200) / 1e6
        call = findcall.upper() if findcall and i % 2 == 0 else rnd.choice(CALLS)
        when = now - timedelta(minutes=2 * (i // 5))
        km = rnd.randint(50, 16000)
        cells = [when.strftime("%Y-%m-%d %H:%M"), call, "%.6f" % mhz, str(rnd.randint(-30, 10)),
                 "0", rnd.choice(GRIDS), "+%d" % rnd.choice([23, 30, 37]), "%.3f" % rnd.choice([0.2, 1.0, 5.012]),
                 rnd.choice(CALLS), rnd.choice(GRIDS), str(km), str(km * 621 // 1000), "WSPR-2", ""]
        rows.append('<tr id="%s">' % ("evenrow" if i % 2 == 0 else "oddrow")
                    + "".join("<td align=left>&nbsp;%s&nbsp;</td>" % c for c in cells) + "</tr>")
    head = ["<!DOCTYPE html>", "<html>", "<head><title>Spot report</title>"]
    head += ['<meta name="filler%d" content="demo">' % i for i in range(96)]
    head += ["</head><body>", '<table style="font-family: monospace; font-size: 12px">',
             "<tr><td>Demo spots</td></tr>", "<tr>", ' <th><a href="olddb?sort=date">Timestamp</a></th>',
             ' <th><a href="olddb?sort=call">Call</a></th>', "</tr>"]
    return "\r\n".join(head + rows + ["</table>", "</body>", "</html>"]) + "\r\n"


BAND_CODES = {"-1": "2190", "0": "630", "1": "160", "3": "80", "5": "60", "7": "40", "10": "30",
              "14": "20", "18": "17", "21": "15", "24": "12", "28": "10", "40": "8", "50": "6",
              "70": "4", "144": "2", "222": "220", "432": "432"}


def wsprlive_rows(sql):
    """Tab-separated rows in the column order of Beamtide's query, newest first."""
    band = re.search(r"\bband = (-?\d+)", sql)
    limit = re.search(r"\bLIMIT (\d+)", sql)
    call = re.search(r"tx_sign = '([A-Z0-9/]+)'", sql)
    rnd = random.Random(int(time.time() // 120) + 1)
    now = int(time.time()) // 60 * 60
    bands = [BAND_CODES.get(band.group(1), "20")] if band else list(BANDS)
    rows = []
    for i in range(min(int(limit.group(1)) if limit else 1000, 400)):
        b = rnd.choice(bands)
        hz = int(BANDS.get(b, 14.0956) * 1e6) + rnd.randint(0, 200)
        tx = call.group(1) if call and i % 2 == 0 else rnd.choice(CALLS)
        rx = call.group(1) if call and i % 2 == 1 else rnd.choice(CALLS)
        rows.append("\t".join(str(v) for v in (
            now - 120 * (i // 5) - 60, tx, hz, rnd.randint(-30, 10), 0, rnd.choice(GRIDS),
            rnd.choice([23, 30, 37]), rx, rnd.choice(GRIDS), rnd.randint(50, 16000))))
    return "".join(r + "\n" for r in rows)


class Handler(BaseHTTPRequestHandler):
    spotdb_down = False

    def do_GET(self):
        url = urlparse(self.path)
        q = {k: v[0] for k, v in parse_qs(url.query).items()}
        if self.spotdb_down and url.path in ("/drupal/wsprnet/activity", "/olddb.php", "/olddb"):
            self.send_error(503, "Service Unavailable")
            return
        if url.path == "/" and "query" in q:
            body = wsprlive_rows(q["query"])
        elif url.path == "/drupal/wsprnet/activity":
            body = "\r\n".join("<p>activity %d</p>" % i for i in range(260))
        elif url.path in ("/olddb.php", "/olddb"):
            body = report_page(q.get("band", "all"), int(q.get("limit", "1000") or 1000), q.get("findcall", ""))
        elif url.path == "/":
            body = "203.0.113.7"
        else:
            self.send_error(404, "Not Found")
            return
        data = body.encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


def main():
    args = [a for a in sys.argv[1:] if a != "--spotdb-down"]
    Handler.spotdb_down = "--spotdb-down" in sys.argv[1:]
    port = int(args[0]) if args else 0
    server = ThreadingHTTPServer(("127.0.0.1", port), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
