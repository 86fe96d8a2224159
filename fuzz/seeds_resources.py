#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_resources: resources files of the program's own shape over
the media of the target's scratch folder (sheet.png, pic.bmp, pic.tga, tone.wav, tone.ogg,
font.ttf), and files with hostile values. Usage: seeds_resources.py CORPUS_ROOT"""
import sys

from xmlseeds import DECL, document, write_corpus
FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf'


def resources(*entries):
    return document('resources', *entries)


SEEDS = {
    'program.xml': resources(
        '<texture name="back" file="sheet.png" />',
        '<sprite name="buttons" file="sheet.png" fps="25">'
        '<frame name="up" x="0" y="0" w="32" h="16" /><frame array="4,2" w="16" h="16" delay="40" /></sprite>',
        '<sprite name="whole" file="pic.tga" />',
        '<font name="sans" file="font.ttf" height="14" start="32" end="126" />',
        '<stream name="music" file="tone.ogg" size="500" />',
        '<sound name="click" file="tone.wav" />',
        '<sound name="chime" file="tone.ogg" />',
        '<image name="bmp" file="pic.bmp" />'),
    'font_absolute.xml': resources('<font name="f" file="%s" height="12" start="65" end="70" />' % FONT),
    'font_default_range.xml': resources('<font name="f" file="font.ttf" />'),
    'font_hostile.xml': resources(
        '<font name="zero" file="font.ttf" height="0" />',
        '<font name="negative" file="font.ttf" height="-7" start="-300" end="-1" />',
        '<font name="huge" file="font.ttf" height="99999999" start="65" end="66" />',
        '<font name="reversed" file="font.ttf" start="200" end="10" />',
        '<font name="notafont" file="tone.wav" />'),
    'grids_hostile.xml': resources(
        '<sprite name="s" file="sheet.png">'
        '<a array="2147483647,2147483647" w="1" h="1" /><b array="-4,-2" /><c array="4" />'
        '<d array="100,100" w="-5" h="2147483647" x="-2147483648" />'
        '<e array=",3" /><f array="3,2,1" w="16777217" /><g x="99999999999" delay="-1" /></sprite>',
        '<sprite name="fps" file="sheet.png" fps="-25"><a /></sprite>',
        '<sprite name="fps0" file="sheet.png" fps="0"><a /></sprite>'),
    'streams.xml': resources(
        '<stream name="big" file="tone.ogg" size="2147483647" />',
        '<stream name="negative" file="tone.ogg" size="-1" />',
        '<stream name="zero" file="tone.ogg" size="zero" />',
        '<stream name="notogg" file="tone.wav" />',
        '<stream name="missing" file="missing.ogg" />'),
    'duplicates.xml': resources(
        '<a name="one" file="sheet.png" />', '<b name="two" file="sheet.png" />',
        '<sprite name="one" file="sheet.png" />', '<sprite name="sheet.png" file="pic.bmp" />',
        '<sprite name="s" file="sheet.png" />', '<x name="upper" file="PIC.BMP" />',
        '<heightmap name="ground" file="pic.bmp" />', '<model name="ship" file="ship.obj" />',
        '<nofile name="n" />', '<sprite name="gif" file="anim.gif"><f w="1" h="1" /></sprite>'),
    'broken.xml': DECL + '<resources>\n\t<sprite name="s" file="sheet.png"><frame x="1" y="2"',
}


def main(root):
    write_corpus(root, 'fuzz_resources', SEEDS)


if __name__ == '__main__':
    main(sys.argv[1])
