#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_gui: GUI descriptions of the program's own shape (over the
target's sprites "icon" and "font" and its sound "beep"), and descriptions with hostile values
and parent cycles. Usage: seeds_gui.py CORPUS_ROOT"""
import sys

from xmlseeds import DECL, document, write_corpus


def gui(*entries):
    return document('gui', *entries)


COLOURS = ('<ambient r="0.2" g="0.2" b="0.2" /><diffuse r="1" g="0.5" b="0.25" a="0.75" />'
           '<emission r="1" g="1" b="1" a="0" /><specular a="0" /><shininess value="8" />'
           '<alpha value="0.5" /><blend value="true" /><rotate x="0" y="0" z="45" />'
           '<gradient><p1 r="1" /><p2 g="1" /><p3 b="1" a="0.5" /><p4 r="0.1" g="0.2" b="0.3" a="0.4" /></gradient>')

SEEDS = {
    'program.xml': gui(
        '<gui name="background" sprite="icon" x="0" y="0" w="800" h="600" />',
        '<font name="fntNormal" sprite="font" kern="1" lead="2" scaleX="1" scaleY="1" text="Hi" />',
        '<button name="btnPlay" sprite="icon" frame="1" x="10" y="10" font="fntNormal" text="Play" />',
        '<checkbox name="chkLoop" x="100" y="10" enabled="TRUE" />',
        '<gui name="panel" x="50" y="50" w="300" h="200" enabled="1" moveable="1">' + COLOURS + '</gui>',
        '<gui name="child" parent="panel" x="10" y="10" w="20" h="20" align="4" enabled="7" />'),
    'parents.xml': gui(
        '<gui name="a" parent="b" enabled="1" w="50" h="50" />',
        '<gui name="b" parent="c" enabled="1" x="5" y="5" w="50" h="50" />',
        '<gui name="c" parent="a" enabled="1" w="50" h="50" />',
        '<gui name="self" parent="self" enabled="1" />',
        '<gui parent="a" enabled="1" />', '<gui name="a" parent="missing" enabled="1" />'),
    'hostile.xml': gui(
        '<gui name="big" x="3.4e38" y="-3.4e38" w="1e39" h="-1e30" z="1e300" align="-9" enabled="1" />',
        '<gui name="nan" x="nan" y="inf" w="0x10" h="1e" frame="-1" sprite="icon" enabled="1" />',
        '<gui name="spin" enabled="1" w="100" h="100"><rotate x="1e30" y="-720" z="90" /></gui>',
        '<gui name="frame" sprite="font" frame="4294967295" enabled="1" />',
        '<gui name="beep" sprite="beep" enabled="1" />',
        '<gui name="colours" enabled="1"><gradient><p1 r="1e30" g="-1e30" b="nan" /><p5 r="1" /></gradient>'
        '<ambient r="-4" /><alpha /><blend value="maybe" /></gui>'),
    'unknown.xml': gui('<Button name="b" />', '<widget />', '<gui name="g" parent="b" enabled="true" />',
                       '<menu name="m"><gui name="inner" /></menu>'),
    'overlap.xml': gui(*['<gui name="e%d" x="%d" y="%d" w="30" h="30" enabled="1" moveable="%d" />' % (i, i * 5, i * 5, i % 2)
                         for i in range(12)]),
    'widgets.xml': gui(
        '<font name="look" sprite="glyphs" kern="1" lead="2" text="A1\\nA 1 .-" w="40" h="30" align="4" />',
        '<button name="btnGo" font="look" text="AA 11" x="5" y="5" w="40" h="16"><offset x="1" y="1" w="30" />'
        '<enable r="1" a="1" /><hover g="1" a="0.5" /><down b="1" a="0" /><disable a="1" /></button>',
        '<checkbox name="chkOn" font="look" text="A" x="5" y="30" w="10" h="10"><offset w="60" /></checkbox>',
        '<edit name="editValue" font="look" x="5" y="50" w="50" h="14" number="true" limit="5" borderSize="2" '
        'text="1.5" />',
        '<edit name="editText" font="look" x="60" y="50" w="40" h="40" multiline="1" password="true" limit="-1" />',
        '<scroll name="slider" sprite="icon" x="0" y="100" w="200" h="12" vertical="false" min="0" max="100" '
        'increment="5" />',
        '<scroll name="bar" x="380" y="0" w="12" h="200" min="-1" max="1" increment="0.25" />'),
    'widgets_hostile.xml': gui(
        '<font name="f" sprite="font" kern="-9" lead="-30" scaleX="1e39" scaleY="-2" w="5" h="1e30" align="8" '
        'text="\\\\n\\n\\\\\\n   " />',
        '<font name="g" sprite="glyphs" kern="2147483647" text="AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA" w="7" />',
        '<button name="b" font="f" text="x" sprite="icon" frame="2147483647"><offset x="1e39" w="-5" /></button>',
        '<edit name="e" font="nothing" borderSize="1e39" limit="0" number="maybe" w="-10" h="nan" />',
        '<scroll name="s" sprite="icon" frame="2147483640" min="1e39" max="-1e39" increment="1e39" />',
        '<scroll name="t" min="5" max="5" vertical="0" w="3" h="3" />',
        '<checkbox name="c" font="g" parent="c" />'),
    'composites.xml': gui(
        '<font name="look" sprite="glyphs" h="12" />',
        '<scroll name="bar" sprite="icon" visible="0" increment="1" />',
        '<list name="lstFiles" font="look" scroll="bar" x="5" y="5" w="100" h="40" spacing="2"><hover r="1" />'
        '<select g="1" a="0.5" /><column name="name" w="60"><item text="A" /><item text="B" /><item text="C" />'
        '<item text="D" /></column><column name="size" w="30"><item text="1" /><x /><item text="3" /></column></list>',
        '<combo name="cmbWave" font="look" scroll="bar" x="5" y="60" w="80" h="60" selected="1"><edit w="60" h="12" />'
        '<button w="12" h="12" /><list><column w="60"><item text="a" /><item text="b" /></column></list></combo>',
        '<window name="winOpen" font="look" text="Open" x="120" y="5" w="100" h="80" moveable="1"><gui h="12" />'
        '<font text="T" /><button w="8" h="8" /></window>',
        '<frame name="frm" x="120" y="100" w="60" h="40" borderX="2" borderY="2"><gui border="0" w="8" h="8" />'
        '<gui border="1" h="8" /><gui border="7" w="8" h="8" /><gui border="8" /><gui border="-1" /></frame>',
        '<control name="ctl" sprite="icon" x="0" y="150" w="200" h="16" />',
        '<progress name="prg" sprite="icon" x="0" y="170" w="100" h="8" min="0" max="200" />',
        '<menu name="mnuFile" font="look" text="File" x="210" y="0" w="40" h="12" spacing="4" icon="frm"><hover b="1" />'
        '<menu name="mnuOpen" parent="mnuFile" text="Open"><menu name="mnuDeep" parent="mnuOpen" text="Deep" /></menu>'
        '<menu name="mnuSave" parent="mnuFile" text="Save" /></menu>'),
    'composites_hostile.xml': gui(
        '<list name="l" spacing="-5" h="-1"><column w="-1e39"><item /><item text="x" /></column>'
        '<column name="c" w="nan"><item text="y" /><item /><item /></column></list>',
        '<combo name="c" selected="-7" h="-5"><edit h="1e39" /><list h="nan" /></combo>',
        '<combo name="d" selected="99" font="l" scroll="l" />',
        '<progress name="p" min="-1" max="-2147483648" />', '<progress name="q" min="5" max="5" />',
        '<frame name="f" borderX="1e39" borderY="nan"><gui border="2147483647" /><gui border="3" w="1e39" /></frame>',
        '<menu name="m" parent="m" /><menu name="n" parent="o" /><menu name="o" parent="n" icon="o" />',
        '<window name="w" w="-1" h="-1"><gui h="1e39" /><button w="nan" /></window>'),
    'broken.xml': DECL + '<gui>\n\t<gui name="a" enabled="1" w="10" h="10" />\n\t<gui name="b" parent="a',
}


def main(root):
    write_corpus(root, 'fuzz_gui', SEEDS)


if __name__ == '__main__':
    main(sys.argv[1])
