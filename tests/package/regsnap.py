"""Compares the machine registry (system.reg, saved when the prefix's
wineserver ends) of copies of one Wine prefix.

  regsnap.py same-writes BASE A B   what A and B wrote under Software\\Classes
                                    over BASE is the same
  regsnap.py nothing-left BASE X    X holds nothing under Software\\Classes
                                    that BASE does not
  regsnap.py products FILE NAME     prints the DisplayVersion of every
                                    installed product of that DisplayName

"Wrote" is every key and value that is new or changed against BASE, types
included. Windows Installer's own records (Classes\\Installer) are not the
package's keys; the containers it creates for them may stay. Path values
compare without case and trailing backslash."""

import re
import sys

CLASSES = "software\\classes\\"
INSTALLER_RECORDS = CLASSES + "installer"
UNINSTALL = "software\\microsoft\\windows\\currentversion\\uninstall\\"


def read_registry(path, under):
    """Keys (lower case) under a path, each with its values:
    name (lower case) -> (type, data)."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = re.sub(r"\\\n\s*", "", f.read())  # continued lines
    keys, current = {}, None
    for line in text.splitlines():
        if line.startswith("["):
            name = unescape(line[1:line.rindex("]")]).lower()
            current = keys.setdefault(name, {}) if name.startswith(under) else None
        elif current is not None and line and line[0] in '@"':
            name, value = split_value(line)
            current[name.lower()] = value
    return keys


def unescape(text):
    return re.sub(r"\\(x[0-9a-fA-F]{1,4}|.)",
                  lambda m: chr(int(m.group(1)[1:], 16)) if m.group(1)[0] == "x" and len(m.group(1)) > 1
                  else {"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(m.group(1), m.group(1)), text)


def split_value(line):
    if line.startswith("@="):
        return "", parse_data(line[2:])
    m = re.match(r'"((?:\\.|[^"\\])*)"=(.*)$', line)
    return unescape(m.group(1)), parse_data(m.group(2))


def parse_data(data):
    if data.startswith('"'):
        return ("REG_SZ", unescape(data[1:-1]))
    m = re.match(r'str\((\d+)\):"(.*)"$', data)
    if m:
        return ({"2": "REG_EXPAND_SZ", "7": "REG_MULTI_SZ"}.get(m.group(1), "str" + m.group(1)), unescape(m.group(2)))
    if data.startswith("dword:"):
        return ("REG_DWORD", int(data[6:], 16))
    m = re.match(r"hex(?:\(([0-9a-f]+)\))?:(.*)$", data)
    if m:
        return ({None: "REG_BINARY", "0": "REG_NONE", "7": "REG_MULTI_SZ", "b": "REG_QWORD"}.get(m.group(1), "hex" + str(m.group(1))),
                m.group(2).replace(" ", ""))
    return ("?", data)


def normal_value(value):
    kind, data = value
    if kind == "REG_SZ" and re.match(r"^[A-Za-z]:\\", data):
        return (kind, "<path>" + data.rstrip("\\").lower())
    return value


def writes(base, after):
    """Keys and values of after that are new or changed against base."""
    written = {}
    for key, values in after.items():
        if key == INSTALLER_RECORDS or key.startswith(INSTALLER_RECORDS + "\\"):
            continue
        old = base.get(key)
        changed = {n: normal_value(v) for n, v in values.items()
                   if old is None or n not in old or normal_value(old[n]) != normal_value(v)}
        if old is None or changed:
            written[key] = changed
    return written


def describe(lines):
    return "\n".join(f"  {line}" for line in lines)


def same_writes(base_path, a_path, b_path):
    base = read_registry(base_path, CLASSES)
    a = writes(base, read_registry(a_path, CLASSES))
    b = writes(base, read_registry(b_path, CLASSES))
    differences = []
    for key in sorted(set(a) | set(b)):
        if key not in a or key not in b:
            differences.append(f"{key}: only in {'the first' if key in a else 'the second'}")
            continue
        for name in sorted(set(a[key]) | set(b[key])):
            if a[key].get(name) != b[key].get(name):
                differences.append(f"{key} [{name or '@'}]: {a[key].get(name)} against {b[key].get(name)}")
    if not a:
        differences.append("nothing written")
    if differences:
        print("registry writes differ:\n" + describe(differences))
        return 1
    print(f"same writes: {len(a)} keys, {sum(len(v) for v in a.values())} values")
    return 0


def nothing_left(base_path, path):
    base = read_registry(base_path, CLASSES)
    after = read_registry(path, CLASSES)
    left = [f"{key}: {'key' if key not in base else ', '.join(sorted(values))}"
            for key, values in writes(base, after).items()]
    # A record of the product (Installer\Products\<code>...), not a container.
    left += [f"{key}: installer record" for key in after
             if key.startswith(INSTALLER_RECORDS + "\\") and key.count("\\") > INSTALLER_RECORDS.count("\\") + 1
             and key not in base]
    if left:
        print("left behind:\n" + describe(sorted(left)))
        return 1
    return 0


def products(path, display_name):
    for key, values in read_registry(path, UNINSTALL).items():
        if values.get("displayname", ("", ""))[1] == display_name:
            print(values.get("displayversion", ("", "?"))[1])
    return 0


if __name__ == "__main__":
    commands = {"same-writes": same_writes, "nothing-left": nothing_left, "products": products}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        sys.exit(f"usage: {sys.argv[0]} {'|'.join(commands)} ...")
    sys.exit(commands[sys.argv[1]](*sys.argv[2:]))
