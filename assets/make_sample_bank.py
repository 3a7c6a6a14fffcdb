#!/usr/bin/env python3
"""Writes the shipped test bank, assets/shipped/test.mdb, from assets/sample/eq-sample.txt.

The bank is stored exactly as the program stores it: the table "分类列表" with its
field 分类, one table per category (field 测试), and per test a question table
(题目, then 选项X and 选项X分数 for X = A..F) and a scoring table (分数下限, 分数上限,
评价). Text fields are TEXT, scores REAL rounded to single precision, an option left
empty is one space " " with no score.

The script refuses a test whose score bands leave a reachable total uncovered or
cover one twice.

Usage: python3 assets/make_sample_bank.py [source.txt] [target.mdb]
"""
import os
import re
import sqlite3
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
LETTERS = "ABCDEF"


def single(x):
    """x rounded to single precision, as the program stores a score."""
    return struct.unpack("f", struct.pack("f", x))[0]


def quote(name):
    return '"' + name.replace('"', '""') + '"'


def parse(path):
    categories = []  # [(name, [test])]; test = {name, questions, bands}
    test = question = None
    with open(path, encoding="utf-8") as source:
        for number, raw in enumerate(source, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            where = f"{path}:{number}"
            key, _, rest = line.partition(":")
            rest = rest.strip()
            option = re.fullmatch(r"([A-F]) (-?[0-9.]+)", key)
            band = re.fullmatch(r"评分 (-?[0-9.]+)-(-?[0-9.]+)", key)
            if key == "分类":
                categories.append((rest, []))
            elif key == "测试":
                test = {"name": rest, "questions": [], "bands": []}
                categories[-1][1].append(test)
            elif key == "题目":
                question = {"text": rest, "options": []}
                test["questions"].append(question)
            elif option:
                letter, score = option.groups()
                if LETTERS[len(question["options"])] != letter:
                    sys.exit(f"{where}: option {letter} out of order")
                question["options"].append((rest, float(score)))
            elif band:
                test["bands"].append((float(band.group(1)), float(band.group(2)), rest))
            else:
                sys.exit(f"{where}: cannot read {line!r}")
    return categories


def check(test):
    questions = test["questions"]
    if not 10 <= len(questions) <= 15:
        sys.exit(f"{test['name']}: {len(questions)} questions, want 10 to 15")
    totals = {0.0}
    for q in questions:
        if not 4 <= len(q["options"]) <= 6:
            sys.exit(f"{test['name']}: {q['text']} has {len(q['options'])} options")
        totals = {t + s for t in totals for _, s in q["options"]}
    if not 3 <= len(test["bands"]) <= 5:
        sys.exit(f"{test['name']}: {len(test['bands'])} bands, want 3 to 5")
    for total in sorted(totals):
        holding = [b for b in test["bands"] if b[0] <= total <= b[1]]
        if len(holding) != 1:
            sys.exit(f"{test['name']}: total {total} lies in {len(holding)} bands")


def write(categories, target):
    if os.path.exists(target):
        os.remove(target)
    db = sqlite3.connect(target)
    db.execute('CREATE TABLE "分类列表" ("分类" TEXT)')
    for category, tests in categories:
        db.execute(f'CREATE TABLE {quote(category)} ("测试" TEXT)')
        db.execute('INSERT INTO "分类列表" ("分类") VALUES (?)', (category,))
        for test in tests:
            check(test)
            name = test["name"]
            fields = ['"题目" TEXT']
            for letter in LETTERS:
                fields += [f'"选项{letter}" TEXT', f'"选项{letter}分数" REAL']
            db.execute(f"CREATE TABLE {quote(name)} ({', '.join(fields)})")
            db.execute(f'CREATE TABLE {quote(name + "评分")} '
                       '("分数下限" REAL, "分数上限" REAL, "评价" TEXT)')
            for q in test["questions"]:
                row = [q["text"]]
                for i in range(6):
                    if i < len(q["options"]):
                        text, score = q["options"][i]
                        row += [text, single(score)]
                    else:
                        row += [" ", None]
                db.execute(f"INSERT INTO {quote(name)} VALUES ({', '.join('?' * 13)})", row)
            for low, high, text in test["bands"]:
                db.execute(f"INSERT INTO {quote(name + '评分')} VALUES (?, ?, ?)",
                           (single(low), single(high), text))
            db.execute(f'INSERT INTO {quote(category)} ("测试") VALUES (?)', (name,))
    db.commit()
    db.close()


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "sample", "eq-sample.txt")
    target = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "shipped", "test.mdb")
    write(parse(source), target)
    print(f"wrote {target}")


if __name__ == "__main__":
    main()
