"""Frames as a user finds them: a fixed window cannot be dragged to another size and
has no minimise or maximise box; a sizable one has both; a minimised window that its
command brings up again comes back at its size. A message box can be closed, but not
minimised (which would hide the program behind it) or maximised."""
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

    # A notice: 改名 with no category chosen. Its frame offers no maximise; minimised
    # (the window manager may give it a button for that), it comes straight back with
    # the program behind it.
    before = {wid for wid, _title in d.windows()}
    desktop.press(d, "改名", editor)
    box = wait_for("the message box", lambda: [wid for wid, title in d.windows()
                                                if title == "Qelvi" and wid not in before])[0]

    def allowed():
        out = d.x(["xprop", "-id", str(box), "_NET_WM_ALLOWED_ACTIONS"])
        return out.split(" = ", 1)[1] if "ACTION_CLOSE" in out else None

    actions = wait_for("the box's actions", allowed)
    assert "MAXIMIZE" not in actions, "the message box can be maximised: " + actions

    def viewable(wid):
        return "IsViewable" in d.x(["xwininfo", "-id", str(wid)])

    d.x(["xdotool", "windowminimize", str(box)])
    wait_for("the box shown again", lambda: viewable(box))
    wait_for("the program shown again", lambda: all(viewable(w) for w in before))
    d.key("Return")
    wait_for("the box closed", lambda: box not in {wid for wid, _t in d.windows()})


if __name__ == "__main__":
    sys.exit(desktop.run(frames, sys.argv[1]))
