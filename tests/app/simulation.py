#!/usr/bin/env python3
"""Days of a realistic job list run by the real program under a sped-up clock,
checked against a reference computed here from the day rules alone.

  simulation.py seed  DIR START WARMUP MARKER      jobs into DIR/timer.dat (the tables exist)
  simulation.py check DIR START END SPEED WARMUP  every run against the reference

START and END are local times in Europe/Berlin ("2026-10-24 12:00:00"); the
first starts lie WARMUP seconds after START, so the program is up before them.
The reference knows the rules as the help gives them: fixed times are
wall-clock times (one in the hour that is skipped in spring runs at the jump,
one in the hour that repeats in autumn runs once, at its first pass); interval
jobs count elapsed time; a disallowed day moves a start by whole days on the
wall clock; catch-up jobs keep the grid of their first start, the others count
from each run. It uses Python's zoneinfo, not the program's zone code.

Failing jobs (programs that do not exist) are seen in the run log, which gives
the moment of each run; real runs of the marker job leave their own moments.
"""
import datetime as dt
import os
import sqlite3
import statistics
import sys
from zoneinfo import ZoneInfo

ZONE = ZoneInfo("Europe/Berlin")
UTC = dt.timezone.utc
DAYS = {"Mo": 0, "Di": 1, "Mi": 2, "Do": 3, "Fr": 4, "Sa": 5, "So": 6}
NAMED = {"Jeden Tag": set(range(7)), "Mo-Fr": set(range(5)), "Sa+So": {5, 6}}
MISSING = "C:\\qv-sim\\"

# The job list: (name, day rule, time or interval, interval, catch-up, active, marker).
# A marker job is the real marker program, the others are programs that do not
# exist, so each of their runs is a run-log row.
JOBS = [
    ("taeglich", "Jeden Tag", "07:30:00", False, False, True, False),
    ("werktags", "Mo-Fr", "08:15:00", False, False, True, False),
    ("wochenende", "Sa+So", "10:00:00", False, False, True, False),
    ("nachts", "Jeden Tag", "02:30:00", False, False, True, False),
    ("sonntags", "Sonntag", "02:45:00", False, True, True, False),
    ("momifr", "MoMiFr", "12:00:00", False, False, True, False),
    ("abends", "MoDiMiDoFr", "22:10:00", False, True, True, False),
    ("monatlich", "Monatlich", "09:00:00", False, False, True, False),
    ("raster7", "Jeden Tag", "00:07:00", True, True, True, False),
    ("werkraster", "Mo-Fr", "00:45:00", True, True, True, False),
    ("alle20", "Jeden Tag", "00:20:00", True, False, True, False),
    ("alle90", "Sa+So", "01:30:00", True, False, True, False),
    ("stuendlich", "Jeden Tag", "01:00:00", True, True, True, True),
    ("halbstuendlich", "Jeden Tag", "00:30:00", True, False, True, True),
    ("aus", "Jeden Tag", "00:01:00", True, True, False, False),
]


def parse_local(text):
    return dt.datetime.strptime(text[:19], "%Y-%m-%d %H:%M:%S")


def local(moment):
    return moment.astimezone(ZONE).replace(tzinfo=None)


def moment_of(wall):
    """The moment of a wall-clock time: its first pass when the hour repeats,
    the jump itself when the clock skips it."""
    first = wall.replace(tzinfo=ZONE, fold=0).astimezone(UTC)
    if local(first) == wall:
        return first
    lo, hi = first - dt.timedelta(hours=3), first + dt.timedelta(hours=3)
    while hi - lo > dt.timedelta(milliseconds=1):  # the first moment whose wall time is later
        mid = lo + (hi - lo) / 2
        lo, hi = (lo, mid) if local(mid) > wall else (mid, hi)
    return hi.replace(microsecond=0)


def weekdays(rule):
    # Each whole day name holds its own abbreviation.
    return set(NAMED.get(rule, set())) | {day for abbr, day in DAYS.items() if abbr in rule}


def span(text):
    h, m, s = (int(x) for x in text.split(":"))
    return dt.timedelta(hours=h, minutes=m, seconds=s)


def next_start(rule, time, interval, base):
    """The next start after the moment base, as a moment."""
    wall = local(base)
    if rule == "Monatlich":
        y, mo = (wall.year + 1, 1) if wall.month == 12 else (wall.year, wall.month + 1)
        last = ((dt.date(y, mo, 28) + dt.timedelta(days=4)).replace(day=1) - dt.timedelta(days=1)).day
        return moment_of(dt.datetime(y, mo, min(wall.day, last)) + span(time))
    days = weekdays(rule)
    if interval:
        cand = base + span(time)  # elapsed time
        for _ in range(8):
            if local(cand).weekday() in days:
                return cand
            cand = moment_of(local(cand) + dt.timedelta(days=1))  # whole days on the wall clock
        return base
    midnight = dt.datetime(wall.year, wall.month, wall.day)
    for offset in range(8):
        cand = midnight + dt.timedelta(days=offset) + span(time)
        if cand.weekday() in days and cand > wall:
            return moment_of(cand)
    return base


def first_start(job, start, warmup):
    """The start seeded: the rule's first after the warm-up; a monthly job's
    on the first whole day of the run."""
    name, rule, time, interval = job[:4]
    base = moment_of(parse_local(start)) + dt.timedelta(seconds=warmup)
    if rule == "Monatlich":
        return moment_of(dt.datetime.combine(local(base).date() + dt.timedelta(days=1), dt.time()) + span(time))
    return next_start(rule, time, interval, base)


