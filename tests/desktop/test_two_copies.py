"""Two copies of the program on one server bank (the suite's cluster) on one display,
each as another author, with the question editor open on the same test.
A question stored in the first shows in the second without anything done there; then
both change the same question, the first stores it, and the second's store asks the
conflict question, which names who stored it and when."""
import os
import re
import subprocess
import sys
import time
import urllib.parse

from gi.repository import Atspi

import desktop
from desktop import SAMPLE_CATEGORY, SAMPLE_TEST, press, wait_for

FIRST = "Stored by the first copy"
MINE = "Words of the second copy"
AGAIN = "The first copy once more"
CLASH = "另一个 Qelvi 在您编辑的同时修改了"


def facts(build_dir):
    path = os.path.join(build_dir, "tests", "server", "pgcluster", "connection")
    with open(path, encoding="utf-8") as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)


def psql(f, sql):
    """Runs SQL as the cluster's administrator; its rows, one a line."""
    return subprocess.run(
        [os.path.join(f["bindir"], "psql"), "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1",
         "-h", f["socket"], "-p", f["port"], "-U", f["admin"], "-d", f["dbname"], "-c", sql],
        capture_output=True, text=True, check=True).stdout.strip()


def fill_bank(f):
    """The bank emptied (as every server test begins) and given the sample's names: one
    category, one test of two questions."""
    psql(f, "DELETE FROM qelvi.tests; DELETE FROM qelvi.categories;"
            "WITH c AS (INSERT INTO qelvi.categories (name) VALUES ('%s') RETURNING id),"
            " t AS (INSERT INTO qelvi.tests (category_id, name) SELECT id, '%s' FROM c"
            " RETURNING id)"
            " INSERT INTO qelvi.questions (test_id, \"题目\", \"选项A\", \"选项A分数\","
            " \"选项B\", \"选项B分数\")"
            " SELECT t.id, q, '是', 1, '否', 0 FROM t, (VALUES ('第一题'), ('第二题')) v(q)"
            % (SAMPLE_CATEGORY, SAMPLE_TEST))


def location(f, role):
    """The bank's location as the program writes it in bank.ini: the socket, no password."""
    return "postgresql://%s@:%s/%s?host=%s" % (f[role], f["port"], f["dbname"],
                                                urllib.parse.quote(f["socket"], safe=""))


def question_box(d, editor):
    """The question's text box: the widest text of the editor."""
    boxes = [a for a in d.find("text", root=editor) if desktop.extents(a)[2] > 0]
    return max(boxes, key=lambda a: desktop.extents(a)[2])


def text_of(box):
    return Atspi.Text.get_text(box, 0, Atspi.Text.get_character_count(box))


def open_editor(d, f, role, name):
    d.main_title = "Qelvi——题库服务器 本机:%s/%s" % (f["port"], f["dbname"])
    d.start_program(
        extra_env={"PGPASSFILE": "/nonexistent", "PGSYSCONFDIR": "/nonexistent"},
        files={"bank.ini": ("location=%s\r\n" % location(f, role)).encode()})
    d.to_main_window()
    editor = desktop.open_window(d, "frmEdittest")
    box = wait_for(name + "'s first question",
                   lambda: text_of(question_box(d, editor)) == "第一题" and question_box(d, editor))
    return editor, box


def retype(d, box, text):
    d.click_on(box)
    d.key("ctrl+a")
    d.type(text)
    wait_for("the typed text", lambda: text_of(box) == text)


def two_copies(one):
    f = facts(one.build_dir)
    fill_bank(f)
    editor1, box1 = open_editor(one, f, "author", "the first copy")
    two = one.another_copy("second")
    editor2, box2 = open_editor(two, f, "other", "the second copy")

    # Stored in the first copy (下一题 stores the question): the second shows it.
    one.activate()
    retype(one, box1, FIRST)
    press(one, "下一题", editor1)
    wait_for("the question stored", lambda: psql(
        f, "SELECT count(*) FROM qelvi.questions WHERE \"题目\" = '%s'" % FIRST) == "1")
    wait_for("the second copy showing it", lambda: text_of(box2) == FIRST)

    # Both change it; the first stores first.
    two.activate()
    retype(two, box2, MINE)
    one.activate()
    press(one, "上一题", editor1)
    wait_for("the first question again", lambda: text_of(box1) == FIRST)
    retype(one, box1, AGAIN)
    press(one, "下一题", editor1)
    wait_for("the first copy's store", lambda: psql(
        f, "SELECT count(*) FROM qelvi.questions WHERE \"题目\" = '%s'" % AGAIN) == "1")

    two.activate()
    press(two, "下一题", editor2)
    question = wait_for("the conflict question",
                        lambda: [t for t in two.texts() if CLASH in t][0])
    assert AGAIN in question and MINE in question, question
    who = re.search(r"（(\S+) 在 (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) 存储）", question)
    assert who, question
    assert who.group(1) == f["author"], question
    stored = psql(f, "SELECT floor(extract(epoch FROM changed_at)) FROM qelvi.questions"
                     " WHERE \"题目\" = '%s'" % AGAIN)
    stored_at = time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(int(float(stored))))
    assert who.group(2) == stored_at, (question, stored_at)
    # 否: the stored text stays.
    two.click_on(wait_for("否", lambda: [b for b in two.find("push button")
                                        if b.get_name().startswith("否")][0]))
    wait_for("the question closed", lambda: not [t for t in two.texts() if CLASH in t])
    assert psql(f, "SELECT count(*) FROM qelvi.questions WHERE \"题目\" = '%s'" % MINE) == "0"


if __name__ == "__main__":
    sys.exit(desktop.run(two_copies, sys.argv[1]))
