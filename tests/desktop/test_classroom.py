"""A classroom on the suite's server bank, on one display: an author publishes a test
through the publish window, three takers on three copies of the program take it, the
server stopped under the last answer of one of them, whose copy hands the result in by
itself once the server is back; the author's 全班的测试记录 lists all three with their
takers and the version, a taker's own lists his result only, and the server lets a taker
read no other row."""
import os
import re
import subprocess
import sys

import desktop
import test_two_copies as bank
from desktop import SAMPLE_CATEGORY, SAMPLE_TEST, extents, menu, press, wait_for

SHOTS = "/tmp/classroom-shots"
PUBLISH = "Qelvi——发布测试"
CLASS = "Qelvi——全班的测试记录"
# Three questions, options scoring 2, 1 and 0; the bands split the totals 0..6.
BANDS = (("0", "2", "偏低"), ("3", "4", "中等"), ("5", "6", "偏高"))
# Each taker's answer (an option's place, top to bottom) and the total it gives.
TAKERS = (("taker3", 2, "0"), ("taker", 0, "6"), ("taker2", 1, "3"))
NO_FILES = {"PGPASSFILE": "/nonexistent", "PGSYSCONFDIR": "/nonexistent"}


def fill_bank(f):
    """The bank emptied and given one test of three questions with its bands, not yet
    published; no result of an earlier run; a third taker beside the cluster's two."""
    f["taker3"] = f["taker2"][:-1] + "3"
    bank.psql(f, "DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '%s')"
                 " THEN CREATE ROLE %s LOGIN IN ROLE qelvi_takers; END IF; END $$"
              % (f["taker3"], f["taker3"]))
    bank.psql(f, "DELETE FROM qelvi.results; DELETE FROM qelvi.finishes;"
                 "DELETE FROM qelvi.tests; DELETE FROM qelvi.categories;"
                 "WITH c AS (INSERT INTO qelvi.categories (name) VALUES ('%s') RETURNING id),"
                 " t AS (INSERT INTO qelvi.tests (category_id, name) SELECT id, '%s' FROM c"
                 " RETURNING id),"
                 " q AS (INSERT INTO qelvi.questions (test_id, \"题目\", \"选项A\", \"选项A分数\","
                 " \"选项B\", \"选项B分数\", \"选项C\", \"选项C分数\")"
                 " SELECT t.id, v.q, '经常', 2, '有时', 1, '很少', 0 FROM t,"
                 " (VALUES ('遇到不顺心的事，你能很快平静下来吗？'), ('别人批评你时，你先想想他说得对不对吗？'),"
                 " ('朋友难过时，你能觉察出来吗？')) v(q))"
                 " INSERT INTO qelvi.bands (test_id, \"分数下限\", \"分数上限\", \"评价\")"
                 " SELECT t.id, b.lo::real, b.hi::real, b.e FROM t, (VALUES %s) b(lo, hi, e)"
              % (SAMPLE_CATEGORY, SAMPLE_TEST,
                 ", ".join("('%s', '%s', '%s')" % band for band in BANDS)))


def cluster(d, action):
    """The suite's server stopped at once (crash) or started again (revive). Started
    outside the run's session: the run's end sweeps away whatever carries its runtime
    folder."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("XDG_RUNTIME_DIR", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
    subprocess.run([os.path.join(desktop.SOURCE, "tests", "server", "pgcluster.sh"), action,
                    os.path.join(d.build_dir, "tests", "server", "pgcluster")], check=True,
                   capture_output=True, env=env)


def start(d, f, role):
    """This copy started on the server bank as one of the cluster's roles, at its main
    window; a taker's copy first says what a taker may do."""
    caption = "Qelvi——题库服务器 本机:%s/%s" % (f["port"], f["dbname"])
    taker = role.startswith("taker")
    d.main_title = caption + ("（答题者）" if taker else "")
    d.start_program(extra_env=NO_FILES,
                    files={"bank.ini": ("location=%s\r\n" % bank.location(f, role)).encode()})
    if taker:
        notice = wait_for("the taker's notice", lambda: [
            t for t in d.texts() if "上是答题者" in t][0])
        assert notice.startswith("你在题库服务器“本机:%s/%s”上" % (f["port"], f["dbname"])), notice
        press(d, "确定")
    d.to_main_window()


def stop(d):
    d.program.terminate()
    d.program.wait(30)


def asked(d):
    """The 否 button of a question the program asks, when one shows."""
    return [b for b in d.find("push button") if b.get_name().startswith("否")]


def take(d, option, before_last=lambda: None):
    """Takes the test with clicks, every question answered with the option at that place,
    until the result window shows or the program asks something; the result window."""
    press(d, "进行测试")
    desktop.choose_sample_test(d, d.frame_of(desktop.TITLES["frmBFEdit"]))
    runner = d.frame_of(desktop.TITLES["frmTest"])
    wait_for("the first question", lambda: desktop.question_number(d, runner) == "1")

    def result():
        return [f for f in d.frames(desktop.TITLES["frmResult"]) if extents(f) != extents(runner)]

    while not result():
        number = desktop.question_number(d, runner)
        if number == "3":
            before_last()
        d.click_on(desktop.option_labels(d, runner)[option])
        wait_for("the next question", lambda: result() or asked(d)
                 or desktop.question_number(d, runner) != number)
        if asked(d):
            break
    return result


def score_of(d, result):
    """The total the result window shows."""
    text = wait_for("the result text", lambda: [
        t for t in d.texts(result()[0]) if "你的得分是" in t][0])
    return re.search(r"你的得分是\s*([0-9.]+)", text).group(1)


