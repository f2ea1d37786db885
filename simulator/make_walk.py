#!/usr/bin/env python3
"""Writes the walk records of resources/demo/site.csv, the board simulator's
built-in walk, from that file's geocode and landmark records.

The walk starts at the first landmark and goes from landmark to landmark in
the file's order, then back to the start, at about 1.4 m/s with one position
a second, standing PAUSE positions at each landmark. Every position is
rounded to whole milliarcseconds, as the board sends them, so the simulator
replays exactly these values. Everything in the file before the first walk
record stays as it is.

Run from the repository root:  python3 simulator/make_walk.py
"""
import math
import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SITE = os.path.join(ROOT, "resources", "demo", "site.csv")

MAS_PER_DEGREE = 3600000
SPEED_M_PER_S = 1.4
EARTH_RADIUS_M = 6371008.8


def read_site():
    """The file's lines before the first walk record, its geocode
    (lat0, lat_per_row, lon0, lon_per_column) and its landmarks
    (name, x, y, pause)."""
    kept, geocode, landmarks = [], None, []
    with open(SITE, newline="") as f:
        for line in f.read().splitlines():
            fields = line.split(",")
            if fields[0] == "walk":
                break
            kept.append(line)
            if fields[0] == "geocode":
                geocode = tuple(float(v) for v in fields[1:5])
            elif fields[0] == "landmark":
                landmarks.append((fields[1], float(fields[2]), float(fields[3]), int(fields[4])))
    return kept, geocode, landmarks


def metres_per_pixel(geocode, lat):
    """Ground length of one pixel step along x and along y near `lat`."""
    k = math.pi / 180.0 * EARTH_RADIUS_M
    return abs(geocode[3]) * k * math.cos(math.radians(lat)), abs(geocode[1]) * k


def at(geocode, x, y):
    """Plan pixel -> (lat, lon) in degrees."""
    return geocode[0] + y * geocode[1], geocode[2] + x * geocode[3]


def to_mas(degrees):
    return int(round(degrees * MAS_PER_DEGREE))


def walk(geocode, landmarks):
    stops = [(x, y, pause) for _, x, y, pause in landmarks]
    stops.append(stops[0])
    lat0, _ = at(geocode, stops[0][0], stops[0][1])
    mx, my = metres_per_pixel(geocode, lat0)
    points = []
    for (x0, y0, pause), (x1, y1, _) in zip(stops, stops[1:]):
        points.extend([(x0, y0)] * pause)
        length_m = math.hypot((x1 - x0) * mx, (y1 - y0) * my)
        steps = max(1, round(length_m / SPEED_M_PER_S))
        for i in range(1, steps):
            t = i / steps
            points.append((x0 + (x1 - x0) * t, y0 + (y1 - y0) * t))
    return points


def main():
    lines, geocode, landmarks = read_site()
    for x, y in walk(geocode, landmarks):
        lat, lon = at(geocode, x, y)
        lines.append("walk,%.9f,%.9f" % (to_mas(lat) / MAS_PER_DEGREE, to_mas(lon) / MAS_PER_DEGREE))
    with open(SITE, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
