"""The packaged program on a display of its own: every icon draws, and every file a start
opens (libraries, plugins, translations, fonts, data) belongs to a package that the
package's dependencies bring, or to the base every Debian system has. A plugin that Qt
loads at run time is invisible to the linker's dependency list; this sees it.

Usage: check_runtime_deps.py <package.deb> <unpacked-root>
"""

import os
import re
import signal
import subprocess
import sys
import tempfile
import time


# What a start opens only because the system has it, each with the reason it may stay
# out of the dependencies: the program works the same without it.
OPTIONAL = [
    ("/qt6/plugins/platformthemes/", "the desktop's own look, used where it is installed"),
    ("/usr/share/icons/", "the desktop's cursor and icon themes"),
    ("/usr/share/fontconfig/", "settings of fonts that happen to be installed"),
    ("/usr/share/fonts/", "fonts the system has; the program's own are dependencies"),
    ("/usr/share/locale/", "the C library's locale names"),
]


def optional(path):
    return any(part in path for part, _ in OPTIONAL)


def fail(text):
    print("FAIL: " + text)
    return 1


def start_display(log):
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,), stdout=log,
                            stderr=subprocess.STDOUT, start_new_session=True)
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
    return xvfb, ":" + number.decode().strip()


def opened_files(root, work):
    """Runs the unpacked program until its icons are checked; the files it opened."""
    home = os.path.join(work, "home")
    os.makedirs(home)
    with open(os.path.join(work, "xvfb.log"), "wb") as log:
        xvfb, display = start_display(log)
    trace = os.path.join(work, "trace")
    errors = os.path.join(work, "qelvi.log")
    env = {"PATH": "/usr/bin:/bin", "HOME": home, "DISPLAY": display,
           "XDG_RUNTIME_DIR": work, "QT_QPA_PLATFORM": "xcb", "SDL_AUDIODRIVER": "dummy",
           "QT_LOGGING_RULES": "qelvi.icons.debug=true", "LANG": "C.UTF-8"}
    try:
        with open(errors, "wb") as out:
            program = subprocess.Popen(
                ["strace", "-f", "-qq", "-e", "trace=open,openat,execve",
                 "-e", "status=successful", "-o", trace,
                 os.path.join(root, "usr", "bin", "qelvi")],
                env=env, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
            end = time.monotonic() + 120
            while b"icons drawn" not in open(errors, "rb").read():
                if program.poll() is not None or time.monotonic() > end:
                    break
                time.sleep(0.2)
            time.sleep(3)  # the cover up, its picture and font drawn
            os.killpg(program.pid, signal.SIGKILL)
            program.wait()
    finally:
        os.killpg(xvfb.pid, signal.SIGKILL)
        xvfb.wait()
    files = set()
    with open(trace, errors="replace") as f:
        for line in f:
            m = re.search(r'(?:open|openat|execve)\((?:AT_FDCWD, |\d+, )?"([^"]+)"', line)
            if m:
                files.add(m.group(1))
    return files, open(errors, errors="replace").read()


def owners(paths):
    """path -> set of the packages that own it (tried as given, resolved, and without
    the /usr prefix that merged /usr adds)."""
    result = {}
    for path in paths:
        candidates = {path, os.path.realpath(path)}
        for c in list(candidates):
            if c.startswith("/usr/lib/") or c.startswith("/usr/bin/"):
                candidates.add(c[4:])
        found = set()
        out = subprocess.run(["dpkg-query", "-S"] + sorted(candidates), capture_output=True,
                             text=True).stdout
        for line in out.splitlines():
            if ": " in line:
                names, _ = line.split(": ", 1)
                found |= {n.strip().split(":")[0] for n in names.split(",")}
        result[path] = found
    return result


def installed():
    """Every installed package: its dependencies (lists of alternatives), what it
    provides, whether every Debian system has it."""
    out = subprocess.run(["dpkg-query", "-W", "-f",
                          "${db:Status-Abbrev}\t${Package}\t${Depends}, ${Pre-Depends}\t"
                          "${Provides}\t${Essential}\t${Priority}\n"],
                         capture_output=True, text=True).stdout
    packages, provides = {}, {}
    for line in out.splitlines():
        status, name, depends, prov, essential, priority = line.split("\t")
        if status[1] != "i":
            continue
        packages[name] = (clauses(depends), essential == "yes" or priority == "required")
        for p in clauses(prov):
            provides.setdefault(p[0], set()).add(name)
    return packages, provides


def clauses(field):
    """'a (>= 1), b | c' -> [['a'], ['b', 'c']]"""
    out = []
    for clause in field.split(","):
        names = [re.sub(r"\(.*?\)|\[.*?\]|<.*?>", "", alt).strip().split(":")[0]
                 for alt in clause.split("|")]
        names = [n for n in names if n]
        if names:
            out.append(names)
    return out


def closure(depends, packages, provides):
    """The installed packages that these dependencies bring, transitively."""
    seen, todo = set(), list(depends)
    while todo:
        for name in todo.pop():
            chosen = [name] if name in packages else sorted(provides.get(name, ()))
            if chosen:
                for c in chosen:
                    if c not in seen:
                        seen.add(c)
                        todo.extend(packages[c][0])
                break
    return seen


def main(deb, root):
    faults = 0
    with tempfile.TemporaryDirectory() as work:
        files, log = opened_files(os.path.abspath(root), work)
    m = re.search(r"(\d+) of (\d+) icons drawn", log)
    if not m:
        faults += fail("the program did not report its icons:\n" + log[-2000:])
    elif m.group(1) != m.group(2) or m.group(2) == "0":
        faults += fail("only %s of %s icons drawn:\n%s" % (m.group(1), m.group(2), log[-2000:]))

    root = os.path.abspath(root)
    system = sorted(f for f in files if f.startswith("/usr/") and os.path.isfile(f)
                    and not f.startswith(root))
    depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True,
                             text=True, check=True).stdout
    packages, provides = installed()
    brought = closure(clauses(depends), packages, provides)
    base = {n for n, (_, always) in packages.items() if always}
    brought |= closure([[n] for n in base], packages, provides)
    plugins = 0
    for path, names in sorted(owners(system).items()):
        if "/qt6/plugins/" in path:
            plugins += 1
        if names and not names & brought and not optional(path):
            faults += fail("%s (package %s) is loaded at run time, but the package does not "
                           "depend on it" % (path, ", ".join(sorted(names))))
    if plugins == 0:
        faults += fail("no Qt plugin seen loading; the trace is incomplete")
    # The server bank's client library is loaded when a server bank is first connected,
    # not at start; the package brings it all the same.
    for path in system:
        if "/libpq.so" in path:
            faults += fail("%s is loaded at start, before any server bank" % path)
    if "libpq5" not in brought:
        faults += fail("the package does not bring libpq5, which a server bank loads")
    if not faults:
        print("%d files from %d packages opened at start, each brought by the package's "
              "dependencies; every icon drawn" % (len(system), len(brought)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