def rows(d, frame):
    """The class history's list: one dict a row, by the columns' headers, also the
    columns scrolled out of sight."""
    tree = d.one("tree", root=frame)
    headers = [a.get_name() for a in d.find("table column header", root=tree, showing=False)]
    cells = [a.get_name() for a in d.find("table cell", root=tree, showing=False)]
    return [dict(zip(headers, cells[i:i + len(headers)]))
            for i in range(0, len(cells) - len(headers) + 1, len(headers))]


def class_history(d):
    """全班的测试记录 opened from the menu: its frame, its rows once they are listed."""
    menu(d, "测试项目(T)", "全班的测试记录(K)")
    frame = d.frame_of(CLASS)
    return frame, desktop.settle("the class's results", lambda: rows(d, frame))


def result_text(d, frame):
    """The selected result's text, the widest text box of the window."""
    boxes = [a for a in d.find("text", root=frame) if extents(a)[2] > 0]
    return bank.text_of(max(boxes, key=lambda a: extents(a)[2] * extents(a)[3]))


def count_as(f, role):
    """What the server lets this role read of qelvi.results."""
    return subprocess.run(
        [os.path.join(f["bindir"], "psql"), "-X", "-A", "-t", "-h", f["socket"], "-p", f["port"],
         "-U", f[role], "-d", f["dbname"], "-c", "SELECT count(*) FROM qelvi.results"],
        capture_output=True, text=True, check=True).stdout.strip()


def server_rows(f):
    return bank.psql(f, "SELECT taker || '=' || total FROM qelvi.results ORDER BY taker")


def classroom(author):
    f = bank.facts(author.build_dir)
    fill_bank(f)
    os.makedirs(SHOTS, exist_ok=True)

    # The author publishes the test: the 发布 tick of its row, clicked.
    start(author, f, "author")
    menu(author, "测试项目(T)", "发布测试(P)…")
    publish = author.frame_of(PUBLISH)
    tree = author.one("tree", "测试项目", publish)
    headers = [a.get_name() for a in author.find("table column header", root=tree)]
    cells = author.find("table cell", root=tree)
    assert len(cells) == len(headers), [c.get_name() for c in cells]
    tick = cells[headers.index("发布")]
    x, y, w, h = extents(tick)
    author.click(x + 9, y + h // 2)  # the box sits at the cell's left
    wait_for("the test published", lambda: bank.psql(
        f, "SELECT published FROM qelvi.tests") == "t")
    # The list is read afresh from the server once a tick is stored.
    version = bank.psql(f, "SELECT content_version FROM qelvi.tests")
    wait_for("the version listed", lambda: [c.get_name() for c in author.find(
        "table cell", root=author.one("tree", "测试项目", publish))][headers.index("版本")]
        == "第%s版" % version)
    author.screenshot(os.path.join(SHOTS, "publish.png"))
    stop(author)

    # The first taker: the server stops before his last answer and starts again once
    # his result shows; his copy hands it in by itself (every 30 s).
    copies = {}
    for role, option, total in TAKERS:
        d = copies[role] = author.another_copy(role)
        start(d, f, role)
        if role != "taker3":
            assert score_of(d, take(d, option)) == total
            wait_for(role + "'s result on the server",
                     lambda: "%s=%s" % (f[role], total) in server_rows(f).split())
            continue
        down = []

        def server_stops():
            cluster(d, "crash")
            down.append(True)
            # The break is told at once, asking whether to connect again: not now. Its
            # sentence, wider than the box can grow, wraps inside it.
            no = wait_for("the question to connect again", lambda: asked(d)[0])
            sentence = [a for a in d.find("label") if "要重新连接吗" in (a.get_name() or "")][0]
            box = sentence
            while box.get_role_name() not in ("alert", "dialog"):
                box = box.get_parent()
            x, _, w, _ = extents(sentence)
            assert x >= extents(box)[0] and x + w <= extents(box)[0] + extents(box)[2], (
                extents(sentence), extents(box))
            d.click_on(no)
            wait_for("the question answered", lambda: not asked(d))

        try:
            result = take(d, option, server_stops)
            wait_for("the notice that it waits", lambda: [
                t for t in d.texts() if t.startswith("这次的结果现在交不到题库服务器")])
            shown = score_of(d, result)
        finally:
            if down:
                cluster(d, "revive")
        press(d, "确定")
        assert shown == total, shown
        assert server_rows(f) == ""

    # taker2's own copy: his class history, and what the server lets him read.
    _, listed = class_history(d)
    assert [r["测试者"] for r in listed] == [f["taker2"]], listed
    assert count_as(f, "taker2") == "1"
    for role, _, _ in TAKERS[1:]:
        stop(copies[role])

    # Nothing asked of taker3's copy since: its next round (30 s at most) hands it in.
    first, _, total = TAKERS[0]
    wait_for("the waiting result handed in", lambda: "%s=%s" % (f[first], total) in
             server_rows(f).split(), timeout=45)
    stop(copies[first])
    assert count_as(f, first) == "1" and count_as(f, "taker") == "1"

    # The author's class history: all three, named, with the totals their answers gave;
    # the selected result names the version it was taken on.
    start(author, f, "author")
    frame, listed = class_history(author)
    assert sorted((r["测试者"], r["得分"]) for r in listed) == sorted(
        (f[role], total) for role, _, total in TAKERS), listed
    shown = result_text(author, frame)
    assert "测试版本：第%s版" % version in shown, shown
    author.screenshot(os.path.join(SHOTS, "class-history.png"))


if __name__ == "__main__":
    sys.exit(desktop.run(classroom, sys.argv[1]))
