"""The score-band editor answers at once while a long band check runs: on a test of 1,000
questions scored in millionths (far too many totals to count one by one), the indicator
says "检查中…" and every move to another band shows within 100 ms (the median of the
moves, each timed from the release of the mouse button to the new band label on the
accessibility bus); the moves leave the check running, as they change nothing it
depends on."""
import os
import random
import shutil
import sqlite3
import statistics
import sys
import tempfile
import time

import desktop
from desktop import extents, wait_for

QUESTIONS = 1000
RESPONSE = 0.100  # seconds


def long_check_bank():
    """The shipped bank with the sample test's questions replaced by many, each option
    scored in millionths."""
    folder = tempfile.mkdtemp(prefix="qelvi-bands-")
    path = os.path.join(folder, "test.mdb")
    shutil.copy(os.path.join(desktop.SOURCE, "assets", "shipped", "test.mdb"), path)
    db = sqlite3.connect(path)
    table = '"%s"' % desktop.SAMPLE_TEST
    db.execute("DELETE FROM " + table)
    rng = random.Random(30)
    rows = []
    for i in range(QUESTIONS):
        row = ["第%d题：遇到这种情况，你通常会怎么做？" % (i + 1)]
        for option in range(6):
            row += ["选项%d" % (option + 1), round(rng.uniform(0, 10), 6)]
        rows.append(row)
    db.executemany("INSERT INTO %s VALUES (%s)" % (table, ",".join("?" * 13)), rows)
    db.commit()
    db.close()
    with open(path, "rb") as f:
        data = f.read()
    shutil.rmtree(folder)
    return data


def band_label(d, editor):
    """The band label's accessible (one, found once: walking the tree takes longer than
    the moves to be timed)."""
    return [a for a in d.find("label", root=editor)
            if a.get_name().startswith("第") and a.get_name().endswith("档")][0]


def indicator(d, editor, name):
    return d.find(name=name, root=editor)


def timed_move(d, label, place, expected):
    """Clicks the button at place and returns the seconds until the band label reads
    expected."""
    x, y, w, h = place
    # (Without --sync: it waits for a motion, and there is none when the pointer is there.)
    d.x(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)])
    time.sleep(0.6)  # apart from the click before, so that it is no double click
    # The button acts on the release; xdotool's own click waits 100 ms between the two.
    d.x(["xdotool", "mousedown", "1"])
    start = time.monotonic()
    d.x(["xdotool", "mouseup", "1"])
    wait_for("the band label " + expected, lambda: label.get_name() == expected,
             timeout=30, interval=0.002)
    return time.monotonic() - start


def responsive(d):
    d.start_program(files={"test.mdb": long_check_bank()})
    d.to_main_window()
    wait_for("the splash gone", lambda: not d.frames("Form1"), timeout=10)
    editor = desktop.open_window(d, "frmScore")
    wait_for("the check running", lambda: indicator(d, editor, "检查中…"), timeout=20)
    started = time.monotonic()
    label = band_label(d, editor)
    assert label.get_name() == "第 1 档"

    moves = [("下一档", "第 2 档"), ("下一档", "第 3 档"), ("下一档", "第 4 档"),
             ("上一档", "第 3 档"), ("上一档", "第 2 档"), ("上一档", "第 1 档")]
    # Found once: each walk of the tree asks the program many times over the bus.
    places = {b: extents(d.one("push button", b, editor)) for b in ("上一档", "下一档")}
    times = [timed_move(d, label, places[button], text) for button, text in moves]
    shown = ", ".join("%.0f ms" % (t * 1000) for t in times)
    check_time = time.monotonic() - started
    assert indicator(d, editor, "检查中…"), \
        "the check ended or was started again during the moves (%s, %.1f s after it began)" \
        % (shown, check_time)
    assert statistics.median(times) <= RESPONSE, \
        "moving from band to band took %s while the check ran" % shown
    print("moves while the check ran:", shown)


if __name__ == "__main__":
    sys.exit(desktop.run(responsive, sys.argv[1]))
