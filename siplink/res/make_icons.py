#!/usr/bin/env python3
"""Draws SipLink's notification-area icons with the drawing of the program's own pictures.

Run from this folder: python3 make_icons.py
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "app", "res"))
from make_pictures import BLUE, GREEN, GREY, RED, SIZE, WHITE, canvas, disc, line, write_ico  # noqa: E402


def receiver(img, c):
    """A telephone receiver, lying diagonally."""
    line(img, 6, 13, 13, 6, 5, c)     # the ear piece
    line(img, 19, 26, 26, 19, 5, c)   # the mouth piece
    line(img, 9, 10, 22, 23, 4, c)    # the handle


def icon(ready):
    img = canvas(SIZE, SIZE)
    receiver(img, BLUE if ready else GREY)
    disc(img, 24, 8, 7, WHITE)
    disc(img, 24, 8, 6, GREEN if ready else RED)
    if ready:
        line(img, 21, 8, 23, 11, 2, WHITE)
        line(img, 23, 11, 27, 5, 2, WHITE)
    else:
        line(img, 21, 5, 27, 11, 2, WHITE)
        line(img, 27, 5, 21, 11, 2, WHITE)
    return img


if __name__ == "__main__":
    write_ico("siplink_ready.ico", icon(True))
    write_ico("siplink_down.ico", icon(False))
