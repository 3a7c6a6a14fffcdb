"""Frames as a user finds them: a fixed window cannot be dragged to another size and
has no minimise or maximise box; a sizable one has both; a minimised window that its
command brings up again comes back at its size."""
import sys

import desktop
from desktop import extents, title_button, wait_for


def frames(d):
    d.to_main_window()
    for (key, _client, _outer, fixed, _base, _k), frame in desktop.each_window(d):
        before = extents(frame)
        x, y, w, h = before
        d.drag(x + w - 2, y + h - 2, x + w + 40, y + h + 40)
        if fixed:
            after = desktop.settle("the drag done", lambda: extents(frame), quiet=0.5)
            assert after == before, "%s was resized by dragging: %s -> %s" % (key, before, after)
        else:
            try:
                wait_for(key + " resized", lambda: extents(frame)[2] > w and extents(frame)[3] > h)
            except desktop.Timeout:
                raise AssertionError("%s could not be resized: %s" % (key, extents(frame)))
            after = desktop.settle("the drag done", lambda: extents(frame))
        # Where a sizable window has its maximise box; a fixed one has none to click.
        area = d.client_area()
        d.click(*title_button(frame, desktop.MAXIMISE_BOX))
        if fixed:
            assert extents(frame) == after, "%s has a maximise box" % key
            d.click(*title_button(frame, desktop.MINIMISE_BOX))
            assert extents(frame) == after, "%s has a minimise box" % key
        else:
            wait_for(key + " maximised", lambda: extents(frame)[2] >= area[2] - 2)
            # Maximised, the window's buttons sit at the right end of the menu bar.
            bar = d.one("menu bar")
            mx, my, mw, mh = extents(bar)
            d.click(mx + mw - 32, my + mh // 2)
            wait_for(key + " restored", lambda: extents(frame)[2] < area[2] - 2)

    # The category editor minimised, then its command: back at its size.
    editor = desktop.open_window(d, "frmFL")
    size = extents(editor)[2:]
    d.click(*title_button(editor, desktop.MINIMISE_BOX))
    wait_for("the editor minimised", lambda: extents(editor)[3] < size[1] / 2)
    desktop.press(d, "测试分类")
    wait_for("the editor shown normal", lambda: tuple(extents(editor)[2:]) == tuple(size))


if __name__ == "__main__":
    sys.exit(desktop.run(frames, sys.argv[1]))
