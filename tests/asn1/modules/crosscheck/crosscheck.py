#!/usr/bin/env python3
"""Cross-check of the message modules against Erlang/OTP's ASN.1 compiler.

    crosscheck.py prepare SOURCES WORK   copy, map and compile the modules into WORK
    crosscheck.py gen WORK COUNT OUT     COUNT random values of every type, encoded
    crosscheck.py check WORK IN OUT      decode every encoding of IN and encode it again

Encoding files hold one line per value: "Module Type hex", Type in ASN.1 form.
The check writes "Module Type hex" with Erlang's encoding, or "Module Type ERROR why".

Our aligned PER departs from X.691 in two places, mapped away here:
an ENUMERATED is coded by its declared value in 0..max, so the copy given to
Erlang declares it INTEGER (0..max) (INTEGER (0..max, ...) when extensible);
extension additions of a SEQUENCE may be absent, so the copy marks them OPTIONAL.
"""
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ORDER = ['BASE', 'HSP', 'MON', 'LEMZGW', 'TERM', 'ACP', 'MEDIA', 'CCP', 'LGCP']
ENUM = re.compile(r'ENUMERATED\s*\{([^}]*)\}')
ASSIGN = re.compile(r'^([A-Z][A-Za-z0-9-]*)\s*::=\s*(SEQUENCE|CHOICE|ENUMERATED)\b')


def strip_comment(line):
    at = line.find('--')
    return line if at < 0 else line[:at]


def map_enumerated(match):
    body = strip_comment_block(match.group(1))
    values = [int(v) for v in re.findall(r'\((-?\d+)\)', body)]
    top = max(values)
    extensible = '...' in body
    return 'INTEGER (0..%d%s)' % (top, ', ...' if extensible else '')


def strip_comment_block(text):
    return '\n'.join(strip_comment(line) for line in text.split('\n'))


def mark_additions(text):
    """Adds OPTIONAL to the components that follow "..." in a SEQUENCE."""
    out = []
    kind = None
    after_marker = False
    for line in text.split('\n'):
        code = strip_comment(line)
        m = ASSIGN.match(code)
        if m:
            kind = m.group(2)
            after_marker = False
        elif code.strip() == '}':
            kind = None
        elif kind == 'SEQUENCE' and code.strip().rstrip(',') == '...':
            after_marker = True
        elif kind == 'SEQUENCE' and after_marker and code.strip():
            body = code.rstrip()
            comma = body.endswith(',')
            body = body.rstrip(',')
            if not body.endswith('OPTIONAL'):
                body += ' OPTIONAL'
            line = body + (',' if comma else '')
        out.append(line)
    return '\n'.join(out)


def prepare(sources, work):
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    types = []
    for module in ORDER:
        text = open(os.path.join(sources, module + '.asn')).read()
        for line in text.split('\n'):
            m = ASSIGN.match(strip_comment(line))
            if m:
                types.append('%s %s' % (module, m.group(1)))
        text = ENUM.sub(map_enumerated, mark_additions(text))
        path = os.path.join(work, module + '.asn1')
        with open(path, 'w') as f:
            f.write(text)
        subprocess.run(['erlc', '-bper', module + '.asn1'], cwd=work, check=True)
    subprocess.run(['erlc', os.path.join(HERE, 'crosscheck.erl')], cwd=work, check=True)
    with open(os.path.join(work, 'types.txt'), 'w') as f:
        f.write('\n'.join(types) + '\n')
    print('%d types prepared in %s' % (len(types), work))


def erl(work, *args):
    subprocess.run(['erl', '-noshell', '-pa', work, '-run', 'crosscheck', 'main']
                   + list(args) + ['-s', 'init', 'stop'], cwd=work, check=True)


def main(argv):
    if len(argv) == 4 and argv[1] == 'prepare':
        prepare(argv[2], argv[3])
    elif len(argv) == 5 and argv[1] == 'gen':
        erl(argv[2], 'gen', os.path.join(argv[2], 'types.txt'), argv[3],
            os.path.abspath(argv[4]))
    elif len(argv) == 5 and argv[1] == 'check':
        erl(argv[2], 'check', os.path.abspath(argv[3]), os.path.abspath(argv[4]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
