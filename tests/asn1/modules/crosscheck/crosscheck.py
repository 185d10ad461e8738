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
A value of an extensible ENUMERATED above its maximum is coded differently on
purpose (a normally small number and the value, not an X.691 extended
INTEGER), so Erlang's random values are drawn from a second copy in which no
ENUMERATED is extensible ("root"), and encoded with the first one ("ext").

Erlang/OTP 25 decodes an INTEGER (0..0, ...) inside another type wrongly (it
reads two bits for the root value), so an extensible ENUMERATED whose only
value is 0 stays ENUMERATED { e(0), ... }, which X.691 codes the same way.
"""
import concurrent.futures
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


def map_enumerated(match, keep_extensible):
    body = strip_comment_block(match.group(1))
    values = [int(v) for v in re.findall(r'\((-?\d+)\)', body)]
    top = max(values)
    if top == 0 and '...' in body:
        return match.group(0)
    extensible = keep_extensible and '...' in body
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


def compile_modules(folder):
    """Compiles one copy's modules in order (a module needs the ones before it)."""
    for module in ORDER:
        subprocess.run(['erlc', '-bper', module + '.asn1'], cwd=folder, check=True)


def prepare(sources, work):
    if os.path.isdir(work):
        shutil.rmtree(work)
    types = []
    folders = []
    for variant in ('root', 'ext'):
        folder = os.path.join(work, variant)
        os.makedirs(folder)
        folders.append(folder)
        for module in ORDER:
            text = open(os.path.join(sources, module + '.asn')).read()
            if variant == 'ext':
                for line in text.split('\n'):
                    m = ASSIGN.match(strip_comment(line))
                    if m:
                        types.append('%s %s' % (module, m.group(1)))
            text = ENUM.sub(lambda m: map_enumerated(m, variant == 'ext'), mark_additions(text))
            with open(os.path.join(folder, module + '.asn1'), 'w') as f:
                f.write(text)
    # The two copies are independent: compiled side by side.
    with concurrent.futures.ThreadPoolExecutor(len(folders)) as pool:
        list(pool.map(compile_modules, folders))   # raises a failed compile
    subprocess.run(['erlc', os.path.join(HERE, 'crosscheck.erl')], cwd=work, check=True)
    with open(os.path.join(work, 'types.txt'), 'w') as f:
        f.write('\n'.join(types) + '\n')
    print('%d types prepared in %s' % (len(types), work))


def erl(work, variant, *args):
    folder = os.path.join(work, variant)
    subprocess.run(['erl', '-noshell', '-pa', work, '-pa', folder, '-run', 'crosscheck', 'main']
                   + list(args) + ['-s', 'init', 'stop'], cwd=folder, check=True)


def main(argv):
    if len(argv) == 4 and argv[1] == 'prepare':
        prepare(argv[2], argv[3])
    elif len(argv) == 5 and argv[1] == 'gen':
        terms = os.path.join(argv[2], 'values.bin')
        erl(argv[2], 'root', 'values', os.path.join(argv[2], 'types.txt'), argv[3], terms)
        erl(argv[2], 'ext', 'encode', terms, os.path.abspath(argv[4]))
    elif len(argv) == 5 and argv[1] == 'check':
        erl(argv[2], 'ext', 'check', os.path.abspath(argv[3]), os.path.abspath(argv[4]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
