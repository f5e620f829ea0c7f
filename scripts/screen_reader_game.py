#!/usr/bin/env python3
"""Plays the game by keys, as a blind player would, and prints what Orca said.

Runs inside a desktop session that check_screen_reader.sh has set up (an X
display, the accessibility bus, Orca writing its debug log). The player knows
only what Orca speaks: it reads the columns with C, hears each new pair, and
puts each pair where its pieces make whole cakes if they can, merges if not.
Prints each step's keys and the lines Orca spoke for them, and fails, naming
them, when Orca did not say what a blind player needs to hear at some step.

usage: screen_reader_game.py GAME ORCA_LOG STORE
"""
import os
import re
import subprocess
import sys
import time

game_path, orca_log, store = sys.argv[1:4]
SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*?)' ?\{", re.MULTILINE)
read_upto = 0
# Every line Orca spoke, in order, and what it failed to say when it should.
transcript = []
missing = []


def expect(since, phrase, moment):
    """Records `phrase` as missing unless Orca said it after transcript[since]."""
    if not any(phrase in line for line in transcript[since:]):
        missing.append(f"{moment}: no \"{phrase}\"")


def spoken_since_last():
    """The lines Orca spoke since the last call."""
    global read_upto
    with open(orca_log, encoding="utf-8", errors="replace") as log:
        log.seek(read_upto)
        text = log.read()
        read_upto = log.tell()
    said = SPOKEN.findall(text)
    transcript.extend(said)
    return said


def key(*names, delay=0.0):
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
        if delay:
            time.sleep(delay)


def step(title, *keys, wait=1.0, delay=0.15):
    """Presses `keys`, waits, prints what was spoken; returns it."""
    spoken_since_last()
    key(*keys, delay=delay)
    time.sleep(wait)
    said = spoken_since_last()
    print(f"== {title}")
    for line in said:
        print(f"   {line}")
    return said


def listen(title, heard_enough, limit_s):
    """Presses nothing; prints what was spoken until heard_enough says so."""
    said = []
    deadline = time.monotonic() + limit_s
    while not heard_enough(said) and time.monotonic() < deadline:
        time.sleep(0.5)
        said += spoken_since_last()
    time.sleep(1.0)
    said += spoken_since_last()
    print(f"== {title}")
    for line in said:
        print(f"   {line}")
    return said


def window_id(name):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                           capture_output=True, text=True).stdout.split()
    return found[0] if found else None


def falling_pair():
    """Where the falling pair is, as Orca last said it: its row and its two
    columns. A pair that has only just entered is in row 1 of columns 2 and 3."""
    for line in reversed(transcript):
        moved = re.search(r"Row (\d), columns (\d) and (\d)", line)
        if moved:
            return moved.group(1), moved.group(2, 3)
        entered = re.search(r"New pair in columns (\d) and (\d)", line)
        if entered:
            return "1", entered.group(1, 2)
    return "1", ("2", "3")


def columns_heights(said):
    """The top landed piece and the free rows of each column, from a C
    read-out. C lists the falling pair among the pieces; those two entries
    are left out."""
    text = " ".join(said)
    falling_row, falling_columns = falling_pair()
    tops = []
    for column in range(1, 5):
        match = re.search(rf"Column {column}: ([^.]*)\.", text)
        body = match.group(1) if match else "empty"
        landed = [(int(row), int(piece))
                  for row, piece in re.findall(r"row (\d), (\d) slices?", body)
                  if not (row == falling_row and str(column) in falling_columns)]
        if not landed:
            tops.append((0, 5))
            continue
        row, piece = landed[0]
        tops.append((piece, row - 1))
    return tops


def best_place(pair, tops, value_of):
    """The (left column 0-2, turned) whose two pieces `value_of` (piece,
    column, top, free) scores highest."""
    best = None
    for left in range(3):
        for turned in (False, True):
            a, b = (pair[1], pair[0]) if turned else pair
            value = sum(value_of(piece, column, *tops[column])
                        for piece, column in ((a, left), (b, left + 1)))
            if best is None or value > best[0]:
                best = (value, left, turned)
    return best[1], best[2]


def plan(pair, tops):
    """Where the pair goes: best cakes then merges."""
    def value_of(piece, column, top, free):
        value = 10 if top and top + piece == 8 else 1 if top and top + piece < 8 else 0
        return value - 100 if free == 0 else value
    return best_place(pair, tops, value_of)


def height(top_and_free):
    return 5 - top_and_free[1]


def plan_to_fill(pair, tops):
    """Where the pair goes to pile up the entry columns (1 and 2) without
    merging, yet never onto a column with one free row left."""
    def value_of(piece, column, top, free):
        if free <= 1:
            return -100
        if top and top + piece <= 8:
            return -10
        return 1 if column in (1, 2) else 0
    return best_place(pair, tops, value_of)


