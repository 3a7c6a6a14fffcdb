"""Where the windows appear: each command's window where its opener's formula puts it
in the main window the user sees, the splash centred in the maximised main window, and
on a small main window every title bar within reach."""
import sys

import desktop
from desktop import extents, px, wait_for


def expected_corner(d, frame, base, k):
    """Left and top by the formula, in the client area's pixels."""
    area = d.client_area()
    if base == "outer":
        main_w, main_h = d.outer_size(d.main_window)
    else:
        main_w, main_h = area[2], area[3]
    w, h = extents(frame)[2:]
    return max(0, main_w / 2 - w / 2), max(0, main_h / 2 - h / k)


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def placement(d):
    d.to_main_window()
    area = d.client_area()
    splash = d.frame_of("Form1")
    x, y, w, h = extents(splash)
    assert abs(x - area[0] - (area[2] - w) / 2) <= 1 and abs(y - area[1] - (area[3] - h) / 2) <= 1, \
        "the splash %s is not centred in the client area %s" % (extents(splash), area)
    wait_for("the splash gone", lambda: not d.frames("Form1"))

    faults = []
    for (key, _client, _outer, _fixed, base, k), frame in desktop.each_window(d):
        if base == "beside":
            # Opened beside the window it checks, covering none of it where there is room.
            other = extents(d.frame_of(desktop.TITLES[k]))
            if overlap(extents(frame), other):
                faults.append("%s at %s covers %s at %s" % (key, extents(frame), k, other))
            continue
        left, top = expected_corner(d, frame, base, k)
        x, y = extents(frame)[:2]
        if abs(x - area[0] - left) > 2 or abs(y - area[1] - top) > 2:
            faults.append("%s at %d, %d; its opener puts it at %d, %d" % (
                key, x - area[0], y - area[1], left, top))
    assert not faults, "\n".join(faults)

    # A restored main window smaller than the chooser: its title bar stays in reach.
    d.click(*desktop.title_button_of_top(d))
    small = wait_for("the main window restored", lambda: d.client_area()[3] < 500 and d.client_area())
    desktop.press(d, "编辑测试")
    # (The accessibility bus calls a child window larger than the client area hidden.)
    chooser = wait_for("the chooser", lambda: [f for f in d.find(
        "frame", desktop.TITLES["frmBFEdit"], showing=False) if extents(f)[2] > 0][0])
    x, y = extents(chooser)[:2]
    assert x >= small[0] and y >= small[1], \
        "the chooser's title bar at %d, %d is outside the client area %s" % (x, y, small)


if __name__ == "__main__":
    sys.exit(desktop.run(placement, sys.argv[1]))
