"""Driver for the desktop tests: the built program on a real X display.

One Desktop is one run: Xvfb, a private session bus with its own accessibility bus,
openbox, and the program started from a fresh program folder. Input goes through
XTEST (xdotool without --window), as a user's mouse and keys do; what the user sees
is read back from the window manager (window titles and frames), from the
accessibility bus (widgets, their texts and places, as a screen reader reads them)
and from the files the program writes. Every wait is on a condition.
"""

import copy
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

SCREEN = (1280, 800)
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))


class Timeout(AssertionError):
    pass


class WindowGone(LookupError):
    """A top-level window that closed while it was being read."""


def wait_for(what, condition, timeout=30.0, interval=0.05):
    """Returns the first true value of condition(), or fails naming `what`."""
    end = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except Exception:  # a widget gone while it was read: read again
            value = None
        if value:
            return value
        if time.monotonic() > end:
            raise Timeout("gave up waiting for " + what)
        time.sleep(interval)


class Desktop:
    """A display with a window manager and an accessibility bus; the program on it."""

    def __init__(self, build_dir, name="desktop", screen=SCREEN):
        self.build_dir = os.path.abspath(build_dir)
        self.name = name
        self.root = tempfile.mkdtemp(prefix="qelvi-desktop-")
        self.folder = os.path.join(self.root, "program")
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.processes = []
        self.program = None
        self.log_name = "qelvi"
        # The main window's title: "Qelvi", or the caption naming a server bank.
        self.main_title = "Qelvi"
        self.env = dict(os.environ)
        for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS",
                    "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "SESSION_MANAGER"):
            self.env.pop(key, None)
        self.env.update({
            "XDG_RUNTIME_DIR": self.runtime,
            "HOME": self.root,
            "LANG": "C.UTF-8",
            "NO_AT_BRIDGE": "0",
        })
        self.main_window = None
        # A run that cannot be set up keeps its evidence and leaves nothing running.
        try:
            self._start_display(screen)
            self._start_buses()
            self._start_window_manager()
        except BaseException:
            self.keep_evidence()
            self.close()
            raise
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                                    "XDG_RUNTIME_DIR")})
        Atspi.init()

    # -- the session ---------------------------------------------------------------

    def _start(self, name, argv, **kw):
        log = open(os.path.join(self.root, name + ".log"), "ab")  # a restart adds to it
        p = subprocess.Popen(argv, env=self.env, stdout=log, stderr=subprocess.STDOUT,
                             start_new_session=True, **kw)
        self.processes.append(p)
        return p

    def _start_display(self, screen):
        read_fd, write_fd = os.pipe()
        # -noreset: a server that resets when its last client leaves refuses whoever
        # connects meanwhile (openbox, right after the set-up's own xprop calls).
        self._start("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                             "%dx%dx24" % screen, "-nolisten", "tcp", "-noreset",
                             "+extension", "XTEST"],
                    pass_fds=(write_fd,))
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def _start_buses(self):
        p = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1",
                            "--print-pid=1"], env=self.env, capture_output=True, text=True,
                           check=True)
        address, pid = p.stdout.split("\n")[:2]
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address.strip()
        self._bus_pid = int(pid)
        # The accessibility bus of this run only, found by the program through the
        # session bus (org.a11y.Bus) and the display's AT_SPI_BUS property.
        self._start("a11y", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for("the accessibility bus", lambda: b"AT_SPI_BUS" in subprocess.run(
            ["xprop", "-root", "AT_SPI_BUS"], env=self.env, capture_output=True).stdout
            and b"not found" not in subprocess.run(
                ["xprop", "-root", "AT_SPI_BUS"], env=self.env, capture_output=True).stdout)

    def _start_window_manager(self):
        # On a loaded machine openbox now and then fails to open a display that is just
        # up; it is started again, a moment later, before the run counts as failed.
        wait_for("the display", lambda: self._display_up())
        for attempt in range(1, 4):
            wm = self._start("openbox", ["openbox", "--sm-disable"])
            wait_for("the window manager",
                     lambda: self._wm_running() or wm.poll() is not None, timeout=60)
            if wm.poll() is None:
                return
            time.sleep(attempt)
        raise Timeout("the window manager exited three times at start")

    def _display_up(self):
        return subprocess.run(["xprop", "-root", "-len", "1"], env=self.env,
                              capture_output=True).returncode == 0

    def _wm_running(self):
        out = self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"])
        return "window id" in out

    def close(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
        for p in reversed(self.processes):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            p.wait()
        try:
            os.kill(self._bus_pid, signal.SIGKILL)
        except (ProcessLookupError, AttributeError):
            pass
        self._sweep()
        shutil.rmtree(self.root, ignore_errors=True)

    def _sweep(self):
        """Ends whatever this run's buses started on their own (the accessibility
        registry, a second dbus-daemon): every process whose environment names the
        run's runtime folder."""
        mark = ("XDG_RUNTIME_DIR=" + self.runtime).encode()
        for _ in range(50):
            left = []
            for pid in os.listdir("/proc"):
                if not pid.isdigit() or int(pid) == os.getpid():
                    continue
                try:
                    with open("/proc/%s/environ" % pid, "rb") as f:
                        if mark in f.read().split(b"\0"):
                            left.append(int(pid))
                except OSError:
                    continue
            if not left:
                return
            for pid in left:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(0.1)

    def __enter__(self):
        return self

    def __exit__(self, kind, value, trace):
        if kind is not None:
            self.keep_evidence()
        self.close()

    def keep_evidence(self):
        """A screenshot and the logs of a failed run, in the build's desktop folder."""
        out = os.path.join(self.build_dir, "desktop-failures", self.name)
        os.makedirs(out, exist_ok=True)
        try:
            self.screenshot(os.path.join(out, "screen.png"))
        except Exception as e:  # the display itself may be the fault
            print("no screenshot:", e, file=sys.stderr)
        for f in os.listdir(self.root):
            if f.endswith(".log"):
                shutil.copy(os.path.join(self.root, f), out)
        print("evidence kept in", out, file=sys.stderr)

    # -- the program ---------------------------------------------------------------

    def start_program(self, extra_env=None, files=None):
        """Starts qelvi from a fresh program folder holding the shipped files (and
        `files`, name -> bytes or None to leave one out)."""
        if os.path.exists(self.folder):
            shutil.rmtree(self.folder)
        os.makedirs(self.folder)
        shipped = os.path.join(SOURCE, "assets", "shipped")
        for f in os.listdir(shipped):
            shutil.copy(os.path.join(shipped, f), self.folder)
        for name, content in (files or {}).items():
            path = os.path.join(self.folder, name)
            if content is None:
                os.remove(path)
            else:
                with open(path, "wb") as out:
                    out.write(content)
        shutil.copy(os.path.join(self.build_dir, "qelvi"), self.folder)
        env = dict(self.env)
        env.update({"QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                    "SDL_AUDIODRIVER": "dummy", "QT_ACCESSIBILITY": "1"})
        env.update(extra_env or {})
        log = open(os.path.join(self.root, self.log_name + ".log"), "wb")
        self.program = subprocess.Popen([os.path.join(self.folder, "qelvi")], env=env,
                                        cwd=self.folder, stdout=log, stderr=subprocess.STDOUT,
                                        start_new_session=True)
        self.processes.append(self.program)
        return self.program

    def alive(self):
        return self.program is not None and self.program.poll() is None

    def file(self, name):
        path = os.path.join(self.folder, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def to_main_window(self):
        """Starts the program and waits for the main window, maximised, past the cover."""
        if not self.alive():
            self.start_program()
        g = wait_for("the cover", lambda: self.geometry(self.windows()[0][0]))
        self.click(g[0] + g[2] // 2, g[1] + g[3] // 2)
        main = wait_for("the main window", lambda: self.window_named(self.main_title))
        wait_for("the main window maximised", lambda: self.geometry(main)[2] >= SCREEN[0] - 10)
        wait_for("the main window on the bus", lambda: self.app())
        # Message boxes carry the main window's title too: the main window is known by
        # its id from here on.
        self.main_window = main
        return main

    def another_copy(self, name):
        """A second program on this display, from a folder of its own: the same
        display, buses and window manager, its own windows. The first copy's close()
        ends it too."""
        other = copy.copy(self)  # shares the list of processes, so close() ends all
        other.folder = os.path.join(self.root, name)
        other.log_name = "qelvi-" + name
        other.program = None
        other.main_window = None
        return other

    def activate(self):
        """Brings the main window to the front, as a click on it in a task bar does,
        and waits until the window manager has given it the focus."""
        self.x(["xdotool", "windowactivate", "--sync", str(self.main_window)])
        wait_for("the main window active", lambda: self.x(
            ["xdotool", "getactivewindow"]).strip() == str(self.main_window))

    # -- the window manager's view -------------------------------------------------

    def x(self, argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True).stdout

    def windows(self):
        """The program's top-level windows the window manager maps: [(id, title)]."""
        out = self.x(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                      str(self.program.pid)])
        return [(int(wid), self.title(wid)) for wid in out.split()]

    def title(self, wid):
        """The title the window manager shows (the UTF-8 name)."""
        out = self.x(["xprop", "-id", str(wid), "_NET_WM_NAME"])
        return out.split(" = ", 1)[1].strip().strip('"') if " = " in out else ""

    def window_named(self, title):
        for wid, name in self.windows():
            if name == title:
                return wid
        return None

    def geometry(self, wid):
        """Outer (frame included) x, y, width, height of a top-level window."""
        out = self.x(["xwininfo", "-id", str(wid), "-frame"])
        v = {}
        for line in out.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"):
                if line.startswith(key):
                    v[key] = int(line.split(":")[1])
        if len(v) < 4:  # the window closed between listing and reading
            raise WindowGone(wid)
        return (v["Absolute upper-left X:"], v["Absolute upper-left Y:"], v["Width:"],
                v["Height:"])

    def outer_size(self, wid):
        """Width and height of a top-level window with the window manager's frame."""
        x, y, w, h = self.geometry(wid)
        out = self.x(["xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"])
        if " = " not in out:
            return w, h
        left, right, top, bottom = (int(v) for v in out.split(" = ")[1].split(","))
        return w + left + right, h + top + bottom

    # -- input, through XTEST ------------------------------------------------------

    def click(self, x, y, button=1, repeat=1):
        # Two clicks in a row are two clicks, not one double click.
        pause = getattr(self, "_last_click", 0) + 0.5 - time.monotonic()
        if pause > 0:
            time.sleep(pause)
        # A hand arrives at its target through nearby points; widgets that track the
        # hover (title-bar buttons) see it come.
        self.x(["xdotool", "mousemove", "--sync", str(int(x) - 3), str(int(y) - 2)])
        self.x(["xdotool", "mousemove", "--sync", str(int(x)), str(int(y))])
        args = ["xdotool", "click"]
        if repeat > 1:
            args += ["--repeat", str(repeat), "--delay", "80"]
        self.x(args + [str(button)])
        self._last_click = time.monotonic()

    def double_click(self, x, y):
        self.click(x, y, repeat=2)

    def drag(self, x0, y0, x1, y1):
        self.x(["xdotool", "mousemove", "--sync", str(x0), str(y0), "mousedown", "1",
                "mousemove", "--sync", str((x0 + x1) // 2), str((y0 + y1) // 2),
                "mousemove", "--sync", str(x1), str(y1), "mouseup", "1"])

    def key(self, *keys):
        self.x(["xdotool", "key", "--delay", "30"] + list(keys))

    def type(self, text):
        self.x(["xdotool", "type", "--delay", "30", text])

    def click_on(self, acc):
        x, y, w, h = extents(acc)
        self.click(x + w // 2, y + h // 2)

    def screenshot(self, path):
        from PIL import ImageGrab
        ImageGrab.grab(xdisplay=self.env["DISPLAY"]).save(path)

    # -- the accessibility bus's view ----------------------------------------------

    def app(self):
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            a = desktop.get_child_at_index(i)
            if a is not None and a.get_process_id() == self.program.pid:
                return a
        return None

    def find(self, role=None, name=None, root=None, showing=True):
        """Every accessible below root (the program) with that role name and name."""
        found = []
        stack = [root or self.app()]
        while stack:
            a = stack.pop()
            if a is None:
                continue
            try:
                if showing and a.get_state_set().contains(Atspi.StateType.SHOWING) is False \
                        and a.get_role() not in (Atspi.Role.APPLICATION,):
                    continue
                if (role is None or a.get_role_name() == role) and \
                        (name is None or a.get_name() == name):
                    found.append(a)
                n = a.get_child_count()
                stack.extend(a.get_child_at_index(i) for i in range(n - 1, -1, -1))
            except gi.repository.GLib.Error:
                continue
        return found

    def one(self, role=None, name=None, root=None, timeout=30.0):
        return wait_for("%s %r" % (role or "widget", name),
                        lambda: (self.find(role, name, root) or [None])[0], timeout)

    def client_area(self):
        """Screen rectangle of the main window's client area (where children live)."""
        main = [a for a in self.find("frame", self.main_title) if a.get_parent().get_role_name()
                == "application"][0]
        return extents(self.find("layered pane", root=main)[0])

    def frames(self, title=None):
        """The child windows showing in the main window, with that title."""
        main = [a for a in self.find("frame", self.main_title) if a.get_parent().get_role_name()
                == "application"]
        if not main:
            return []
        area = self.find("layered pane", root=main[0])[0]
        children = (area.get_child_at_index(i) for i in range(area.get_child_count()))
        return [f for f in children if f is not None and f.get_role_name() == "frame"
                and not gone(f) and (title is None or f.get_name() == title)]

    def frame_of(self, title, timeout=30.0):
        """The child window with that title (the only one showing)."""
        return wait_for("the window " + title, lambda: (self.frames(title) or [None])[0],
                        timeout)

    def texts(self, root=None):
        """The names and texts of everything showing below root, in tree order."""
        out = []
        for a in self.find(root=root):
            name = a.get_name()
            if name:
                out.append(name)
            if a.get_role_name() in ("label", "text", "static"):
                try:
                    t = a.get_text_iface()
                    if t:
                        text = t.get_text(0, t.get_character_count())
                        if text and text != name:
                            out.append(text)
                except Exception:
                    pass
        return out


def settle(what, reading, timeout=30.0, quiet=0.3):
    """The value of reading() once it has stayed the same (and true) for `quiet`
    seconds: a window still being placed or laid out on a busy machine is not read."""
    last = [None, 0.0]

    def steady():
        value = reading()
        now = time.monotonic()
        if not value or value != last[0]:
            last[:] = [value, now]
            return None
        return value if now - last[1] >= quiet else None

    return wait_for(what, steady, timeout)


def extents(acc):
    """Screen x, y, width, height of an accessible."""
    r = acc.get_extents(Atspi.CoordType.SCREEN)
    return (r.x, r.y, r.width, r.height)


def run(test, build_dir):
    """Runs test(desktop) in one fresh desktop; exit code for CTest."""
    name = test.__name__
    # A run ended from outside (a time limit, Ctrl+C) still closes what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    with Desktop(build_dir, name) as d:
        test(d)
    print("passed:", name)
    return 0


# -- the program's windows, opened as a user opens them --------------------------------

SAMPLE_CATEGORY = "情商测试"
SAMPLE_TEST = "日常情商自测"


def press(d, name, root=None):
    d.click_on(d.one("push button", name, root))


def menu(d, title, item):
    d.click_on(d.one("menu item", title))
    d.click_on(d.one("menu item", item))


def choose_in_combo(d, combo, entry):
    d.click_on(combo)
    d.click_on(wait_for("entry " + entry, lambda: [
        a for a in d.find(name=entry) if a.get_role_name() in ("list item", "menu item")
        and extents(a)[3] > 0][0]))


def choose_sample_test(d, chooser, category=SAMPLE_CATEGORY, test=SAMPLE_TEST):
    """In the chooser: the category, then the test (the sample's), then 确定."""
    choose_in_combo(d, d.one("combo box", root=chooser), category)
    d.click_on(d.one("list item", test, chooser))
    press(d, "确定", chooser)


def open_window(d, key):
    """Opens one window of the program from the main window; returns its frame."""
    steps = {
        "frmFL": lambda: press(d, "测试分类"),
        "frmAddTest": lambda: press(d, "建立测试"),
        "frmBFEdit": lambda: press(d, "编辑测试"),
        "frmMusic": lambda: press(d, "背景音乐"),
        "frmAbout": lambda: menu(d, "帮助(H)", "关于Qelvi(A)"),
        "frmIntro": lambda: menu(d, "帮助(H)", "Qelvi简介(I)"),
        "frmHistory": lambda: press(d, "测试记录"),
        "frmAnalysis": lambda: menu(d, "测试项目(T)", "题目分析(A)"),
        "frmImport": lambda: menu(d, "程序(P)", "导入测试(I)…"),
        "frmExport": lambda: menu(d, "程序(P)", "导出测试(E)…"),
        "frmServer": lambda: menu(d, "程序(P)", "连接题库服务器(S)…"),
    }
    if key in steps:
        steps[key]()
        return d.frame_of(TITLES[key])
    if key in ("frmEdittest", "frmScore", "frmHelp", "frmBandCheck"):
        press(d, "编辑测试")
        choose_sample_test(d, d.frame_of(TITLES["frmBFEdit"]))
        editor = d.frame_of(TITLES["frmEdittest"])
        if key == "frmEdittest":
            return editor
        press(d, "求助" if key == "frmHelp" else "评分", editor)
        if key == "frmBandCheck":
            score = d.frame_of(TITLES["frmScore"])
            # The indicator is named by the state it shows; its description says what it is.
            d.click_on(wait_for("the band indicator", lambda: [
                a for a in d.find(root=score)
                if a.get_description() == "分数档检查，单击看完整的检查"][0]))
        return d.frame_of(TITLES[key])
    if key in ("frmTest", "frmResult"):
        press(d, "进行测试")
        choose_sample_test(d, d.frame_of(TITLES["frmBFEdit"]))
        runner = d.frame_of(TITLES["frmTest"])
        if key == "frmTest":
            return runner
        return answer_all(d, runner)
    raise KeyError(key)


def answer_all(d, runner, option=0):
    """Answers every question of the runner with its first shown option."""
    def result():
        return [f for f in d.frames(TITLES["frmResult"]) if extents(f) != extents(runner)]

    while not result():
        number = question_number(d, runner)
        d.click_on(option_labels(d, runner)[option])
        wait_for("the next question", lambda: result() or question_number(d, runner) != number)
    return result()[0]


def take_test(d, answer, category=SAMPLE_CATEGORY, test=SAMPLE_TEST):
    """Takes a test from the main window, answering every question with answer(runner);
    returns the result's text and closes the result window with Enter."""
    press(d, "进行测试")
    choose_sample_test(d, d.frame_of(TITLES["frmBFEdit"]), category, test)
    runner = d.frame_of(TITLES["frmTest"])
    wait_for("the first question", lambda: question_number(d, runner) == "1")
    wait_for("the question text", lambda: [t for t in d.texts(runner) if len(t) > 8])

    def result():
        return [f for f in d.frames(TITLES["frmResult"]) if extents(f) != extents(runner)]

    while not result():
        number = question_number(d, runner)
        answer(runner)
        wait_for("the next question", lambda: result() or question_number(d, runner) != number)
    text = wait_for("the result text",
                    lambda: [t for t in d.texts(result()[0]) if "你的得分是" in t][0])
    d.key("Return")  # the result window closes with Enter
    wait_for("the result closed", lambda: not result())
    return text


def question_number(d, runner):
    return [a.get_name() for a in d.find("label", root=runner)
            if a.get_name().strip().isdigit()][0]


def option_labels(d, runner):
    """The shown option labels of the runner, top to bottom."""
    labels = [a for a in d.find(root=runner) if a.get_role_name() in ("label", "push button")
              and extents(a)[0] > extents(runner)[0] + 200 and a.get_name()
              and extents(a)[1] > extents(runner)[1] + 100]
    return sorted(labels, key=lambda a: extents(a)[1])


TITLES = {
    "frmFL": "Qelvi——测试分类编辑器",
    "frmAddTest": "Qelvi——添加测试项目",
    "frmBFEdit": "Qelvi——选择测试项目",
    "frmEdittest": "Qelvi——测试题目编辑器",
    "frmScore": "Qelvi——评分编辑器",
    "frmHelp": "Qelvi-Tovik的帮助",
    "frmTest": "Qelvi",
    "frmResult": "Qelvi",
    "frmMusic": "Qelvi——背景音乐控制器",
    "frmAbout": "关于Qelvi",
    "frmIntro": "Qelvi",
    "frmHistory": "Qelvi——测试记录",
    "frmAnalysis": "Qelvi——题目分析",
    "frmImport": "Qelvi——导入测试",
    "frmExport": "Qelvi——导出测试",
    "frmBandCheck": "Qelvi——分数档检查",
    "frmServer": "Qelvi——连接题库服务器",
}


# Where a child window's title-bar buttons sit, from its frame's right edge.
CLOSE_BOX, MAXIMISE_BOX, MINIMISE_BOX = 15, 35, 55
TITLE_MIDDLE = 12


def title_button(frame, offset):
    x, y, w, h = extents(frame)
    return x + w - offset, y + TITLE_MIDDLE


def close_window(d, frame):
    """Clicks the window's close box and waits until it is gone."""
    d.click(*title_button(frame, CLOSE_BOX))
    try:
        wait_for("the window closed", lambda: gone(frame), timeout=5)
    except Timeout:  # the first click only activated the window
        d.click(*title_button(frame, CLOSE_BOX))
        wait_for("the window closed", lambda: gone(frame), timeout=30)


def gone(acc):
    """Whether an accessible no longer shows (or no longer exists)."""
    try:
        return not acc.get_state_set().contains(Atspi.StateType.SHOWING) \
            or extents(acc)[2] <= 0
    except gi.repository.GLib.Error:
        return True


def client_of(frame):
    """The window's client area: the widget inside the child window's frame."""
    return frame.get_child_at_index(0)


# Every child window a command opens: its design client area and the outer size its
# opener sets (twips), how its frame is fixed, how it is placed (base, divisor).
WINDOWS = [
    # key            client        outer         fixed  base     k
    ("frmFL",       (5820, 4812), (5892, 5268), False, "inner", 2),
    ("frmAddTest",  (3744, 3420), (3840, 3876), True,  "outer", 1),
    ("frmBFEdit",   (6168, 4848), (6240, 5304), True,  "outer", 1.5),
    ("frmEdittest", (7680, 5388), (7740, 5892), False, "outer", 1.5),
    ("frmScore",    (5892, 3660), (5964, 4116), False, "outer", 2),
    ("frmHelp",     (5124, 4404), (5196, 4860), True,  "outer", 2),
    ("frmTest",     (8484, 6984), (8532, 7440), True,  "outer", 1.7),
    ("frmResult",   (4428, 4128), (4500, 4584), True,  "inner", 2),
    ("frmMusic",    (4872, 3420), (4968, 3876), True,  "outer", 1),
    ("frmAbout",    (6216, 3564), (6288, 4020), True,  "outer", 1),
    ("frmIntro",    (5436, 5148), (5508, 5604), True,  "inner", 2),
    # the windows beyond the first ones follow the same conventions
    ("frmBandCheck", (6360, 5520), (6480, 6000), True, "beside", "frmScore"),
    ("frmHistory",  (10800, 8100), (10872, 8556), True, "inner", 2),
    ("frmAnalysis", (10800, 8100), (10872, 8556), True, "inner", 2),
    ("frmImport",   (8400, 5700), (8520, 6180), True,  "outer", 1.5),
    ("frmExport",   (4800, 3480), (4920, 3960), True,  "outer", 1.5),
    ("frmServer",   (4800, 4320), (4920, 4800), True,  "outer", 1.5),
]


def px(twips):
    return twips / 15.0


def each_window(d):
    """Opens every child window in turn from a fresh main window; yields (row, frame)
    and closes the window with its close box afterwards."""
    for row in WINDOWS:
        frame = open_window(d, row[0])
        settle("the window laid out", lambda: extents(frame)[2] > 0
               and (extents(frame), extents(client_of(frame))))
        yield row, frame
        if not gone(frame):
            close_window(d, frame)
        for other in d.frames():
            if other.get_name() != "Form1" and not gone(other):
                close_window(d, other)


def title_button_of_top(d):
    """The main window's restore box, in openbox's title bar (the middle of three)."""
    x, y, w, h = d.geometry(d.main_window or d.window_named(d.main_title))
    return x + w - 27, y - 10
