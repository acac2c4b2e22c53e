#!/usr/bin/env python3
"""Writes the demo drive log: a simulated car trip as a GPS receiver (GP talker, 1 Hz) sends it.

The output is deterministic (fixed seed, no input), so a rerun regenerates the file byte for byte:
    python3 tools/make-demo-drive.py [--output PATH] [--rate HZ]
It prints the trip's figures, which data/demo/README.md quotes.

With --rate 5, 10 or 25 it writes the same drive as a fast receiver sends it: RMC, GGA, VTG and GLL
at every fix, times with hundredths (hhmmss.ss), GSA and GSV once a second. Between two seconds the
speed changes evenly and the car moves along the same step as at 1 Hz, so every trip figure comes
out as at 1 Hz.

The track agrees with its speeds: from one second to the next the car moves the mean of the two logged
speeds (as rounded in the log) along the mean of the two courses, on a sphere of radius EARTH_RADIUS.
"""

import argparse
import math
import random
import sys
from datetime import datetime, timedelta, timezone
from pathlib import Path

SEED = 20260614
START_TIME = datetime(2026, 6, 14, 8, 0, 0, tzinfo=timezone.utc)
START_LAT = 59.9300  # St Petersburg
START_LON = 30.3100
START_COURSE = 162.0
EARTH_RADIUS = 6371000.0  # m
KNOT = 1852.0 / 3600.0  # m/s
GEOID_SEPARATION = 16.8  # m, about right for St Petersburg
MAX_LATERAL_ACCELERATION = 4.0  # m/s², a firm but ordinary turn

DEFAULT_OUTPUT = Path(__file__).resolve().parent.parent / "data" / "demo" / "demo-drive.nmea"


class Drive:
    """Speed (m/s) and course change (degrees since the previous second) for each second of the trip."""

    def __init__(self, rng):
        self.rng = rng
        self.speeds = [0.0]
        self.turns = [0.0]
        self.fix_lost = [False]
        self.launch_times = []  # 0-100 km/h of the acceleration model, one per launch

    def _add(self, speeds, turn=0.0, lost=False):
        # A turn eases in and out over the stretch (sin² weights), as a steering wheel does.
        weights = [math.sin(math.pi * (k + 0.5) / len(speeds)) ** 2 for k in range(len(speeds))]
        for speed, weight in zip(speeds, weights):
            self.speeds.append(speed)
            self.turns.append(turn * weight / sum(weights))
            self.fix_lost.append(lost)

    def rest(self, seconds):
        self._add([0.0] * seconds)

    def cruise(self, seconds, turn=0.0, wobble_kmh=0.0, lost=False):
        """Holds the speed, give or take a gentle wobble that starts from it."""
        base = self.speeds[-1]
        period = self.rng.uniform(15.0, 30.0)
        speeds = [base + wobble_kmh / 3.6 * math.sin(2 * math.pi * (k + 1) / period) for k in range(seconds)]
        self._add(speeds, turn, lost)

    def ramp(self, target_kmh, acceleration, turn=0.0):
        """Changes speed at a constant rate (m/s²) until the target is reached exactly."""
        speed, target, speeds = self.speeds[-1], target_kmh / 3.6, []
        while speed != target:
            speed = min(speed + acceleration, target) if target > speed else max(speed - acceleration, target)
            speeds.append(speed)
        self._add(speeds, turn)

    def launch(self, seconds_to_100, top_kmh, limit_kmh=250.0):
        """A hard standing start: acceleration falls off with speed, a = a0 (1 - v / limit)."""
        if self.speeds[-1] != 0:
            raise ValueError("a launch starts from rest")
        limit, top = limit_kmh / 3.6, top_kmh / 3.6
        a0 = -limit / seconds_to_100 * math.log(1 - (100 / 3.6) / limit)
        speeds = []
        while not speeds or speeds[-1] < top:
            speeds.append(min(top, limit * (1 - math.exp(-a0 * (len(speeds) + 1) / limit))))
        self.launch_times.append(seconds_to_100)
        self._add(speeds)


