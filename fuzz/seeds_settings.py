#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_settings: settings files as the program writes them, and
files with repeats, relative and overlong paths, one window side, sizes out of range and
another root. Usage: seeds_settings.py CORPUS_ROOT"""
import sys

from xmlseeds import document, write_corpus


def settings(*entries):
    return document('settings', *entries)


SEEDS = {
    'program.xml': settings(
        '<recent path="/home/me/sounds/laser.xml" />', '<recent path="/home/me/coin.xml" />',
        '<projectFolder path="/home/me/sounds/" />', '<soundFolder path="/home/me/export/" />',
        '<window width="1024" height="640" />'),
    'eleven_and_repeats.xml': settings(*(['<recent path="/p/%d.xml" />' % (i % 7) for i in range(14)])),
    'hostile_values.xml': settings(
        '<recent path="relative.xml" />', '<recent path="" />', '<recent path="/' + 'a' * 5000 + '" />',
        '<projectFolder path="~/x" />', '<window width="0" height="99999" />', '<window width="800" />'),
    'one_side.xml': settings('<window height="600" />'),
    'other_root.xml': document('project', '<recent path="/a.xml" />'),
    'entities.xml': settings('<recent path="/caf&#233;/&amp;&lt;x&gt;.xml" />', '<soundFolder path="/t&#9;ab/" />'),
}

if __name__ == '__main__':
    write_corpus(sys.argv[1], 'fuzz_settings', SEEDS)
