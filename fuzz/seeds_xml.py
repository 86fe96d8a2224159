#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_xml: small XML files of the program's own kinds (a project,
a resources file, a GUI description) and hostile ones. Usage: seeds_xml.py CORPUS_ROOT"""
import os
import sys

DECL = '<?xml version="1.0"?>\n\n'

VOICE = ('<oscilloscope type="{t}" amplitude="1.00" amplitudeOffset="0.00" frequency="{f}" '
         'period="1.00" phase="0.00" attack="0.00" decay="0.50" sustain="0.50" hold="0.50" '
         'release="0.10" typeCarrier="0" modCarrier="1" amplitudeCarrier="1.00" '
         'amplitudeOffsetCarrier="0.00" frequencyCarrier="1" periodCarrier="1.00" '
         'phaseCarrier="0.00" envelope="{e}" carrier="false" loop="true" mute="False" />')

PROJECT = (DECL + '<project>\n\t<name>Rock &#38; Roll&#10;Live</name>\n'
           + ''.join('\t' + VOICE.format(t=t, f=f, e=e) + '\n'
                     for t, f, e in [(0, 4, 'false'), (2, 440, 'TRUE'), (3, 5000, '1')])
           + '</project>')

# A project as the exact writer saves it: format="2", every value the shortest text of its float.
PROJECT_EXACT = (DECL + '<project format="2">\n\t<name>Exact</name>\n'
                 '\t<oscilloscope type="0" amplitude="1" amplitudeOffset="-0.004" frequency="261.63" period="0.13" '
                 'phase="1e-07" attack="0" decay="0.5" sustain="0.5" hold="0.5" release="0.1" typeCarrier="3" '
                 'modCarrier="2" amplitudeCarrier="0.003" amplitudeOffsetCarrier="0" frequencyCarrier="3.4028235e+38" '
                 'periodCarrier="1" phaseCarrier="0.126" envelope="true" carrier="true" loop="true" mute="false" '
                 'seed="4294967295" />\n</project>')

RESOURCES = DECL + '''<resources>
\t<texture name="background" file="resources/back.png" />
\t<sprite name="buttons" file="resources/buttons.tga" fps="25">
\t\t<frame name="up" x="0" y="0" w="64" h="32" />
\t\t<frame array="4,2" w="32" h="16" delay="40" />
\t</sprite>
\t<font name="sans" file="resources/DejaVuSans.ttf" height="14" start="32" end="126" />
\t<stream name="music" file="resources/loop.ogg" size="500" />
\t<sound name="click" file="resources/click.wav" />
\t<heightmap name="ground" file="resources/height.bmp" />
\t<model name="ship" file="resources/ship.obj" />
</resources>'''

GUI = DECL + '''<gui>
\t<window name="winMain" x="10" y="10" w="780" h="580" text="Quillwave" moveable="true">
\t\t<gui border="2" />
\t\t<font name="fntTitle" text="Title" />
\t</window>
\t<control name="ctlBar" parent="winMain" x="0" y="0" w="780" h="40" />
\t<button name="btnPlay" parent="ctlBar" sprite="buttons" frame="1" x="4" y="4" text="Play" font="fntLabel">
\t\t<offset x="2" y="1" z="0" w="0" />
\t\t<enable r="1" g="1" b="1" a="1" />
\t\t<hover r="0.8" g="0.9" b="1" />
\t\t<down r="0.5" g="0.5" b="0.5" a="0.75" />
\t</button>
\t<checkbox name="chkSinWave" x="10" y="60" text="Sine" enabled="TRUE" />
\t<edit name="editProjectName" x="100" y="4" w="200" h="24" text="New Project" limit="64" multiline="false" />
\t<scroll name="sclAmplitude" vertical="0" min="0" max="400" increment="1.5e0" />
\t<list name="lstVoices" spacing="2">
\t\t<select r="0.2" g="0.4" b="0.8" />
\t\t<column name="Voice" w="120"><item text="One" /><item text="Two" /></column>
\t</list>
\t<combo name="cmbWave" selected="1"><edit /><button /><list /></combo>
\t<menu name="mnuFile" text="File" spacing="4"><hover r="1" g="0" b="0" /></menu>
\t<progress name="prgLoad" min="0" max="100" />
\t<gui name="panel" alpha="0.5"><gradient><p1 r="1" /><p2 g="1" /><p3 b="1" /><p4 a="0" /></gradient><rotate z="90" /><blend value="true" /></gui>
</gui>'''

HOSTILE = {
    'unclosed.xml': DECL + '<project>\n\t<name>Half',
    'unclosed_attribute.xml': '<a b="never ends',
    'empty.xml': '',
    'declaration_only.xml': DECL,
    'junk_after_root.xml': '<a/>trailing<b/>',
    'deep.xml': '<e>' * 1200 + '</e>' * 1200,
    'deep_limit.xml': '<e>' * 1000 + 'x' + '</e>' * 1000,
    'entities.xml': ('<!DOCTYPE lol [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;">'
                     '<!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;">]><lol>&lol3;</lol>'),
    'parameter_entity.xml': '<!DOCTYPE a [<!ENTITY % p "<!ENTITY e \'x\'>"> %p;]><a>&e;</a>',
    'external.xml': '<!DOCTYPE a SYSTEM "/etc/passwd"><a>&ext;</a>',
    'doctype_public.xml': '<!DOCTYPE project PUBLIC "-//Q//project" "project.dtd">\n<project><a/></project>',
    'attribute_defaults.xml': ('<!DOCTYPE project [<!ATTLIST a d CDATA "' + 'x' * 20000 + '">]>\n'
                               '<project>' + '<a/>' * 200 + '</project>'),
    'empty_internal_subset.xml': '<!DOCTYPE a [ ]><a/>',
    'element_declaration.xml': '<!DOCTYPE a [<!ELEMENT a (#PCDATA)>]><a>x</a>',
    'references.xml': ('<a v="&#0; &#x1; &#9;&#10;&#13; &#x10FFFF; &#xD800; &#xFFFE; &#65;&#x42;'
                       '&amp;&lt;&gt;&quot;&apos;">&#38;&#60;&#x7F;&#128;&#xFFFD;'
                       '&#99999999999999;&unknown;</a>'),
    'good_references.xml': '<a v="&#9;&#10;&#13;&#34;&#38;&#60;&#62;">&#38;&#60;&#62;&#10;&#x1F3B5;</a>',
    'huge_attribute.xml': '<a v="' + 'x&#38;' * 6000 + '" />',
    'huge_text.xml': '<a>' + 'Rock &amp; Roll\n' * 1500 + '</a>',
    'many_attributes.xml': '<a ' + ' '.join('a%d="%d"' % (i, i) for i in range(1000)) + ' />',
    'many_children.xml': '<r>' + '<c/>' * 2000 + '</r>',
    'duplicate_attribute.xml': '<a x="1" x="2" />',
    'cdata_comments_pi.xml': ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                              '<!-- c --><?pi x?><a><![CDATA[<b>&amp;</b>]]><!-- in --><?p?>t</a>'),
    'mixed.xml': '<a>one<b>two</b>three<c/>four</a>',
    'crlf.xml': '<a>\r\n\t<b>x\r\ny\rz</b>\r\n</a>\r\n',
    'namespaces.xml': '<x:a xmlns:x="urn:x" x:b="1"><x:c/></x:a>',
    'numbers.xml': ('<n i="12abc" j=" -7" k="99999999999999999999" f="1e400" g="-.5e-3" h="nan" '
                    'b1="TRUE" b2="yes" b3="2" />'),
    'non_ascii.xml': '<a name="\u00e9t\u00e9 \u20ac">\u266b \U0001F3B5</a>',
}

BINARY = {
    'latin1.xml': b'<?xml version="1.0" encoding="ISO-8859-1"?><a v="\xe9">\xe9t\xe9</a>',
    'utf16.xml': '\ufeff<a v="1">t\u00e9</a>'.encode('utf-16-le'),
    'bad_utf8.xml': b'<a>\xff\xfe\xc3</a>',
    'zero_byte.xml': b'<a>x\x00y</a>',
    'control.xml': b'<a>\x01\x02</a>',
}


def main():
    out = os.path.join(sys.argv[1], 'fuzz_xml')
    os.makedirs(out, exist_ok=True)
    files = {'project.xml': PROJECT, 'project_exact.xml': PROJECT_EXACT, 'resources.xml': RESOURCES, 'gui.xml': GUI}
    files.update(HOSTILE)
    for name, text in files.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(text.encode('utf-8'))
    for name, data in BINARY.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