def place(pair_line, planner):
    """Reads the columns, moves and turns the pair as `planner` says, and holds
    the drop key; returns what was said after it came down, and the columns as
    read before the move."""
    pieces = [int(n) for n in re.findall(r"(\d) slices?", pair_line)[:2]]
    tops = columns_heights(step("C reads the columns", "c", wait=1.2))
    left, turned = planner(pieces, tops)
    keys = (["Up"] if turned else []) + (["Left"] if left == 0 else ["Right"] * (left - 1))
    if keys:
        step("moves: " + " ".join(keys), *keys, wait=0.8, delay=0.05)
    said = step("↓ held: the pair comes down", *(["Down"] * 6), wait=0.8, delay=0.04)
    for _ in range(8):
        if any("New pair" in line or "Game over" in line for line in said):
            break
        if window_id("HighScore"):
            break
        said += step("↓", "Down", wait=0.3)
    return said, tops


def fill_entry_columns(said):
    """Plays the game towards its end: stops, the game still on, once the
    entry columns stand three high, so that the next pairs falling by
    themselves end it soon."""
    for _ in range(40):
        if any("Game over" in line for line in said) or window_id("HighScore"):
            return False
        pair_line = next((line for line in said if "New pair" in line), None)
        if pair_line is None:
            said = step("↓ until something happens", "Down", wait=0.4)
            continue
        said, _ = place(pair_line, plan_to_fill)
        tops = columns_heights(step("C reads the columns", "c", wait=1.2))
        if height(tops[1]) >= 3 and height(tops[2]) >= 3:
            said += step("the entry columns are three high", wait=0.1)
            return True
    return False


def play_one_game(said):
    moves = 0
    for _ in range(60):
        pair_line = next((line for line in said if "New pair" in line), None)
        if any("Game over" in line for line in said):
            return said
        if window_id("HighScore"):
            return said
        if pair_line is None:
            said = step("↓ until something happens", "Down", wait=0.4)
            continue
        if moves == 1:
            step("R, N, I and L read the rows, the next pair, the score and the pair",
                 "r", "n", "i", "l", wait=3.0, delay=0.7)
        said, _ = place(pair_line, plan)
        moves += 1
    return said


def main():
    for _ in range(100):
        if window_id("ヌビロケーキ"):
            break
        time.sleep(0.1)
    main_window = window_id("ヌビロケーキ")
    # Through the window manager if it takes the request, else directly.
    if subprocess.run(["xdotool", "windowactivate", "--sync", main_window],
                      capture_output=True).returncode != 0:
        subprocess.run(["xdotool", "windowfocus", "--sync", main_window])
    time.sleep(1.5)
    print("== start-up")
    for line in spoken_since_last():
        print(f"   {line}")

    mark = len(transcript)
    said = step("F2 starts a game", "F2", wait=1.5)
    said += step("P pauses, R is asked while paused, P resumes", "p", "r", "p", wait=2.5,
                 delay=0.8)
    expect(mark, "New pair", "F2")
    expect(mark, "Paused", "P")
    expect(mark, "Resumed", "P again")
    mark = len(transcript)
    play_one_game(said)
    expect(mark, "Column 1:", "C")
    expect(mark, "Row ", "R")
    expect(mark, "Next:", "N")
    expect(mark, "cakes.", "I")
    time.sleep(1.0)
    for line in spoken_since_last():
        print(f"   {line}")
    # The name box says how the game ended once it has the focus.
    if window_id("HighScore"):
        name_and_close()
    expect(mark, "Game over", "the first game's end")
    expect(mark, "1st place", "the first game's end")
    # The table is now full of scores no game reaches: the next game ends
    # unranked.
    with open(store, "w", encoding="utf-8") as table:
        table.write("[Setting]\n")
        for rank in range(5):
            table.write(f"HScore_Nm_{rank}=Best\nHScore_Val_{rank}=2000000000\n")
    mark = len(transcript)
    step("F2 starts a second game, which cannot rank", "F2", wait=1.5)
    mark = len(transcript)
    for _ in range(80):
        said = step("↓ ↓ ↓", "Down", "Down", "Down", wait=0.3, delay=0.05)
        if any("Game over" in line for line in said):
            break
    expect(mark, "not a high score", "the second game's end")
    # A third game ends while the player looks at the table: its entry and
    # name box appear in the open window, and Close stores it. The player
    # first piles up the entry columns, so that the pairs falling by
    # themselves end the game within a few falls.
    with open(store, "w", encoding="utf-8") as table:
        table.write("[Setting]\n")
    said = step("F2 starts a third game", "F2", wait=1.5)
    if not fill_entry_columns(said):
        missing.append("the third game: ended before the table could be opened")
    mark = len(transcript)
    step("Ctrl+H opens the table; the pairs go on falling by themselves", "ctrl+h", wait=1.5)
    heard = listen("the game ends while the table is open",
                   lambda said: any("Game over" in line for line in said), limit_s=240)
    expect(mark, "Game over", "the third game's end, the table open")
    if any("1st place" in line for line in heard):
        name_and_close()
    step("Ctrl+Q ends the program", "ctrl+q", wait=1.5)
    if missing:
        print("== not heard")
        for line in missing:
            print(f"   {line}")
    return 1 if missing else 0


def name_and_close():
    mark = len(transcript)
    step("typing the name", "O", "r", "c", "a", wait=0.8)
    step("Tab reaches Close", "Tab", wait=1.0)
    step("Space presses Close", "space", wait=1.0)
    listen("the store's answer", lambda said: any("stored" in line for line in said), limit_s=5)
    expect(mark, "Your score is stored", "Close")


sys.exit(main())
