"""Reader of the message modules' ASN.1 sources (X.680, the subset they use).

Besides plain ASN.1 it reads the generator's comments:
  "--! name X" on a type or component line gives its real name (for names with "_"),
  "--! names a, b=N, ..." before an ENUMERATED gives the type's name table as the
  runtime holds it: an entry "name=N" has value N, any other entry the value of the
  entry before it plus one (the first 0). Without it the table is derived from the
  enumerators, writing "=N" where the value is not the previous one plus one.
"""
import re

BUILTIN = ('INTEGER', 'BOOLEAN', 'NULL', 'IA5String', 'OCTET STRING', 'OBJECT IDENTIFIER')


class ParseError(Exception):
    pass


class TypeRef(object):
    """The type of a component: a built-in type, SEQUENCE OF / SET OF, or a reference."""

    def __init__(self, kind, lower=None, upper=None, element=None, module=None, name=None):
        self.kind = kind          # one of BUILTIN, 'SEQUENCE OF', 'SET OF', 'ref'
        self.lower = lower        # INTEGER value range or IA5String size range
        self.upper = upper
        self.element = element    # TypeRef of the elements of SEQUENCE OF / SET OF
        self.module = module      # module and real name of a referenced type
        self.name = name
        self.target = None        # the referenced Type, once resolved

    def constrained(self):
        return self.lower is not None


class Component(object):
    def __init__(self, name, asn_name, type_, optional, addition, line):
        self.name = name
        self.asn_name = asn_name
        self.type = type_
        self.optional = optional
        self.addition = addition
        self.line = line


class Type(object):
    def __init__(self, module, name, asn_name, kind, line):
        self.module = module
        self.name = name
        self.asn_name = asn_name
        self.kind = kind              # SEQUENCE, CHOICE or ENUMERATED
        self.extensible = False
        self.components = []          # SEQUENCE fields / CHOICE alternatives, additions last
        self.enumerators = []         # (asn name, value) as declared in ASN.1
        self.names = []               # ENUMERATED name table, as the runtime holds it
        self.line = line

    def root(self):
        return [c for c in self.components if not c.addition]

    def additions(self):
        return [c for c in self.components if c.addition]

    def values(self):
        """(name, value) of every entry of the name table."""
        return table_values(self.names)

    def maximum(self):
        return max(v for _, v in self.values())


class Module(object):
    def __init__(self, name, path):
        self.name = name
        self.path = path
        self.imports = {}   # asn name -> module name
        self.types = []

    def find(self, asn_name):
        for t in self.types:
            if t.asn_name == asn_name:
                return t
        return None


def table_values(names):
    out = []
    prev = -1
    for entry in names:
        if '=' in entry:
            name, value = entry.split('=', 1)
            value = int(value)
        else:
            name, value = entry, prev + 1
        out.append((name, value))
        prev = value
    return out


def derive_names(enumerators):
    out = []
    prev = -1
    for name, value in enumerators:
        out.append(name if value == prev + 1 else '%s=%d' % (name, value))
        prev = value
    return out


TOKEN = re.compile(r'\s*(::=|\.\.\.|\.\.|[{}(),;]|-?\d+|[A-Za-z][A-Za-z0-9]*(?:-[A-Za-z0-9]+)*)')


def tokenize(text, path):
    """Tokens with their line numbers, and the generator's comments per line."""
    tokens = []
    notes = {}
    for number, line in enumerate(text.split('\n'), 1):
        code = ''
        rest = line
        while rest:
            at = rest.find('--')
            if at < 0:
                code += rest
                break
            code += rest[:at] + ' '
            rest = rest[at + 2:]
            end = rest.find('--')
            comment = rest if end < 0 else rest[:end]
            rest = '' if end < 0 else rest[end + 2:]
            if comment.startswith('!'):
                notes.setdefault(number, []).append(comment[1:].strip())
        pos = 0
        while pos < len(code):
            if not code[pos:].strip():
                break
            m = TOKEN.match(code, pos)
            if not m:
                raise ParseError('%s:%d: cannot read %r' % (path, number, code[pos:].strip()))
            tokens.append((m.group(1), number))
            pos = m.end()
    return tokens, notes


