#!/usr/bin/env python3
"""Writes the .def file of a planted DLL: every export of the system's copy
(SYSTEMDLL, a PE file), named or by ordinal only, forwarded to that copy by
its full Windows path (TARGET, e.g. C:\\windows\\system32\\version), with the
same ordinals; the names given after TARGET are exported from the planted
DLL's own code instead.
Usage: make-forwarders.py SYSTEMDLL TARGET [OWN-NAME...] > NAME.def"""
import struct
import sys


def exports(path):
    data = open(path, 'rb').read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    sections = struct.unpack_from('<H', data, pe + 6)[0]
    optional_size = struct.unpack_from('<H', data, pe + 20)[0]
    magic = struct.unpack_from('<H', data, pe + 24)[0]
    directories = pe + 24 + (96 if magic == 0x10B else 112)
    export_rva = struct.unpack_from('<I', data, directories)[0]
    table = pe + 24 + optional_size

    def offset(rva):
        for index in range(sections):
            virtual_size, address, raw_size, raw = struct.unpack_from('<IIII', data, table + index * 40 + 8)
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw
        raise ValueError('RVA %#x outside the sections' % rva)

    def text(rva):
        start = offset(rva)
        return data[start:data.index(b'\0', start)].decode('ascii')

    base, functions, names, function_rva, name_rva, ordinal_rva = struct.unpack_from(
        '<IIIIII', data, offset(export_rva) + 16)
    named = {}
    for index in range(names):
        name = text(struct.unpack_from('<I', data, offset(name_rva) + 4 * index)[0])
        named[struct.unpack_from('<H', data, offset(ordinal_rva) + 2 * index)[0]] = name
    for index in range(functions):
        if struct.unpack_from('<I', data, offset(function_rva) + 4 * index)[0]:
            yield base + index, named.get(index)


def main():
    system_dll, target, own = sys.argv[1], sys.argv[2], set(sys.argv[3:])
    print('EXPORTS')
    for ordinal, name in exports(system_dll):
        if name in own:
            print('%s @%d' % (name, ordinal))
        elif name:
            print('%s = "%s.%s" @%d' % (name, target, name, ordinal))
        else:
            print('Ordinal%d = "%s.#%d" @%d NONAME' % (ordinal, target, ordinal, ordinal))


main()
