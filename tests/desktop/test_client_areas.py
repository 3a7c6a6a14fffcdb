"""Every child window's client area is the one its controls were laid out in, no
control is cut off by the frame, and the outer size is close to the one its opener
sets."""
import sys

import desktop
from desktop import client_of, extents, px

# Controls placed partly outside the client area on purpose: only their top shows
# (the editors' record bars), or they move across it (the runner's scrolling title).
PARTLY_OUTSIDE = {"frmEdittest": {"frame"}, "frmScore": {"frame"}}
MOVING = {"frmTest": {"label"}}


def inside(box, area):
    """Whether box lies in area, give or take the pixel that rounding twips costs."""
    x, y, w, h = box
    ax, ay, aw, ah = area
    return x >= ax - 1 and y >= ay - 1 and x + w <= ax + aw + 1 and y + h <= ay + ah + 1


def client_areas(d):
    d.to_main_window()
    faults = []
    for (key, client, outer, _fixed, _base, _k), frame in desktop.each_window(d):
        area = extents(client_of(frame))
        if abs(area[2] - px(client[0])) > 1 or abs(area[3] - px(client[1])) > 1:
            faults.append("%s: client area %dx%d, designed %gx%g" % (
                key, area[2], area[3], px(client[0]), px(client[1])))
        size = extents(frame)[2:]
        if abs(size[0] - px(outer[0])) > 6 or abs(size[1] - px(outer[1])) > 6:
            faults.append("%s: outer size %dx%d, opener sets %gx%g" % (
                key, size[0], size[1], px(outer[0]), px(outer[1])))
        widget = client_of(frame)
        for i in range(widget.get_child_count()):
            control = widget.get_child_at_index(i)
            box = extents(control)
            if desktop.gone(control) or box[2] <= 0:
                continue
            role = control.get_role_name()
            if role in MOVING.get(key, ()) and control.get_name() == desktop.SAMPLE_TEST:
                continue
            if role in PARTLY_OUTSIDE.get(key, ()):
                if not inside((box[0], box[1], box[2], 1), area):
                    faults.append("%s: %s does not show its top" % (key, control.get_name()))
                continue
            if not inside(box, area):
                faults.append("%s: %s %r %s cut off by the frame %s" % (
                    key, control.get_role_name(), control.get_name(), box, area))
    assert not faults, "\n".join(faults)


if __name__ == "__main__":
    sys.exit(desktop.run(client_areas, sys.argv[1]))
