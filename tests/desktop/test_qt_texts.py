"""The toolkit's own texts speak Chinese: the buttons of every kind of message box,
the Open dialog; and a message box is wide enough for its sentence."""
import re
import sys

import desktop
from desktop import extents, press, wait_for

ENGLISH = {"OK", "&OK", "Yes", "&Yes", "No", "&No", "Open", "&Open", "Cancel", "&Cancel",
           "Look in:", "File name:", "Files of type:", "Back", "Forward", "Parent Directory",
           "Folder", "File"}
# Sizes and dates of the Open dialog's list in English or US form.
ENGLISH_DETAILS = re.compile(r"\b(bytes|KiB|MiB|GiB|Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec|"
                             r"AM|PM)\b|^\d{1,2}/\d{1,2}/\d{2}\b")


def dialog(d):
    return wait_for("a dialog", lambda: [a for a in d.find() if a.get_role_name() in
                                        ("alert", "dialog", "file chooser")][0])


def buttons(d, box):
    return sorted(a.get_name() for a in d.find("push button", root=box) if a.get_name())


def qt_texts(d):
    d.to_main_window()
    faults = []

    # A notice: rename with no category chosen.
    editor = desktop.open_window(d, "frmFL")
    press(d, "改名", editor)
    box = dialog(d)
    if buttons(d, box) != ["确定"]:
        faults.append("notice buttons %s" % buttons(d, box))
    d.key("Return")
    wait_for("the notice closed", lambda: desktop.gone(box))
    desktop.close_window(d, editor)

    # A question, whose sentence fits on one line: a new test.
    adder = desktop.open_window(d, "frmAddTest")
    desktop.choose_in_combo(d, d.one("combo box", root=adder), desktop.SAMPLE_CATEGORY)
    d.click_on(d.one("text", root=adder))
    d.type("desktop")
    press(d, "确定", adder)
    box = dialog(d)
    names = buttons(d, box)
    if not any(n.startswith("是") for n in names) or not any(n.startswith("否") for n in names):
        faults.append("question buttons %s" % names)
    sentence = [a for a in d.find("label", root=box) if "吗" in (a.get_name() or "")]
    if sentence and extents(sentence[0])[3] > 30:
        faults.append("the question wraps: %r is %d px high" % (
            sentence[0].get_name(), extents(sentence[0])[3]))
    d.key("n")
    wait_for("the question closed", lambda: desktop.gone(box))

    # The Open dialog of the music controller.
    music = desktop.open_window(d, "frmMusic")
    press(d, "打开", music)
    box = dialog(d)
    english = sorted(set(t for t in d.texts(box) if t.strip() in ENGLISH))
    if english:
        faults.append("the Open dialog shows %s" % english)
    details = sorted(set(t for t in d.texts(box) if ENGLISH_DETAILS.search(t)))
    if details:
        faults.append("the Open dialog's list shows %s" % details)
    d.key("Escape")
    assert not faults, "\n".join(faults)


if __name__ == "__main__":
    sys.exit(desktop.run(qt_texts, sys.argv[1]))
