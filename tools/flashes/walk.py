#!/usr/bin/env python3
"""Writes a recording of ordinary play to stdout: ten minutes (12,000 frames)
of a player who walks a few steps a second, mostly keeping a heading, waits
now and then, and starts again after each end. Seeded, so that it is the same
every time; tests/flashes/walk.trace is its output."""
import random

RIGHT, UP, LEFT, DOWN, SPACE = 275, 273, 276, 274, 32
hands = random.Random(2026)
print("seed 22")
held, left, heading = None, 0, 0
for frame in range(12000):
    events = []
    if held is not None:
        left -= 1
        if left <= 0:
            events.append(f"u{held}")
            held = None
    elif hands.random() < 0.2:
        if hands.random() < 0.1:
            held = SPACE  # a wait in play; a start on the title card
        else:
            if hands.random() < 0.35:
                heading = int(hands.random() * 4)
            held = (RIGHT, UP, LEFT, DOWN)[heading]
        left = 1 + int(hands.random() * 3)
        events.append(f"d{held}")
    print(" ".join(events))