def plan_trip(drive):
    d = drive
    d.rest(30)  # engine running, waiting
    d.launch(7.6, 120)  # standing start 1
    d.cruise(60, turn=18, wobble_kmh=2)
    d.ramp(90, 1.5)
    d.cruise(30, turn=-35)
    d.ramp(0, 5.5)
    d.rest(15)  # stop 1
    d.launch(6.4, 175)  # standing start 2, onto the highway
    d.cruise(95, turn=12, wobble_kmh=4)
    d.ramp(188, 0.9)
    d.cruise(20, turn=-6, wobble_kmh=1)
    d.ramp(95, 2.5)
    d.cruise(15)
    d.ramp(50, 2.0)
    d.cruise(12, turn=80)  # the exit's curve
    d.cruise(30, turn=-10)
    d.ramp(0, 3.0)
    d.rest(22)  # stop 2: traffic lights
    d.ramp(50, 1.7)  # a calm start in town, stopping again before 100 km/h
    d.cruise(30, wobble_kmh=1)
    d.ramp(25, 2.0)
    d.cruise(8, turn=90)  # right turn
    d.ramp(60, 1.8)
    d.cruise(60, turn=-25, wobble_kmh=2)
    d.ramp(0, 3.5)
    d.rest(18)  # stop 3
    d.launch(8.6, 135)  # standing start 3
    d.cruise(75, turn=-40, wobble_kmh=3)
    d.ramp(20, 3.0)  # slows down for a bump but does not stop
    d.ramp(110, 3.2)  # rolling start: not a 0-100
    d.cruise(25, turn=15)
    d.ramp(70, 2.0)
    d.cruise(8)
    d.cruise(16, lost=True)  # a straight tunnel: no fix
    d.cruise(12)
    d.ramp(0, 4.0)
    d.rest(12)  # stop 4
    d.launch(7.1, 108)  # standing start 4
    d.cruise(15)
    d.ramp(100, 1.0)
    d.cruise(50, turn=55, wobble_kmh=2)
    d.ramp(60, 2.5)
    d.cruise(50, turn=-30, wobble_kmh=1.5)
    d.ramp(30, 2.0)
    d.cruise(9, turn=-90)  # left turn
    d.ramp(80, 1.5)
    d.cruise(45, turn=20, wobble_kmh=2)
    d.ramp(40, 2.0)
    d.cruise(40, turn=-15, wobble_kmh=1)
    d.ramp(0, 2.5)
    d.rest(30)  # parked


# name, elevation and azimuth at the start (degrees), and their rates (degrees per minute)
SATELLITES = [
    (2, 68.0, 295.0, -0.25, 0.6),
    (5, 45.0, 105.0, 0.30, -0.35),
    (7, 21.0, 48.0, -0.35, 0.2),
    (9, 12.0, 320.0, 0.35, 0.3),
    (13, 33.0, 190.0, -0.40, -0.2),
    (15, 56.0, 160.0, 0.15, 0.5),
    (18, 3.5, 250.0, -0.40, 0.1),  # sets after about 9 minutes
    (20, 27.0, 85.0, 0.28, -0.3),
    (24, 8.0, 20.0, -0.20, 0.15),
    (26, -2.0, 140.0, 0.45, -0.1),  # rises after about 4 minutes
    (29, 77.0, 15.0, -0.10, 1.2),
    (30, 16.0, 215.0, 0.20, -0.25),
]


