"""A screen reader and a keyboard alone can take a test: the program survives a
GetAll on every object the accessibility bus shows, the options are push buttons
that a press action answers, and the keys 1-6 answer the same way. The runner's
hidden buttons offer no action, and pressing them anyway changes nothing."""
import subprocess
import sys

from gi.repository import Atspi, Gio, GLib

import desktop
from desktop import wait_for


def a11y_bus(d):
    """A connection to the accessibility bus and the program's name on it."""
    out = subprocess.run(["gdbus", "call", "--session", "-d", "org.a11y.Bus", "-o",
                          "/org/a11y/bus", "-m", "org.a11y.Bus.GetAddress"], env=d.env,
                         capture_output=True, text=True, check=True).stdout
    address = out.strip()[2:-3]
    conn = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
        | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)

    def call(dest, path, iface, member, args=None):
        return conn.call_sync(dest, path, iface, member, args, None, 0, 5000, None).unpack()

    bus = "org.freedesktop.DBus"
    for name in call(bus, "/org/freedesktop/DBus", bus, "ListNames")[0]:
        if name.startswith(":"):
            pid = call(bus, "/org/freedesktop/DBus", bus, "GetConnectionUnixProcessID",
                       GLib.Variant("(s)", (name,)))[0]
            if pid == d.program.pid:
                return call, name
    raise AssertionError("the program is not on the accessibility bus")


def get_all_everywhere(d):
    """GetAll of every interface on every object of the program's tree."""
    call, name = a11y_bus(d)
    paths = {"/org/a11y/atspi/accessible/root"} | {a.path for a in d.find(showing=False)}
    for path in sorted(paths):
        for iface in ("org.a11y.atspi.Accessible", "org.a11y.atspi.Component",
                      "org.a11y.atspi.Action", "org.a11y.atspi.Text"):
            try:
                call(name, path, "org.freedesktop.DBus.Properties", "GetAll",
                     GLib.Variant("(s)", (iface,)))
            except GLib.Error as e:
                assert "NoReply" not in str(e), "GetAll %s on %s: %s" % (iface, path, e)
        assert d.alive(), "the program ended at GetAll on " + path
    root = call(name, "/org/a11y/atspi/accessible/root", "org.freedesktop.DBus.Properties",
                "GetAll", GLib.Variant("(s)", ("org.a11y.atspi.Accessible",)))[0]
    assert root.get("Name") == "qelvi", root
    return len(paths)


def hidden_buttons_do_nothing(d):
    """Every hidden push button of the runner, pressed as a reader presses: nothing moves."""
    call, name = a11y_bus(d)
    desktop.press(d, "进行测试")
    desktop.choose_sample_test(d, d.frame_of(desktop.TITLES["frmBFEdit"]))
    runner = d.frame_of(desktop.TITLES["frmTest"])
    wait_for("the first question", lambda: desktop.question_number(d, runner) == "1")
    shown = d.texts(runner)
    hidden = [a for a in d.find(role="push button", root=runner, showing=False)
              if not a.get_state_set().contains(Atspi.StateType.SHOWING)]
    assert len(hidden) >= 4, "the record-set buttons: %d" % len(hidden)
    for button in hidden:
        action = button.get_action_iface()
        assert action is None or action.get_n_actions() == 0, button.get_name()
        done = call(name, button.path, "org.a11y.atspi.Action", "DoAction",
                    GLib.Variant("(i)", (0,)))
        assert done == (False,), (button.get_name(), done)
    assert d.alive()
    assert desktop.question_number(d, runner) == "1"
    assert d.texts(runner) == shown, "the runner changed under hidden presses"
    d.key("Escape")
    wait_for("the runner closed", lambda: not d.frames(desktop.TITLES["frmTest"]))


def screen_reader(d):
    d.to_main_window()
    count = get_all_everywhere(d)
    assert count > 20, count

    def press_action(runner):
        option = desktop.option_labels(d, runner)[0]
        assert option.get_role_name() == "push button", option.get_role_name()
        action = option.get_action_iface()
        names = [action.get_action_name(i).lower() for i in range(action.get_n_actions())]
        assert "press" in names, names
        action.do_action(names.index("press"))

    def key_one(runner):
        d.key("1")

    by_reader = desktop.take_test(d, press_action)
    by_keys = desktop.take_test(d, key_one)
    # The result closed, the runner has the keys again: Esc leaves it.
    d.key("Escape")
    wait_for("the runner closed", lambda: not d.frames(desktop.TITLES["frmTest"]))
    assert by_reader == by_keys, (by_reader, by_keys)
    get_all_everywhere(d)
    hidden_buttons_do_nothing(d)


if __name__ == "__main__":
    sys.exit(desktop.run(screen_reader, sys.argv[1]))
