#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_project: projects of both formats as the program writes them,
and files whose name, voices and format sit where the reader must look closely: a name with
child elements, a second name, voices nested below the root, unknown elements, another root,
broken values, master settings out of range. Usage: seeds_project.py CORPUS_ROOT"""
import sys

from xmlseeds import document, write_corpus

VOICE2 = ('<oscilloscope type="1" amplitude="0.5" amplitudeOffset="0" frequency="440.25" period="0.3" '
          'phase="0" attack="0.01" decay="0.1" sustain="0.5" hold="0.1" release="0.2" typeCarrier="2" '
          'modCarrier="1" amplitudeCarrier="0.3" amplitudeOffsetCarrier="0" frequencyCarrier="7" '
          'periodCarrier="1" phaseCarrier="0.25" envelope="true" carrier="true" loop="false" '
          'mute="false" seed="4294967295" />')
VOICE1 = ('<oscilloscope type="3" amplitude="1.234" frequency="2500" period="0.5" envelope="1" '
          'carrier="TRUE" modCarrier="7" seed="-1" />')


def project(*entries, attrs=''):
    # The attributes go on the opening tag only: the closing one takes the bare name.
    return document('project', *entries).replace('<project>', '<project' + attrs + '>', 1)


SEEDS = {
    'format2.xml': project('<name>Laser &amp; coin</name>', VOICE2, VOICE2.replace('type="1"', 'type="4"'),
                           attrs=' format="2"'),
    'format1.xml': project('<name>old</name>', VOICE1, '<oscilloscope />'),
    'later_format.xml': project(VOICE2, attrs=' format="17"'),
    'name_with_children.xml': project('<name>\n\t<b>x</b>\n</name>', '<name>second</name>', VOICE1),
    'name_mixed.xml': project('<name>a<b>hidden</b>c<!-- x --><![CDATA[<d>]]></name>'),
    'nested_voices.xml': project('<group>' + VOICE1 + '</group>', '<unknown a="1"><x/></unknown>', VOICE2),
    'other_root.xml': document('song', VOICE1, '<name>song</name>'),
    'not_project.xml': document('svg', '<g>' + VOICE1 + '</g>'),
    'hostile_values.xml': project('<oscilloscope amplitude="nan" frequency="1e999" period="-inf" '
                                  'attack="0x10" seed="99999999999" type="2147483648" />', attrs=' format=" 2"'),
    'broken.xml': project('<name>cut', VOICE1),
    'master.xml': project('<name>m</name>', VOICE2,
                          attrs=' format="2" gain="-6.5" normalize="TRUE" fade="77ms" mix="Sum"'),
    'stages.xml': project(VOICE2.replace(' />', ' frequencyEnd="880" glide="LINEAR" vibratoDepth="0.5" '
                                         'vibratoRate="6" arpeggio="-7" arpeggioTime="0.1" repeat="0.2" '
                                         'duty="0.25" bandLimited="true" tremoloDepth="2" tremoloRate="nan" '
                                         'lowpass="1e999" lowpassEnd="300" resonance="0.9" highpass="x" '
                                         'highpassEnd="-5" />'), attrs=' format="2"'),
}

if __name__ == '__main__':
    write_corpus(sys.argv[1], 'fuzz_project', SEEDS)