def sky(rng, seconds, fix_lost):
    """Per second: [(prn, elevation, azimuth, snr or None, used)] for the satellites in view."""
    noise = {prn: 0.0 for prn, *_ in SATELLITES}
    result = []
    for second in range(seconds):
        minutes = second / 60.0
        in_view = []
        for prn, el0, az0, el_rate, az_rate in SATELLITES:
            # Slow fading, so that the SNR moves by a dB or so from second to second.
            noise[prn] = 0.85 * noise[prn] + rng.uniform(-1.2, 1.2)
            elevation = el0 + el_rate * minutes
            if elevation <= 0:
                continue
            azimuth = (az0 + az_rate * minutes) % 360.0
            snr = round(16 + 30 * math.sqrt(math.sin(math.radians(elevation))) + noise[prn])
            snr = min(50, max(0, snr))
            tracked = elevation >= 3 and snr >= 20
            used = tracked and elevation >= 7 and snr >= 26
            in_view.append((prn, elevation, azimuth, snr if tracked else None, used))
        if fix_lost[second]:
            # In the tunnel: only the highest few are still listed, two of them barely heard.
            highest = sorted(in_view, key=lambda s: -s[1])[:4]
            weak = [rng.randint(10, 18), rng.randint(10, 16)]
            in_view = [(prn, el, az, weak[k] if k < 2 else None, False)
                       for k, (prn, el, az, _, _) in enumerate(sorted(highest))]
        result.append(in_view)
    return result


def dilution(satellites):
    """PDOP, HDOP and VDOP of the used satellites' geometry: (GᵀG)⁻¹ of their direction cosines."""
    rows = []
    for _, elevation, azimuth, _, used in satellites:
        if used:
            el, az = math.radians(elevation), math.radians(azimuth)
            rows.append([math.cos(el) * math.sin(az), math.cos(el) * math.cos(az), math.sin(el), 1.0])
    m = [[sum(r[i] * r[j] for r in rows) for j in range(4)] + [1.0 if i == j else 0.0 for j in range(4)]
         for i in range(4)]
    for col in range(4):  # Gauss-Jordan with partial pivoting
        pivot = max(range(col, 4), key=lambda r: abs(m[r][col]))
        m[col], m[pivot] = m[pivot], m[col]
        factor = m[col][col]
        m[col] = [x / factor for x in m[col]]
        for r in range(4):
            if r != col:
                f = m[r][col]
                m[r] = [x - f * y for x, y in zip(m[r], m[col])]
    q = [m[i][4 + i] for i in range(4)]
    return math.sqrt(q[0] + q[1] + q[2]), math.sqrt(q[0] + q[1]), math.sqrt(q[2])


def destination(lat, lon, bearing, distance):
    """The point `distance` metres from (lat, lon) along the great circle leaving at `bearing`."""
    phi, lam, theta = math.radians(lat), math.radians(lon), math.radians(bearing)
    delta = distance / EARTH_RADIUS
    phi2 = math.asin(math.sin(phi) * math.cos(delta) + math.cos(phi) * math.sin(delta) * math.cos(theta))
    lam2 = lam + math.atan2(math.sin(theta) * math.sin(delta) * math.cos(phi),
                            math.cos(delta) - math.sin(phi) * math.sin(phi2))
    return math.degrees(phi2), math.degrees(lam2)


