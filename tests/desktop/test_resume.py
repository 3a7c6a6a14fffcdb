"""A taker stops the program as a power cut would (SIGKILL) at question 5 of the sample,
starts it again and continues: the result is that of a straight run. Then, with
允许返回上一题 ticked in the question editor, the taker goes back twice (上一题 and
Backspace) and changes an answer: the result is a straight run's with the final answers."""
import sys

import desktop
from desktop import wait_for

UNFINISHED = "上次的测试还没有做完，要接着做吗？"


def key_for(question, changed=None):
    """The taker's answer to a question: a key 1-3, or `changed` for question 2."""
    if question == 2 and changed:
        return changed
    return str(1 + question % 3)


def answering(d, changed=None):
    def answer(runner):
        d.key(key_for(int(desktop.question_number(d, runner)), changed))
    return answer


def open_sample(d):
    desktop.press(d, "进行测试")
    desktop.choose_sample_test(d, d.frame_of(desktop.TITLES["frmBFEdit"]))


def runner_at(d, number):
    runner = d.frame_of(desktop.TITLES["frmTest"])
    wait_for("question " + number, lambda: desktop.question_number(d, runner) == number)
    return runner


def answer_up_to(d, runner, stop, changed=None):
    """Answers by the keys until question `stop` shows."""
    while desktop.question_number(d, runner) != stop:
        number = desktop.question_number(d, runner)
        answering(d, changed)(runner)
        wait_for("the next question", lambda: desktop.question_number(d, runner) != number)


def finish(d, runner, changed=None):
    """Answers the rest; returns the result text and closes the result window."""
    def result():
        return [f for f in d.frames(desktop.TITLES["frmResult"])
                if desktop.extents(f) != desktop.extents(runner)]

    while not result():
        number = desktop.question_number(d, runner)
        answering(d, changed)(runner)
        wait_for("the next question", lambda: result() or desktop.question_number(d, runner) != number)
    text = wait_for("the result text",
                    lambda: [t for t in d.texts(result()[0]) if "你的得分是" in t][0])
    d.key("Return")
    wait_for("the result closed", lambda: not result())
    d.key("Escape")
    wait_for("the runner closed", lambda: not d.frames(desktop.TITLES["frmTest"]))
    return text


def resume(d):
    d.to_main_window()
    straight = desktop.take_test(d, answering(d))
    d.key("Escape")
    wait_for("the runner closed", lambda: not d.frames(desktop.TITLES["frmTest"]))

    # The power goes at question 5.
    open_sample(d)
    runner = runner_at(d, "1")
    answer_up_to(d, runner, "5")
    d.program.kill()
    d.program.wait()
    kept = {name: d.file(name)
            for name in ("results.db", "results.db-journal", "results.db-wal", "results.db-shm")}
    d.start_program(files={name: data for name, data in kept.items() if data is not None})
    d.to_main_window()

    open_sample(d)
    wait_for("the question to continue", lambda: d.find(name=UNFINISHED))
    d.click_on(wait_for("是", lambda: [b for b in d.find("push button")
                                       if b.get_name().startswith("是")][0]))
    runner = runner_at(d, "5")
    continued = finish(d, runner)
    assert continued == straight, (continued, straight)

    # Going back, where the author allows it.
    editor = desktop.open_window(d, "frmEdittest")
    d.click_on(d.one("check box", "允许返回上一题", editor))
    desktop.press(d, "完成", editor)
    wait_for("the editor closed", lambda: not d.frames(desktop.TITLES["frmEdittest"]))
    changed = "1" if key_for(2) != "1" else "2"
    reference = desktop.take_test(d, answering(d, changed))
    d.key("Escape")
    wait_for("the runner closed", lambda: not d.frames(desktop.TITLES["frmTest"]))

    open_sample(d)
    runner = runner_at(d, "1")
    answer_up_to(d, runner, "4")
    desktop.press(d, "上一题", runner)
    runner_at(d, "3")
    d.key("BackSpace")
    runner_at(d, "2")
    marked = [a for a in d.find(root=runner) if a.get_description() == "上次选的答案"]
    assert len(marked) == 1, [a.get_name() for a in marked]
    d.key(changed)
    runner_at(d, "3")
    back_and_forth = finish(d, runner, changed)
    assert back_and_forth == reference, (back_and_forth, reference)


if __name__ == "__main__":
    sys.exit(desktop.run(resume, sys.argv[1]))
