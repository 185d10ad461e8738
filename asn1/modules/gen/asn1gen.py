#!/usr/bin/env python3
"""Generates the C++ classes and constant descriptors of the message modules.

    asn1gen.py --out DIR MODULE.asn ...

writes DIR/<module>.h and DIR/<module>.cpp for every module, and DIR/Modules.h
and DIR/Modules.cpp with the table of all modules and their types. The form of
the generated classes is described in the header comment written by
header_comment() below (and in asn1/ASN1.h).
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import asn1parse  # noqa: E402

CPP_KEYWORDS = set('''alignas alignof and and_eq asm auto bitand bitor bool break case catch
char char16_t char32_t class compl const constexpr const_cast continue decltype default delete
do double dynamic_cast else enum explicit export extern false float for friend goto if inline
int long mutable namespace new noexcept not not_eq nullptr operator or or_eq private protected
public register reinterpret_cast return short signed sizeof static static_assert static_cast
struct switch template this thread_local throw true try typedef typeid typename union unsigned
using virtual void volatile wchar_t while xor xor_eq NULL EOF errno assert'''.split())
# Members of the runtime classes that a nested enumerator must not hide.
RUNTIME_MEMBERS = set('''info create compare clone accept print_on asValueNotation do_compare
do_clone do_accept getValue setValue getMaximum extendable getName swap theInfo InfoType
NamedNumber'''.split())

TAGS = {'INTEGER': 2, 'BOOLEAN': 1, 'NULL': 5, 'IA5String': 22, 'OCTET STRING': 4,
        'OBJECT IDENTIFIER': 6, 'SEQUENCE': 16, 'CHOICE': 0, 'ENUMERATED': 10}


def cpp_name(name):
    """An ASN.1 name as a C++ identifier: "-" becomes "_"."""
    return name.replace('-', '_')


def enumerator_name(name):
    ident = cpp_name(name)
    if ident in CPP_KEYWORDS or ident in RUNTIME_MEMBERS:
        ident += '_'
    return ident


def c_string(text):
    return '"%s"' % text.replace('\\', '\\\\').replace('"', '\\"')


class Generator(object):
    def __init__(self, modules):
        self.modules = modules
        self.local_strings = {}     # (module, lower, upper) -> descriptor name

    # --- classes and descriptors of component types -----------------------

    def class_of(self, ref, module):
        """The C++ class of a component of type ref, as seen from module."""
        if ref.kind == 'INTEGER':
            if ref.constrained():
                return 'ASN1::Constrained_INTEGER<ASN1::FixedConstraint, %d, %du>' % (
                    ref.lower, ref.upper)
            return 'ASN1::INTEGER'
        if ref.kind == 'BOOLEAN':
            return 'ASN1::BOOLEAN'
        if ref.kind == 'NULL':
            return 'ASN1::Null'
        if ref.kind == 'IA5String':
            return 'ASN1::IA5String'
        if ref.kind == 'OCTET STRING':
            return 'ASN1::OCTET_STRING'
        if ref.kind == 'OBJECT IDENTIFIER':
            return 'ASN1::OBJECT_IDENTIFIER'
        if ref.kind == 'SEQUENCE OF':
            return 'ASN1::SEQUENCE_OF<%s>' % self.class_of(ref.element, module)
        if ref.kind == 'SET OF':
            return 'ASN1::SET_OF<%s>' % self.class_of(ref.element, module)
        if ref.module == module.name:
            return ref.name
        return '%s::%s' % (ref.module, ref.name)

    def info_of(self, ref, module):
        """The descriptor address of a component of type ref."""
        if ref.kind == 'IA5String' and ref.constrained():
            key = (module.name, ref.lower, ref.upper)
            if key not in self.local_strings:
                self.local_strings[key] = 'IA5String_%d_%d_theInfo' % (ref.lower, ref.upper)
            return '&' + self.local_strings[key]
        return '&%s::theInfo' % self.class_of(ref, module)

    def setter(self, ref, module, cls, call):
        """(parameter, statement) of the typed set_ accessor, or None."""
        kind = ref.kind
        if kind == 'INTEGER':
            if not ref.constrained():
                return 'int v', '%s.setValue(v);' % call
            return ('int v' if ref.lower < 0 else 'unsigned v'), '%s = v;' % call
        if kind == 'BOOLEAN':
            return 'bool v', '%s = v;' % call
        if kind == 'IA5String':
            return 'const std::string& v', '%s = v;' % call
        if kind == 'ref' and ref.target.kind == 'ENUMERATED':
            return '%s::NamedNumber v' % cls, '%s = v;' % call
        if kind == 'NULL':
            return None
        return 'const %s& v' % cls, '%s = v;' % call

    # --- header --------------------------------------------------------------

    def header(self, module):
        out = []
        w = out.append
        w('#pragma once')
        w('// Generated from asn1/modules/%s.asn by asn1/modules/gen/asn1gen.py; do not edit.' % module.name)
        w('//')
        w(header_comment())
        w('#include <cstddef>')
        w('#include <cstdint>')
        w('#include <string>')
        w('#include <vector>')
        w('')
        w('#include "asn1/ASN1.h"')
        w('#include "asn1/modules/Modules.h"')
        for source in sorted(set(module.imports.values())):
            w('#include "asn1/modules/%s.h"' % source)
        w('')
        w('namespace %s {' % module.name)
        w('')
        for t in module.types:
            w('class %s;' % t.name)
        w('')
        # Enumerations first: accessors of the other classes name their NamedNumber.
        for t in module.types:
            if t.kind == 'ENUMERATED':
                out.extend(self.enum_class(t))
        for t in module.types:
            if t.kind == 'SEQUENCE':
                out.extend(self.sequence_class(t, module))
            elif t.kind == 'CHOICE':
                out.extend(self.choice_class(t, module))
        w('// Every type of the module, in descriptor order.')
        w('extern const Asn1Modules::TypeEntry moduleTypes[%d];' % len(module.types))
        w('extern const Asn1Modules::Module moduleInfo;')
        w('')
        # Accessor bodies after all classes: a type may use types listed after it.
        for t in module.types:
            if t.kind == 'SEQUENCE':
                out.extend(self.sequence_accessors(t, module))
            elif t.kind == 'CHOICE':
                out.extend(self.choice_accessors(t, module))
        w('} // namespace %s' % module.name)
        return '\n'.join(out) + '\n'

    def common_members(self, t, kind):
        return [
            '    static const InfoType theInfo;',
            '    explicit %s(const InfoType* info = &theInfo) : ASN1::%s(info) {}' % (t.name, kind),
            '    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)',
            '    {',
            '        return new %s(static_cast<const InfoType*>(info));' % t.name,
            '    }',
            '    ASN1::AbstractData* do_clone() const override { return new %s(*this); }' % t.name,
        ]

    def enum_class(self, t):
        out = ['// %s ::= ENUMERATED%s' % (t.name, ', extensible' if t.extensible else ''),
               'class %s : public ASN1::ENUMERATED {' % t.name, 'public:']
        seen = set()
        items = []
        for name, value in t.values():
            ident = enumerator_name(name)
            if ident in seen:
                raise asn1parse.ParseError('%s: %s named twice' % (t.name, ident))
            seen.add(ident)
            items.append('%s = %d' % (ident, value))
        # A fixed 32-bit type holds any number an extension may decode.
        out.append('    enum NamedNumber : std::int32_t {')
        for i, item in enumerate(items):
            out.append('        %s%s' % (item, ',' if i + 1 < len(items) else ''))
        out.append('    };')
        out.extend(self.common_members(t, 'ENUMERATED'))
        out.extend([
            '',
            '    NamedNumber getValue() const { return static_cast<NamedNumber>(ENUMERATED::getValue()); }',
            '    void setValue(NamedNumber v) { ENUMERATED::setValue(v); }',
            '    %s& operator=(NamedNumber v) { setValue(v); return *this; }' % t.name,
            '};', ''])
        return out

    def sequence_class(self, t, module):
        out = ['// %s ::= SEQUENCE%s' % (t.name, ', extensible' if t.extensible else ''),
               'class %s : public ASN1::SEQUENCE {' % t.name, 'public:']
        optional = self.optional_numbers(t)
        if optional:
            out.append('    enum OptionalFields {')
            names = [c for c in t.components if c in optional]
            for i, c in enumerate(names):
                out.append('        e_%s = %d%s' % (cpp_name(c.name), optional[c],
                                                    ',' if i + 1 < len(names) else ''))
            out.append('    };')
        out.extend(self.common_members(t, 'SEQUENCE'))
        out.append('')
        for c in t.components:
            cls = self.class_of(c.type, module)
            n = cpp_name(c.name)
            out.append('    %s& get_%s();' % (cls, n))
            out.append('    const %s& get_%s() const;' % (cls, n))
            s = self.setter(c.type, module, cls, '')
            if s:
                out.append('    void set_%s(%s);' % (n, s[0]))
                if c.type.kind == 'OCTET STRING':
                    out.append('    void set_%s(const std::string& v);' % n)
            if c in optional:
                out.append('    bool has_%s() const { return hasOptionalField(e_%s); }' % (n, n))
                out.append('    %s& include_%s();' % (cls, n))
                out.append('    void remove_%s() { removeOptionalField(e_%s); }' % (n, n))
        out.extend(['};', ''])
        return out

    def optional_numbers(self, t):
        """Component -> optional number: OPTIONAL root fields, then extension additions."""
        numbers = {}
        root_optional = [c for c in t.root() if c.optional]
        for i, c in enumerate(root_optional):
            numbers[c] = i
        for k, c in enumerate(t.additions()):
            numbers[c] = len(root_optional) + k
        return numbers

    def sequence_accessors(self, t, module):
        out = []
        optional = self.optional_numbers(t)
        for index, c in enumerate(t.root() + t.additions()):
            cls = self.class_of(c.type, module)
            n = cpp_name(c.name)
            args = '%d, e_%s' % (index, n) if c in optional else '%d' % index
            call = 'fieldAs<%s>(%s)' % (cls, args)
            out.append('inline %s& %s::get_%s() { return %s; }' % (cls, t.name, n, call))
            out.append('inline const %s& %s::get_%s() const { return %s; }' % (cls, t.name, n, call))
            s = self.setter(c.type, module, cls, call)
            if s:
                out.append('inline void %s::set_%s(%s) { %s }' % (t.name, n, s[0], s[1]))
                if c.type.kind == 'OCTET STRING':
                    out.append('inline void %s::set_%s(const std::string& v) { %s = v; }' % (t.name, n, call))
            if c in optional:
                out.append('inline %s& %s::include_%s()' % (cls, t.name, n))
                out.append('{')
                out.append('    includeOptionalField(e_%s, %d);' % (n, index))
                out.append('    return %s;' % call)
                out.append('}')
        out.append('')
        return out

    def choice_class(self, t, module):
        out = ['// %s ::= CHOICE%s' % (t.name, ', extensible' if t.extensible else ''),
               'class %s : public ASN1::CHOICE {' % t.name, 'public:']
        alts = t.root() + t.additions()
        out.append('    enum Choices {')
        for i, c in enumerate(alts):
            out.append('        %s_chosen = %d%s' % (cpp_name(c.name), i, ',' if i + 1 < len(alts) else ''))
        out.append('    };')
        out.extend(self.common_members(t, 'CHOICE'))
        out.append('')
        for c in alts:
            cls = self.class_of(c.type, module)
            n = cpp_name(c.name)
            if c.type.kind == 'NULL':
                out.append('    void set_%s();' % n)
                continue
            out.append('    %s& get_%s();' % (cls, n))
            out.append('    const %s& get_%s() const;' % (cls, n))
            out.append('    %s& set_%s();' % (cls, n))
            s = self.setter(c.type, module, cls, '')
            out.append('    void set_%s(%s);' % (n, s[0]))
            if c.type.kind == 'OCTET STRING':
                out.append('    void set_%s(const std::string& v);' % n)
        out.extend(['};', ''])
        return out

    def choice_accessors(self, t, module):
        out = []
        for c in t.root() + t.additions():
            cls = self.class_of(c.type, module)
            n = cpp_name(c.name)
            chosen = '%s_chosen' % n
            if c.type.kind == 'NULL':
                out.append('inline void %s::set_%s() { selectAs<ASN1::Null>(%s); }' % (t.name, n, chosen))
                continue
            get = 'selectionAs<%s>(%s)' % (cls, chosen)
            select = 'selectAs<%s>(%s)' % (cls, chosen)
            out.append('inline %s& %s::get_%s() { return %s; }' % (cls, t.name, n, get))
            out.append('inline const %s& %s::get_%s() const { return %s; }' % (cls, t.name, n, get))
            out.append('inline %s& %s::set_%s() { return %s; }' % (cls, t.name, n, select))
            s = self.setter(c.type, module, cls, select)
            if c.type.kind in ('ref', 'SEQUENCE OF', 'SET OF', 'OBJECT IDENTIFIER', 'OCTET STRING') and \
                    not (c.type.kind == 'ref' and c.type.target.kind == 'ENUMERATED'):
                # A copy of the whole value becomes the selection.
                out.append('inline void %s::set_%s(%s) { setSelection(%s, v.clone()); }' % (
                    t.name, n, s[0], chosen))
            else:
                out.append('inline void %s::set_%s(%s) { %s }' % (t.name, n, s[0], s[1]))
            if c.type.kind == 'OCTET STRING':
                out.append('inline void %s::set_%s(const std::string& v) { %s = v; }' % (t.name, n, select))
        out.append('')
        return out

    # --- source ------------------------------------------------------------

    def source(self, module):
        self.local_strings = {}
        body = []
        w = body.append
        for t in module.types:
            if t.kind == 'ENUMERATED':
                w('const char* const %s_enum_names__[] = {' % t.name)
                w(self.wrap([c_string(n) for n in t.names]) + '};')
                w('')
            elif t.kind == 'SEQUENCE':
                fields = t.root() + t.additions()
                w('const ASN1::AbstractData::InfoType* const %s_fieldInfos[] = {' % t.name)
                w(self.wrap([self.info_of(c.type, module) for c in fields]) + '};')
                optional = self.optional_numbers(t)
                ids = [str(optional[c]) if c.optional else '-1' for c in t.root()]
                w('const std::int32_t %s_fieldIds[] = {%s};' % (t.name, ', '.join(ids)))
                w('const char* const %s_fieldNames[] = {' % t.name)
                w(self.wrap([c_string(c.name) for c in fields]) + '};')
                w('')
            else:
                alts = t.root() + t.additions()
                w('const ASN1::AbstractData::InfoType* const %s_selectionInfos[] = {' % t.name)
                w(self.wrap([self.info_of(c.type, module) for c in alts]) + '};')
                w('const char* const %s_selectionNames[] = {' % t.name)
                w(self.wrap([c_string(c.name) for c in alts]) + '};')
                w('')
        out = []
        w = out.append
        w('// Generated from asn1/modules/%s.asn by asn1/modules/gen/asn1gen.py; do not edit.' % module.name)
        w('#include "asn1/modules/%s.h"' % module.name)
        w('')
        w('#include <cstdint>')
        w('')
        w('namespace %s {' % module.name)
        w('namespace {')
        w('')
        for (_, lower, upper), name in sorted(self.local_strings.items()):
            w('// IA5String (SIZE(%d..%d))' % (lower, upper))
            w('const ASN1::AbstractString::InfoType %s = {' % name)
            w('    {{&ASN1::IA5String::create, 22}, ASN1::FixedConstraint, %d, %du},' % (lower, upper))
            w('    ASN1::IA5StringSet, 128, 7, 7, 8};')
            w('')
        out.extend(body)
        w('} // namespace')
        w('')
        for t in module.types:
            ext = 'true' if t.extensible else 'false'
            if t.kind == 'ENUMERATED':
                w('const %s::InfoType %s::theInfo = {' % (t.name, t.name))
                w('    {&%s::create, 10}, %s, %d, %s_enum_names__, %d};' % (
                    t.name, ext, t.maximum(), t.name, len(t.names)))
            elif t.kind == 'SEQUENCE':
                root = t.root()
                w('const %s::InfoType %s::theInfo = {' % (t.name, t.name))
                w('    {&%s::create, 16}, %s, %s_fieldInfos, %s_fieldIds,' % (t.name, ext, t.name, t.name))
                w('    %d, %d, %d, nullptr, nullptr, %s_fieldNames};' % (
                    len(root), len(t.additions()), sum(1 for c in root if c.optional), t.name))
            else:
                w('const %s::InfoType %s::theInfo = {' % (t.name, t.name))
                w('    {&%s::create, 0}, %s, %s_selectionInfos, %d, %d, nullptr, %s_selectionNames};' % (
                    t.name, ext, t.name, len(t.root()), len(t.components), t.name))
            w('')
        w('const Asn1Modules::TypeEntry moduleTypes[%d] = {' % len(module.types))
        entries = ['{%s, &%s::theInfo}' % (c_string(t.name), t.name) for t in module.types]
        for i, e in enumerate(entries):
            w('    %s%s' % (e, ',' if i + 1 < len(entries) else ''))
        w('};')
        w('')
        w('const Asn1Modules::Module moduleInfo = {%s, moduleTypes, %d};' % (
            c_string(module.name), len(module.types)))
        w('')
        w('} // namespace %s' % module.name)
        return '\n'.join(out) + '\n'

    @staticmethod
    def wrap(items, indent='    ', width=100):
        lines = []
        line = indent
        for i, item in enumerate(items):
            text = item + (', ' if i + 1 < len(items) else '')
            if len(line) + len(text.rstrip()) > width and line.strip():
                lines.append(line.rstrip())
                line = indent
            line += text
        lines.append(line.rstrip())
        return '\n'.join(lines)

    # --- module table --------------------------------------------------------

    def modules_header(self):
        return '''#pragma once
// Generated by asn1/modules/gen/asn1gen.py; do not edit.
// The table of the message modules and their types.
#include <cstddef>

#include "asn1/AbstractData.h"

namespace Asn1Modules {

struct TypeEntry {
    const char* name;                           // as the module names it
    const ASN1::AbstractData::InfoType* info;   // its descriptor
};

struct Module {
    const char* name;
    const TypeEntry* types;                     // descriptor order
    std::size_t typeCount;
};

const std::size_t moduleCount = %d;
// In import order: each module after those it uses.
extern const Module* const modules[moduleCount];

// The module of that name, or null.
const Module* findModule(const char* name);
// The type of that name in the module, or null.
const TypeEntry* findType(const Module& module, const char* name);

} // namespace Asn1Modules
''' % len(self.modules)

    def modules_source(self):
        out = ['// Generated by asn1/modules/gen/asn1gen.py; do not edit.',
               '#include "asn1/modules/Modules.h"', '', '#include <cstring>', '']
        for m in self.modules:
            out.append('#include "asn1/modules/%s.h"' % m.name)
        out.append('')
        out.append('namespace Asn1Modules {')
        out.append('')
        out.append('const Module* const modules[moduleCount] = {')
        out.append(self.wrap(['&%s::moduleInfo' % m.name for m in self.modules]) + '};')
        out.append('''
const Module* findModule(const char* name)
{
    for (const Module* m : modules) {
        if (std::strcmp(m->name, name) == 0)
            return m;
    }
    return nullptr;
}

const TypeEntry* findType(const Module& module, const char* name)
{
    for (std::size_t i = 0; i < module.typeCount; ++i) {
        if (std::strcmp(module.types[i].name, name) == 0)
            return &module.types[i];
    }
    return nullptr;
}

} // namespace Asn1Modules''')
        return '\n'.join(out) + '\n'


def header_comment():
    return '''// Each type T of the module has a class T deriving from the runtime class of
// its kind, adding no data, with the constant descriptor T::theInfo; values
// made from the descriptor (decoded, cloned, created) are objects of T.
// Names: "-" in an ASN.1 name becomes "_" (state-channel: set_state_channel).
//
// ENUMERATED T: nested `enum NamedNumber : std::int32_t` with one enumerator
//   per name-table entry ("cs1=8" gives cs1 = 8; aliases share a value), the
//   fixed type holding any decoded number, named or not; getValue() returns
//   NamedNumber, setValue(NamedNumber) and operator=(NamedNumber) store one.
//   An enumerator named like a C++ keyword or a runtime member gets a trailing "_".
//
// SEQUENCE T, for each field f of class F (root fields, then extension additions):
//   F& get_f(); const F& get_f() const;   the field object; fatal when it has
//                                         none or, for an OPTIONAL field, when
//                                         it is absent
//   void set_f(x);                        writes x into the field object, x being
//       int          for INTEGER
//       unsigned     for INTEGER (a..b) with a >= 0 (int when a < 0)
//       bool         for BOOLEAN
//       const std::string&                for IA5String
//       E::NamedNumber                    for an ENUMERATED type E
//       const std::vector<char>& or const std::string&   for OCTET STRING
//       const F&     for any other kind except NULL (SEQUENCE, CHOICE,
//                    SEQUENCE OF, OBJECT IDENTIFIER: assignment)
//   Fields that are OPTIONAL or extension additions also have
//   enum OptionalFields { e_f = optional number }, and
//   bool has_f() const;  F& include_f();  void remove_f();
//   (include_f sets the presence bit, creates the field object when it has
//   none and returns it; remove_f clears the bit and keeps the object).
//   get_/set_ never touch the presence bits.
//
// CHOICE T, for each alternative a of class A (root, then extension additions):
//   enum Choices { a_chosen = alternative id };
//   A& get_a(); const A& get_a() const;   the selected value; fatal when a is
//                                         not selected
//   A& set_a();                           selects a with a new value, returns it
//   void set_a(x);                        selects a holding x (x as for SEQUENCE
//                                         fields; a SEQUENCE, CHOICE, SEQUENCE OF,
//                                         OCTET STRING or OBJECT IDENTIFIER is copied)
//   void set_a();                         for a NULL alternative: selects it
//
// Field and alternative classes: NULL ASN1::Null, BOOLEAN ASN1::BOOLEAN,
// INTEGER ASN1::INTEGER, INTEGER (a..b) ASN1::Constrained_INTEGER<
// ASN1::FixedConstraint, a, bu>, IA5String (also with a size) ASN1::IA5String,
// OCTET STRING ASN1::OCTET_STRING, OBJECT IDENTIFIER ASN1::OBJECT_IDENTIFIER,
// SEQUENCE OF E ASN1::SEQUENCE_OF<E>, SET OF E ASN1::SET_OF<E>.
//
// moduleTypes lists every type (name and descriptor) in descriptor order;
// moduleInfo is the module's entry in Asn1Modules::modules (Modules.h).'''


def main(argv):
    parser = argparse.ArgumentParser(description='Generates C++ from the ASN.1 message modules.')
    parser.add_argument('--out', required=True, help='folder of the generated files')
    parser.add_argument('sources', nargs='+')
    args = parser.parse_args(argv[1:])
    try:
        modules = [asn1parse.parse(open(p).read(), p) for p in args.sources]
        asn1parse.resolve(modules)
        modules = asn1parse.module_order(modules)
        gen = Generator(modules)
        files = {'Modules.h': gen.modules_header(), 'Modules.cpp': gen.modules_source()}
        for m in modules:
            files[m.name + '.h'] = gen.header(m)
            files[m.name + '.cpp'] = gen.source(m)
    except asn1parse.ParseError as e:
        sys.stderr.write('asn1gen: %s\n' % e)
        return 1
    os.makedirs(args.out, exist_ok=True)
    for name, text in sorted(files.items()):
        path = os.path.join(args.out, name)
        # Unchanged files keep their time, so that nothing is rebuilt needlessly.
        if os.path.exists(path) and open(path).read() == text:
            continue
        with open(path, 'w') as f:
            f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
