"""Helpers shared by the seed scripts of the XML-based fuzz targets (GUI descriptions and
resources files): the declaration, a root element around entries, and writing a corpus."""
import os

DECL = '<?xml version="1.0"?>\n\n'


def document(root, *entries):
    """An XML file whose root element `root` holds the entries, one a line."""
    return DECL + '<' + root + '>\n' + ''.join('\t' + e + '\n' for e in entries) + '</' + root + '>\n'


def write_corpus(root, target, seeds):
    """Writes every (name, text) of seeds into root/target/."""
    out = os.path.join(root, target)
    os.makedirs(out, exist_ok=True)
    for name, text in seeds.items():
        with open(os.path.join(out, name), 'w') as f:
            f.write(text)