def seed(directory, start, warmup, marker):
    db = sqlite3.connect(os.path.join(directory, "timer.dat"))
    for no, job in enumerate(JOBS, 1):
        name, rule, time, interval, catch_up, active, is_marker = job
        db.execute(
            "INSERT INTO timer(Wochentag, Uhrzeit, Pfad, Aktiv, Startzeit, Intervall, WindowState, Paramter, ID,"
            " nacholen) VALUES(?, ?, ?, ?, ?, ?, 'Standard', ?, ?, ?)",
            (rule, time + ".000", marker if is_marker else MISSING + name + ".exe", "Y" if active else "N",
             local(first_start(job, start, warmup)).strftime("%Y-%m-%d %H:%M:%S.000"), "Y" if interval else "N",
             name + ".txt stamp" if is_marker else "", no, "Y" if catch_up else "N"))
    db.execute("UPDATE qv_meta SET value=? WHERE key='next_autoinc'", (len(JOBS) + 1,))
    db.commit()
    db.close()


def observed(directory):
    """Every run seen, by job name: moments in UTC, in order."""
    runs = {job[0]: [] for job in JOBS}
    db = sqlite3.connect("file:" + os.path.join(directory, "log.dat") + "?mode=ro", uri=True)
    last = None
    for pfad, zeit in db.execute("SELECT Pfad, Zeit FROM log ORDER BY ID"):
        wall = dt.datetime.strptime(zeit, "%Y-%m-%d %H:%M:%S.%f")
        # Rows are written in order: in the repeated hour, a time that would go
        # back behind the row before is the second pass.
        moment = wall.replace(tzinfo=ZONE, fold=0).astimezone(UTC)
        if last and moment < last - dt.timedelta(seconds=1):
            moment = wall.replace(tzinfo=ZONE, fold=1).astimezone(UTC)
        last = moment
        name = pfad[len(MISSING):-4] if pfad.startswith(MISSING) else pfad
        runs.setdefault(name, []).append(moment)
    db.close()
    for name, *_, is_marker in JOBS:
        path = os.path.join(directory, name + ".txt")
        if is_marker and os.path.exists(path):
            with open(path) as f:
                runs[name] += [dt.datetime.fromtimestamp(int(line.split()[1]) / 1000, UTC) for line in f]
    return runs


def compare(job, first, stop, seen, speed):
    """Expected starts up to stop, and what differs: (expected, seen, problems, delays)."""
    name, rule, time, interval, catch_up, active, is_marker = job
    # A due job runs at the first tick after its start: within a tick (1.5 s)
    # and the work of the tick before, which at speed K takes K times its real
    # time: a failing start and its posts take well under 50 ms under Wine, a
    # started marker program a few hundred ms before it reads the clock.
    latency = dt.timedelta(seconds=speed * (1.0 if is_marker else 0.5))
    late = dt.timedelta(seconds=1.5) + latency
    # Counted from a run, a start may seem early by as much as the run was
    # seen after the tick read the clock.
    early = latency if interval and not catch_up else dt.timedelta(0)
    expected, problems, delays = [], [], []
    due, j = first, 0
    while active and due <= stop - late:
        expected.append(due)
        while j < len(seen) and seen[j] < due - early:
            problems.append("a run at %s that no rule gives" % local(seen[j]))
            j += 1
        if j < len(seen) and seen[j] <= due + late:
            delays.append((seen[j] - due).total_seconds())
            run = seen[j]
            j += 1
        else:
            problems.append("no run for the start at %s" % local(due))
            run = due
        due = next_start(rule, time, interval, due if catch_up else run)
    counted = [m for m in seen[j:] if m <= stop - late - early]
    problems += ["a run at %s that no rule gives" % local(m) for m in counted]
    return expected, j + len(counted), problems, delays


def check(directory, start, end, speed, warmup):
    stop = moment_of(parse_local(end))
    runs = observed(directory)
    totals = [0, 0, 0]
    delays = {False: [], True: []}
    for job in JOBS:
        expected, seen, problems, d = compare(job, first_start(job, start, warmup), stop, sorted(runs.pop(job[0])),
                                              speed)
        totals[0] += len(expected)
        totals[1] += seen
        totals[2] += len(problems)
        delays[job[6]] += d
        for p in problems[:5]:
            print("  %s: %s" % (job[0], p))
    for name, moments in runs.items():  # rows of no job of the list
        totals[1] += len(moments)
        totals[2] += len(moments)
        print("  %d runs of an unknown job %s" % (len(moments), name))
    days = (stop - moment_of(parse_local(start))).total_seconds() / 86400
    print("simulated %.2f days at %gx: %d runs expected, %d seen, %d differing" % (days, speed, *totals))
    for is_marker, d in delays.items():
        if d:
            d.sort()
            print("  delay after the start (%s): median %.1f s, 95%% %.1f s, max %.1f s" % (
                "started programs" if is_marker else "run-log rows", statistics.median(d),
                d[int(len(d) * 0.95)], d[-1]))
    return 0 if totals[2] == 0 and totals[0] > 0 else 1


if __name__ == "__main__":
    cmd = sys.argv[1] if len(sys.argv) > 1 else ""
    if cmd == "seed" and len(sys.argv) == 6:
        seed(sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5])
    elif cmd == "check" and len(sys.argv) == 7:
        sys.exit(check(sys.argv[2], sys.argv[3], sys.argv[4], float(sys.argv[5]), int(sys.argv[6])))
    else:
        print(__doc__)
        sys.exit(2)
