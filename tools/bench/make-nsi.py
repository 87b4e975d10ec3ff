#!/usr/bin/env python3
"""Writes an NSIS script that does what one unattended host installation did.

    make-nsi.py PLAN DISKS FRESH_REG AFTER_REG REPORT > install.nsi

PLAN is `brivanta-setup --plan` (which file goes where), DISKS the folder
holding DISK1..3 (where each source file lies), FRESH_REG and AFTER_REG the
machine's registry.reg before and after the installation (the values to
write), REPORT the installation's printed report (the INI entries and the
WININIT.INI renames). Nothing is listed by hand, so the installer cannot
do less than the setup did without this script failing.
"""
import os
import re
import sys


def fail(message):
    sys.exit("make-nsi.py: " + message)


def nsis_path(path):
    """A machine path as NSIS names it: the Windows and system folders by
    their variables, because Wine's C:\\windows\\system32 is where our
    setup's SYS_DIR points too."""
    path = path.replace("/", "\\")
    upper = path.upper()
    for prefix, name in (("C:\\WINDOWS\\SYSTEM\\", "$SYSDIR\\"), ("C:\\WINDOWS\\", "$WINDIR\\")):
        if upper.startswith(prefix):
            return name + path[len(prefix):]
    if upper == "C:\\WINDOWS":
        return "$WINDIR"
    return path


def quoted(text):
    # NSIS strings in double quotes: $ and " are escaped as $$ and $\".
    return '"' + text.replace("$", "$$").replace('"', '$\\"') + '"'


def quoted_path(path):
    return '"' + nsis_path(path).replace('"', '$\\"') + '"'


def find_on_disks(disks, relative):
    """The disk folder holding a file, matched without regard to case."""
    parts = relative.split("\\")
    for disk in sorted(os.listdir(disks)):
        folder = os.path.join(disks, disk)
        for part in parts:
            if not os.path.isdir(folder):
                folder = None
                break
            names = {n.lower(): n for n in os.listdir(folder)}
            if part.lower() not in names:
                folder = None
                break
            folder = os.path.join(folder, names[part.lower()])
        if folder and os.path.isfile(folder):
            return os.path.abspath(folder)
    fail("no disk holds " + relative)


def copies(plan, disks):
    for line in open(plan):
        # D:\DISK1\name: the plan names the sources as a run from D: does.
        m = re.match(r"copy [A-Z]:\\(?:DISK\d\\)?(.*) -> (.*)$", line.rstrip("\n"))
        if m:
            yield find_on_disks(disks, m.group(1)), m.group(2)


def read_registry(path):
    """{(key, value name): text} of a REGEDIT4 store holding only strings."""
    values, key = {}, None
    for line in open(path, encoding="latin-1"):
        line = line.rstrip("\r\n")
        if line.startswith("["):
            key = line[1:-1]
            values.setdefault((key, None), None)
        elif line and line != "REGEDIT4":
            m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")="((?:[^"\\]|\\.)*)"$', line)
            if not m:
                fail("%s: not a string value: %s" % (path, line))
            name = "" if m.group(1) == "@" else unescape(m.group(2))
            values[(key, name)] = unescape(m.group(3))
    return values


def unescape(text):
    return re.sub(r"\\(.)", r"\1", text)


ROOTS = {"HKEY_LOCAL_MACHINE": "HKLM", "HKEY_CURRENT_USER": "HKCU", "HKEY_USERS": "HKU",
         "HKEY_CLASSES_ROOT": "HKCR"}


def registry_lines(fresh, after):
    before = read_registry(fresh)
    for (key, name), text in read_registry(after).items():
        if before.get((key, name), 0) == text:
            continue
        root, _, sub = key.partition("\\")
        if name is None:  # keys come with the values written into them
            continue
        value = text
        if value.upper().startswith("C:\\WINDOWS"):
            value = nsis_path(value)
        else:
            value = value.replace("$", "$$")
        yield "  WriteRegStr %s %s %s \"%s\"" % (ROOTS[root], quoted(sub), quoted(name),
                                                value.replace('"', '$\\"'))


def report_lines(report):
    """The INI entries and the WININIT.INI renames the report lists."""
    ini, renames, section = [], [], None
    for line in open(report, encoding="latin-1"):
        line = line.rstrip("\n")
        if not line.startswith("  "):
            section = line
            continue
        if section.startswith("INI entries"):
            m = re.match(r"  [+~] (\S+) \[([^]]*)\] ([^=]*)=(.*)$", line)
            if not m:
                fail("unreadable INI entry: " + line)
            ini.append(m.groups())
        elif section.startswith("Renames scheduled"):
            renames.append(line.strip())
    return ini, renames


def main():
    if len(sys.argv) != 6:
        fail("usage: make-nsi.py PLAN DISKS FRESH_REG AFTER_REG REPORT")
    plan, disks, fresh, after, report = sys.argv[1:]
    out = ['Unicode true', 'Target amd64-unicode', 'Name "Brivanta 3.2"',
           'OutFile "install.exe"', 'RequestExecutionLevel user', 'SilentInstall silent',
           'SetCompressor /SOLID lzma', '', 'Section']
    folder = None
    for source, target in copies(plan, disks):
        target_folder, _, name = target.rpartition("\\")
        if target_folder != folder:
            folder = target_folder
            out.append("  SetOutPath %s" % quoted_path(folder))
        out.append('  File "/oname=%s" "%s"' % (name, source))
    out.extend(registry_lines(fresh, after))
    ini, renames = report_lines(report)
    for path, sect, key, value in ini:
        out.append("  WriteINIStr %s %s %s %s" % (quoted_path(path), quoted(sect), quoted(key),
                                                  quoted(value)))
    if renames:
        # Keys repeat (NULL=...), which WriteINIStr cannot write: as text.
        out.append('  FileOpen $0 "$WINDIR\\WININIT.INI" a')
        out.append('  FileSeek $0 0 END')
        out.append('  FileWrite $0 "[rename]$\\r$\\n"')
        for line in renames:
            key, _, value = line.partition("=")
            out.append('  FileWrite $0 "%s=%s$\\r$\\n"' % (nsis_path(key), nsis_path(value)))
        out.append('  FileClose $0')
    program = "$WINDIR\\VELMOR\\brivanta.exe"
    out.append('  CreateDirectory "$SMPROGRAMS\\Velmor Applications"')
    out.append('  CreateShortCut "$SMPROGRAMS\\Velmor Applications\\Brivanta 3.2.lnk" "%s"' % program)
    out.append('  CreateShortCut "$SMSTARTUP\\Brivanta 3.2.lnk" "%s"' % program)
    out.append('  Exec \'"%s" 1\'' % program)
    out.append('SectionEnd')
    print("\n".join(out))


main()
