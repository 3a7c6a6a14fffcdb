"""Tests travel, as a user moves them: the sample test exported through the Save dialog,
the bank emptied, the file imported through the Open dialog, and the test taken again
gives the same result; a spreadsheet of questions and a survey tool's export each become
a test that can be taken at once."""
import os
import sqlite3
import sys
import tempfile

import desktop
from desktop import SAMPLE_CATEGORY, SAMPLE_TEST, menu, press, wait_for

SHEET = ("题目,选项A,分数A,选项B,分数B\n"
         "\"遇到难题，你会：\",\"先想一想, 再动手\",2,马上放弃,0\n"
         "别人批评你时，你会：,认真听完,2,\"立刻反驳\n并走开\",0\n"
         "评分\n0,1,还要加油\n2,4,很好\n").encode("utf-8-sig")


def emptied_bank():
    """The shipped bank without its one test."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "test.mdb")
        with open(os.path.join(desktop.SOURCE, "assets", "shipped", "test.mdb"), "rb") as f:
            open(path, "wb").write(f.read())
        db = sqlite3.connect(path)
        db.executescript('DROP TABLE "%s"; DROP TABLE "%s评分"; DELETE FROM "%s";'
                         % (SAMPLE_TEST, SAMPLE_TEST, SAMPLE_CATEGORY))
        db.close()
        return open(path, "rb").read()


def file_dialog(d, title, path):
    """Qt's own file dialog: the path typed into its name field, then Enter."""
    dialog = wait_for("the file dialog " + title,
                      lambda: [a for a in d.find(name=title)
                               if a.get_role_name() in ("dialog", "file chooser")][0])
    d.key("ctrl+a")
    d.type(path)
    d.key("Return")
    wait_for("the file dialog closed", lambda: desktop.gone(dialog))


def notice(d, words):
    """A message box saying `words`, closed with Enter once the window manager has
    given it the focus."""
    main = d.main_window

    def box():
        active = d.x(["xdotool", "getactivewindow"]).strip()
        return [w for w, _ in d.windows() if w != main and str(w) == active]

    wait_for("the notice " + words, lambda: box() and [t for t in d.texts() if words in t])
    d.key("Return")
    wait_for("the notice closed", lambda: not box())


def import_file(d, path):
    menu(d, "程序(P)", "导入测试(I)…")
    window = d.frame_of("Qelvi——导入测试")
    press(d, "选择文件", window)
    file_dialog(d, "导入测试", path)
    wait_for("what the file holds", lambda: [t for t in d.texts(window) if t == "可以导入"])
    press(d, "导入", window)
    notice(d, "已经导入 1 个测试。")
    wait_for("the import window closed", lambda: desktop.gone(window))


def exchange(d):
    def first_option(runner):
        d.key("1")

    d.to_main_window()
    before = desktop.take_test(d, first_option)

    menu(d, "程序(P)", "导出测试(E)…")
    window = d.frame_of("Qelvi——导出测试")
    press(d, "导出", window)
    exported = os.path.join(d.folder, "exported")  # the dialog adds .txt
    file_dialog(d, "导出测试", exported)
    notice(d, "已经导出到文件")
    text = wait_for("the exported file", lambda: d.file("exported.txt"))
    with open(os.path.join(desktop.SOURCE, "assets", "sample", "eq-sample.txt"), "rb") as f:
        sample = f.read().decode("utf-8")
    assert text.decode("utf-8").count("\n题目:") == sample.count("\n题目:"), text[:400]

    # The bank emptied; the file, a spreadsheet and a survey export beside it.
    with open(os.path.join(desktop.SOURCE, "tests", "exchange", "data", "new-layout.lss"),
              "rb") as f:
        survey = f.read()
    d.program.terminate()
    d.program.wait(5)
    d.start_program(files={"test.mdb": emptied_bank(), "exported.txt": text, "quiz.csv": SHEET,
                           "team.lss": survey})
    d.to_main_window()
    import_file(d, os.path.join(d.folder, "exported.txt"))
    assert desktop.take_test(d, first_option) == before

    # Option A of both questions: 2 + 2.
    import_file(d, os.path.join(d.folder, "quiz.csv"))
    result = desktop.take_test(d, first_option, SAMPLE_CATEGORY, "quiz")
    assert "4" in result, result

    # A survey tool's export, its title the test's name.
    import_file(d, os.path.join(d.folder, "team.lss"))
    assert "你的得分是" in desktop.take_test(d, first_option, SAMPLE_CATEGORY, "Team climate")


if __name__ == "__main__":
    sys.exit(desktop.run(exchange, sys.argv[1]))