class Parser(object):
    def __init__(self, text, path):
        self.path = path
        self.tokens, self.notes = tokenize(text, path)
        self.pos = 0

    def error(self, what):
        line = self.tokens[min(self.pos, len(self.tokens) - 1)][1] if self.tokens else 0
        raise ParseError('%s:%d: %s' % (self.path, line, what))

    def peek(self, ahead=0):
        at = self.pos + ahead
        return self.tokens[at][0] if at < len(self.tokens) else None

    def line(self):
        return self.tokens[self.pos][1]

    def take(self, expected=None):
        if self.pos >= len(self.tokens):
            self.error('unexpected end of file')
        token = self.tokens[self.pos][0]
        if expected is not None and token != expected:
            self.error('expected %r, found %r' % (expected, token))
        self.pos += 1
        return token

    def note(self, line, key):
        for n in self.notes.get(line, []):
            word, _, value = n.partition(' ')
            if word == key:
                return value.strip()
        return None

    def module(self):
        name = self.take()
        module = Module(name, self.path)
        for word in ('DEFINITIONS', 'AUTOMATIC', 'TAGS', '::=', 'BEGIN'):
            self.take(word)
        if self.peek() == 'IMPORTS':
            self.take()
            pending = []
            while self.peek() != ';':
                token = self.take()
                if token == 'FROM':
                    source = self.take()
                    for p in pending:
                        module.imports[p] = source
                    pending = []
                elif token != ',':
                    pending.append(token)
            self.take(';')
            if pending:
                self.error('imports without FROM')
        names_line = 0
        while self.peek() != 'END':
            module.types.append(self.assignment(module))
        self.take('END')
        if self.pos != len(self.tokens):
            self.error('text after END')
        return module

    def pending_names(self, line):
        """The "names" comment on the lines before a type assignment, if any."""
        for number in range(line - 1, 0, -1):
            value = self.note(number, 'names')
            if value is not None:
                return [n.strip() for n in value.split(',')]
            if number in self.notes:
                continue
            return None
        return None

    def assignment(self, module):
        line = self.line()
        asn_name = self.take()
        if not asn_name[0].isupper():
            self.error('type name expected, found %r' % asn_name)
        self.take('::=')
        kind = self.take()
        if kind not in ('SEQUENCE', 'CHOICE', 'ENUMERATED'):
            self.error('SEQUENCE, CHOICE or ENUMERATED expected')
        real = self.note(line, 'name') or asn_name
        t = Type(module.name, real, asn_name, kind, line)
        self.take('{')
        if kind == 'ENUMERATED':
            self.enumerated(t, self.pending_names(line))
        else:
            self.components(t)
        return t

    def enumerated(self, t, names):
        while True:
            token = self.take()
            if token == '...':
                t.extensible = True
            else:
                self.take('(')
                value = int(self.take())
                self.take(')')
                t.enumerators.append((token, value))
            token = self.take()
            if token == '}':
                break
            if token != ',':
                self.error('"," or "}" expected')
        derived = derive_names(t.enumerators)
        t.names = names if names is not None else derived
        # The table must name the ASN.1 enumerators: the same values, each under
        # the name of the first entry of its value.
        firsts = []
        for name, value in table_values(t.names):
            if value not in [v for _, v in firsts]:
                firsts.append((name.replace('_', '-'), value))
        if sorted(firsts, key=lambda e: e[1]) != sorted(t.enumerators, key=lambda e: e[1]):
            self.error('names of %s do not match its enumerators' % t.asn_name)

    def components(self, t):
        addition = False
        while True:
            if self.peek() == '...':
                self.take()
                if t.extensible:
                    self.error('second extension marker')
                t.extensible = True
                addition = True
            else:
                line = self.line()
                asn_name = self.take()
                if not asn_name[0].islower():
                    self.error('component name expected, found %r' % asn_name)
                type_ = self.type_ref(t.module)
                optional = False
                if self.peek() == 'OPTIONAL':
                    self.take()
                    optional = True
                    if t.kind == 'CHOICE':
                        self.error('OPTIONAL alternative')
                real = self.note(line, 'name') or asn_name
                t.components.append(Component(real, asn_name, type_, optional, addition, line))
            token = self.take()
            if token == '}':
                break
            if token != ',':
                self.error('"," or "}" expected')

    def range_(self):
        self.take('(')
        lower = int(self.take())
        self.take('..')
        upper = int(self.take())
        self.take(')')
        return lower, upper

    def type_ref(self, module):
        token = self.take()
        if token in ('SEQUENCE', 'SET'):
            self.take('OF')
            return TypeRef(token + ' OF', element=self.type_ref(module))
        if token == 'OCTET':
            self.take('STRING')
            return TypeRef('OCTET STRING')
        if token == 'OBJECT':
            self.take('IDENTIFIER')
            return TypeRef('OBJECT IDENTIFIER')
        if token == 'INTEGER':
            if self.peek() == '(':
                lower, upper = self.range_()
                return TypeRef('INTEGER', lower, upper)
            return TypeRef('INTEGER')
        if token == 'IA5String':
            if self.peek() == '(':
                self.take('(')
                self.take('SIZE')
                lower, upper = self.range_()
                self.take(')')
                return TypeRef('IA5String', lower, upper)
            return TypeRef('IA5String')
        if token in ('BOOLEAN', 'NULL'):
            return TypeRef(token)
        if token[0].isupper():
            return TypeRef('ref', module=module, name=token)
        self.error('type expected, found %r' % token)


def parse(text, path='<text>'):
    return Parser(text, path).module()


def resolve(modules):
    """Links every reference to its type; modules is a list of Module."""
    by_name = dict((m.name, m) for m in modules)

    def link(ref, module):
        if ref.element is not None:
            link(ref.element, module)
        if ref.kind != 'ref':
            return
        owner = module
        if module.find(ref.name) is None:
            source = module.imports.get(ref.name)
            if source is None or source not in by_name:
                raise ParseError('%s: unknown type %s' % (module.path, ref.name))
            owner = by_name[source]
        target = owner.find(ref.name)
        if target is None:
            raise ParseError('%s: %s does not define %s' % (module.path, owner.name, ref.name))
        ref.module = owner.name
        ref.target = target
        ref.name = target.name

    for m in modules:
        for imported, source in m.imports.items():
            if source not in by_name or by_name[source].find(imported) is None:
                raise ParseError('%s: %s not found in %s' % (m.path, imported, source))
        for t in m.types:
            for c in t.components:
                link(c.type, m)
    return by_name


def module_order(modules):
    """Modules ordered so that each comes after those it imports from."""
    by_name = dict((m.name, m) for m in modules)
    done = []

    def visit(m, stack):
        if m.name in done:
            return
        if m.name in stack:
            raise ParseError('import cycle through %s' % m.name)
        for source in sorted(set(m.imports.values())):
            visit(by_name[source], stack + [m.name])
        done.append(m.name)

    for m in sorted(modules, key=lambda m: m.name):
        visit(m, [])
    return [by_name[n] for n in done]