def haversine(lat1, lon1, lat2, lon2):
    phi1, phi2 = math.radians(lat1), math.radians(lat2)
    a = (math.sin((phi2 - phi1) / 2) ** 2
         + math.cos(phi1) * math.cos(phi2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2)
    return 2 * EARTH_RADIUS * math.asin(math.sqrt(a))


def altitude(distance):
    """Gentle hills along the road: 5.5 m to 119.5 m, no grade steeper than about 5 %."""
    return (62.5 - 45.0 * math.cos(2 * math.pi * distance / 11000.0)
            + 12.0 * math.sin(2 * math.pi * distance / 3700.0))


def angle_field(value, degree_digits):
    """ddmm.mmmm / dddmm.mmmm, rounded in whole units of the last digit so that 60 minutes never shows."""
    units = round(abs(value) * 60 * 10000)
    degrees, minutes = divmod(units, 60 * 10000)
    return f"{degrees:0{degree_digits}d}{minutes // 10000:02d}.{minutes % 10000:04d}"


def hundredths(units):
    return f"{units // 100}.{units % 100:02d}"


def sentence(fields):
    body = ",".join(fields)
    checksum = 0
    for byte in body.encode("ascii"):
        checksum ^= byte
    return f"${body}*{checksum:02X}\r\n"


def simulate():
    rng = random.Random(SEED)
    drive = Drive(rng)
    plan_trip(drive)
    count = len(drive.speeds)

    # The log's speeds (hundredths of a knot) are the truth that the track is integrated from.
    knots100 = [round(v / KNOT * 100) for v in drive.speeds]
    speeds = [k / 100 * KNOT for k in knots100]
    courses = [START_COURSE]
    for turn in drive.turns[1:]:
        courses.append(courses[-1] + turn)
    lats, lons, travelled = [START_LAT], [START_LON], [0.0]
    for i in range(1, count):
        step = (speeds[i - 1] + speeds[i]) / 2
        lat, lon = destination(lats[-1], lons[-1], (courses[i - 1] + courses[i]) / 2, step)
        lats.append(lat)
        lons.append(lon)
        travelled.append(travelled[-1] + step)

    for i in range(1, count):
        if speeds[i] == 0 and drive.turns[i] != 0:
            raise SystemExit(f"second {i}: the course changes while standing")
        lateral = (speeds[i - 1] + speeds[i]) / 2 * math.radians(abs(drive.turns[i]))
        if lateral > MAX_LATERAL_ACCELERATION:
            raise SystemExit(f"second {i}: a turn of {lateral:.1f} m/s² sideways")
    return drive, knots100, speeds, courses, lats, lons, travelled, sky(rng, count, drive.fix_lost)


def write_fast_log(path, rate, drive, speeds, courses, lats, lons, travelled, satellites):
    """The drive at `rate` fixes a second: each second's step cut into `rate` parts."""
    if rate not in (2, 4, 5, 10, 20, 25, 50):
        raise SystemExit(f"--rate {rate}: hundredths of a second must divide the steps")
    lines = []
    count = len(speeds)
    for i in range(count):
        for part in range(rate if i + 1 < count else 1):
            f = part / rate
            when = START_TIME + timedelta(seconds=i, milliseconds=round(f * 1000))
            hhmmss = when.strftime("%H%M%S") + f".{round(f * 100):02d}"
            ddmmyy = when.strftime("%d%m%y")
            # Lost at the whole seconds of the tunnel and everywhere in between.
            lost = drive.fix_lost[i] or (part > 0 and drive.fix_lost[i + 1])
            if part == 0:
                lat, lon, speed, course, along = lats[i], lons[i], speeds[i], courses[i], travelled[i]
            else:
                v0, v1 = speeds[i], speeds[i + 1]
                step = v0 * f + (v1 - v0) * f * f / 2  # even change of speed within the second
                lat, lon = destination(lats[i], lons[i], (courses[i] + courses[i + 1]) / 2, step)
                speed, course, along = v0 + (v1 - v0) * f, courses[i] + (courses[i + 1] - courses[i]) * f, travelled[i] + step
            if lost:
                lines.append(sentence(["GPRMC", hhmmss, "V", "", "", "", "", "", "", ddmmyy, "", "", "N"]))
                lines.append(sentence(["GPGGA", hhmmss, "", "", "", "", "0", "00", "99.9", "", "", "", "", "", ""]))
                lines.append(sentence(["GPVTG", "", "T", "", "M", "", "N", "", "K", "N"]))
                lines.append(sentence(["GPGLL", "", "", "", "", hhmmss, "V", "N"]))
            else:
                la = angle_field(lat, 2), "N" if lat >= 0 else "S"
                lo = angle_field(lon, 3), "E" if lon >= 0 else "W"
                knots = round(speed / KNOT * 100)
                course_text = hundredths(round(course % 360 * 100) % 36000)
                used = sum(1 for s in satellites[i] if s[4])
                lines.append(sentence(["GPRMC", hhmmss, "A", *la, *lo, hundredths(knots), course_text, ddmmyy, "", "", "A"]))
                lines.append(sentence(["GPGGA", hhmmss, *la, *lo, "1", f"{used:02d}", "0.9",
                                       f"{altitude(along):.1f}", "M", f"{GEOID_SEPARATION:.1f}", "M", "", ""]))
                lines.append(sentence(["GPVTG", course_text, "T", "", "M", hundredths(knots), "N",
                                       hundredths(round(knots * 1.852)), "K", "A"]))
                lines.append(sentence(["GPGLL", *la, *lo, hhmmss, "A", "A"]))
            if part == 0:
                in_view = satellites[i]
                total = (len(in_view) + 3) // 4
                for index in range(total):
                    fields = ["GPGSV", str(total), str(index + 1), f"{len(in_view):02d}"]
                    for prn, elevation, azimuth, snr, _ in in_view[4 * index:4 * index + 4]:
                        fields += [f"{prn:02d}", f"{round(elevation):02d}", f"{round(azimuth) % 360:03d}",
                                   "" if snr is None else f"{snr:02d}"]
                    lines.append(sentence(fields))
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes("".join(lines).encode("ascii"))


def write_log(path, drive, knots100, courses, lats, lons, travelled, satellites):
    lines = []
    for i in range(len(knots100)):
        when = START_TIME + timedelta(seconds=i)
        hhmmss, ddmmyy = when.strftime("%H%M%S"), when.strftime("%d%m%y")
        in_view = satellites[i]
        if len(in_view) < (4 if drive.fix_lost[i] else 8) or len(in_view) > 12:
            raise SystemExit(f"second {i}: {len(in_view)} satellites in view")
        if drive.fix_lost[i]:
            lines.append(sentence(["GPRMC", hhmmss, "V", "", "", "", "", "", "", ddmmyy, "", "", "N"]))
            lines.append(sentence(["GPGGA", hhmmss + ".00", "", "", "", "", "0", "00", "99.9",
                                   "", "", "", "", "", ""]))
            lines.append(sentence(["GPGSA", "A", "1"] + [""] * 12 + ["99.9", "99.9", "99.9"]))
        else:
            lat = angle_field(lats[i], 2), "N" if lats[i] >= 0 else "S"
            lon = angle_field(lons[i], 3), "E" if lons[i] >= 0 else "W"
            course = hundredths(round(courses[i] % 360 * 100) % 36000)
            speed = hundredths(knots100[i])
            used = sorted(prn for prn, _, _, _, is_used in in_view if is_used)
            if len(used) < 4:
                raise SystemExit(f"second {i}: a fix from {len(used)} satellites")
            pdop, hdop, vdop = dilution(in_view)
            lines.append(sentence(["GPRMC", hhmmss, "A", *lat, *lon, speed, course, ddmmyy, "", "", "A"]))
            lines.append(sentence(["GPGGA", hhmmss + ".00", *lat, *lon, "1", f"{len(used):02d}",
                                   f"{hdop:.1f}", f"{altitude(travelled[i]):.1f}", "M",
                                   f"{GEOID_SEPARATION:.1f}", "M", "", ""]))
            prns = [f"{prn:02d}" for prn in used] + [""] * (12 - len(used))
            lines.append(sentence(["GPGSA", "A", "3", *prns, f"{pdop:.1f}", f"{hdop:.1f}", f"{vdop:.1f}"]))
        total = (len(in_view) + 3) // 4
        for index in range(total):
            fields = ["GPGSV", str(total), str(index + 1), f"{len(in_view):02d}"]
            for prn, elevation, azimuth, snr, _ in in_view[4 * index:4 * index + 4]:
                fields += [f"{prn:02d}", f"{round(elevation):02d}", f"{round(azimuth) % 360:03d}",
                           "" if snr is None else f"{snr:02d}"]
            lines.append(sentence(fields))
        if drive.fix_lost[i]:
            lines.append(sentence(["GPVTG", "", "T", "", "M", "", "N", "", "K", "N"]))
            lines.append(sentence(["GPGLL", "", "", "", "", hhmmss + ".00", "V", "N"]))
        else:
            kmh = hundredths(round(knots100[i] * 1.852))
            lines.append(sentence(["GPVTG", course, "T", "", "M", speed, "N", kmh, "K", "A"]))
            lines.append(sentence(["GPGLL", *lat, *lon, hhmmss + ".00", "A", "A"]))
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes("".join(lines).encode("ascii"))


def clock(second):
    return (START_TIME + timedelta(seconds=second)).strftime("%H:%M:%S")


def report(drive, knots100, speeds, lats, lons, travelled):
    """The figures that a trip computer should find in the log."""
    kmh = [k / 100 * 1.852 for k in knots100]
    count = len(kmh)
    print(f"{count} seconds, {clock(0)} to {clock(count - 1)} UTC on {START_TIME:%Y-%m-%d}"
          f" ({(count - 1) / 60:.2f} min)")
    print(f"distance: {travelled[-1]:.1f} m (sum of the speeds: mean of each second's two speeds)")
    fixes = [i for i in range(count) if not drive.fix_lost[i]]
    logged = [(round(lats[i] * 600000) / 600000, round(lons[i] * 600000) / 600000) for i in range(count)]
    hops = sum(haversine(*logged[a], *logged[b]) for a, b in zip(fixes, fixes[1:]))
    print(f"distance from fix to fix as logged (haversine, R = {EARTH_RADIUS:.0f} m): {hops:.1f} m")
    top = max(range(count), key=lambda i: knots100[i])
    print(f"maximum speed: {hundredths(knots100[top])} kn = {kmh[top]:.2f} km/h at {clock(top)}")
    print(f"above 150 km/h: {sum(1 for v in kmh if v > 150)} s")
    heights = [altitude(s) for s in travelled]
    print(f"altitude: {min(heights):.1f} m to {max(heights):.1f} m")

    lost = [i for i in range(count) if drive.fix_lost[i]]
    before, after = lost[0] - 1, lost[-1] + 1
    print(f"no fix: {clock(lost[0])} to {clock(lost[-1])} ({len(lost)} s) at {kmh[lost[0]]:.1f} km/h,"
          f" straight; {travelled[after] - travelled[before]:.1f} m from the last fix before"
          " to the first after")

    stops, i = [], 0
    while i < count:
        if knots100[i] == 0:
            j = i
            while j + 1 < count and knots100[j + 1] == 0:
                j += 1
            stops.append((i, j))
            i = j + 1
        else:
            i += 1
    print("at rest: " + ", ".join(f"{clock(a)}-{clock(b)} ({b - a} s)" for a, b in stops))

    launches = iter(drive.launch_times)
    for _, last_rest in stops[:-1]:
        start = last_rest + 1
        j = start
        while j < count and kmh[j] < 100 and knots100[j] > 0:
            j += 1
        if j == count or knots100[j] == 0:
            top_speed = max(kmh[start:j])
            print(f"start at {clock(last_rest)}: stays below 100 km/h (up to {top_speed:.1f} km/h)")
            continue
        between = (j - 1 - last_rest) + (100 - kmh[j - 1]) / (kmh[j] - kmh[j - 1])
        print(f"standing start at {clock(last_rest)}: first >= 100 km/h at {clock(j)}"
              f" ({j - last_rest} s after the last second at rest),"
              f" 0-100 {between:.2f} s interpolated, model {next(launches, '?')} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", type=Path, default=DEFAULT_OUTPUT, help=f"default: {DEFAULT_OUTPUT}")
    parser.add_argument("--rate", type=int, default=1, help="fixes a second (default 1: the committed log)")
    arguments = parser.parse_args()
    drive, knots100, speeds, courses, lats, lons, travelled, satellites = simulate()
    if arguments.rate != 1:
        write_fast_log(arguments.output, arguments.rate, drive, speeds, courses, lats, lons, travelled, satellites)
        print(f"wrote {arguments.output} at {arguments.rate} Hz")
        return 0
    write_log(arguments.output, drive, knots100, courses, lats, lons, travelled, satellites)
    print(f"wrote {arguments.output}")
    report(drive, knots100, speeds, lats, lons, travelled)
    return 0


if __name__ == "__main__":
    sys.exit(main())
