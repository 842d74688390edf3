#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_calibration into fuzz/corpus/calibration/,
and the inputs that once broke it into fuzz/regressions/calibration/.

Each seed is spelled out the way the target reads its input: the header, the
reply to every frame the program sends (a control byte, then what the reply
needs), and the operator's actions (an action byte, the click that may
arrive during it, an argument byte). Run it again after changing how the
target reads its input, then replay the seeds:
    WM_FUZZ_TRACE=1 build-fuzz/bin/fuzz_calibration fuzz/corpus/calibration/<seed>
"""
import pathlib

# Header: a line without echo and no board type from a Get; 9600 baud,
# parity none, revision 007; meter address 1; a clock away from midnight.
HEADER = bytes([0x00, 0x14, 0x01, 0x00])

SILENT = bytes([0x00])  # the meter does not answer (it never answers writes)
GOOD = 0x03             # a good reply, at once, in one piece


def xl24(word0200=True, board="dc"):
    b = {"dc": 0x00, "load cell": 0x10}[board]
    assert word0200
    return bytes([GOOD, b])


def digit(c):
    """The byte the peer turns into hex digit c (a lower-case one too)."""
    return int(c, 16) | (0x30 if c in "abcdef" else 0)


def word(hex4):
    """A reply of four hex digits ("1F40")."""
    return bytes([GOOD] + [digit(c) for c in hex4])


def flag(hex2):
    return bytes([GOOD] + [digit(c) for c in hex2])


def reading(value):
    """A reply to "B1": a sign and six digits, no point ("+080405")."""
    sign = 0x00 if value >= 0 else 0x01
    magnitude = abs(value)
    return bytes([GOOD, sign | 0x40, (magnitude // 10) >> 8, (magnitude // 10) & 0xFF, magnitude % 10])


def action(kind, arg=0, click=None):
    """kind: 0 range, 1 Ready, 3 Repeat, 4 attempt button, 5 Stop, 6 End,
    7 time passing. click: (which, delay) of a click during the handler."""
    if click is None:
        return bytes([kind, arg])
    return bytes([kind | 0x80, click[0], click[1], arg])


RANGE = 0
READY = 1
REPEAT = 3
ATTEMPT = 4
STOP = 5
END = 6
CLICK_STOP = 0

# Ready on "200 mV DC" with the positive input: the word, the scale factor,
# the input type, the flag read and written back, the reading.
def step1(plus, word_hex="1F40", flag_hex="36", b1=None):
    return (action(READY) + word(word_hex) + SILENT + SILENT + flag(flag_hex) + SILENT
            + (b1 if b1 is not None else reading(plus)))


def step2(minus, after):
    """Negative input: meter reset, reading, word written, reading again."""
    return action(READY) + SILENT + reading(minus) + SILENT + reading(after)


def step3(plus):
    return action(READY) + SILENT + reading(plus)


FULL_SCALE_ATTEMPT = (action(RANGE, 2) + step1(80405) + step2(-80395, -80000) + step3(80010))

SEEDS = {
    # A whole attempt on a full-scale range, its word kept, End.
    "full-scale-attempt-kept": HEADER + xl24() + FULL_SCALE_ATTEMPT + action(ATTEMPT, 1) + SILENT
    + action(END) + SILENT,
    # The first reading never comes: the run ends there; Ready starts the step again.
    "reading-missing-then-ready": HEADER + xl24() + action(RANGE, 2) + step1(0, b1=SILENT)
    + step1(80405) + action(STOP) + action(END) + SILENT,
    # A flag read that is garbage ends the run before anything is written back.
    "flag-garbled": HEADER + xl24() + action(RANGE, 2) + action(READY) + word("1F40") + SILENT + SILENT
    + bytes([0x01, 0x03]) + b"?\x07z" + step1(80405),
    # Stop clicked a second into Ready, then Stop while the negative input is awaited.
    "stop-during-ready": HEADER + xl24() + action(RANGE, 2) + action(READY, click=(CLICK_STOP, 20))
    + word("1F40") + step1(80405) + action(STOP) + action(END) + SILENT,
    # The zero range: an attempt, a Repeat, the repeated word kept.
    "zero-attempt-and-repeat": HEADER + xl24() + action(READY) + word("0000") + SILENT + SILENT
    + flag("36") + SILENT + reading(12) + SILENT + reading(0) + action(REPEAT) + SILENT + reading(1)
    + action(ATTEMPT, 2) + SILENT + action(END) + SILENT,
    # Two repeats of a full-scale attempt, the last kept; then the zero range.
    "repeats-then-zero-range": HEADER + xl24() + FULL_SCALE_ATTEMPT
    + action(REPEAT) + SILENT + reading(80002) + action(READY) + SILENT + reading(-79998)
    + action(REPEAT) + SILENT + reading(-80001) + action(READY) + SILENT + reading(80001)
    + action(ATTEMPT, 3) + SILENT
    + action(RANGE, 1) + action(READY) + word("FF6C") + SILENT + SILENT + flag("36") + SILENT
    + reading(3) + SILENT + reading(0) + action(ATTEMPT, 1) + SILENT + action(END) + SILENT,
    # The identification block cut short: nothing but End reaches the meter.
    "block-cut-short": HEADER + bytes([0x05, 0x00, 30]) + action(RANGE, 1) + action(READY) + action(END)
    + SILENT,
}

# Inputs that once broke an invariant, as small as they go.
REGRESSIONS = {
    # A flag byte read as "3a" was written back as "W1113a36".
    "flag-in-lower-case-written-back": HEADER + xl24() + action(RANGE, 2) + step1(80405, flag_hex="3a"),
    # A Get had left a DC board; with the block unread, a range could still be chosen and calibrated.
    "range-chosen-without-the-block": bytes([0x08]) + HEADER[1:] + SILENT + action(RANGE, 1) + action(READY)
    + word("1F40"),
}


def main():
    here = pathlib.Path(__file__).resolve().parent
    for kind, inputs in (("corpus", SEEDS), ("regressions", REGRESSIONS)):
        folder = here / kind / "calibration"
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in inputs.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
