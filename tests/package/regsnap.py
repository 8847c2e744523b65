"""Compares registry exports (reg export files) of copies of one Wine prefix.

  regsnap.py same-writes BASE A B   what A and B wrote over BASE is the same
  regsnap.py nothing-left BASE X    X holds nothing that BASE does not
  regsnap.py products FILE NAME     prints the DisplayVersion of every product
                                    of that DisplayName in an Uninstall export

"Wrote" is every key and value that is new or changed against BASE. Windows
Installer's own records (Classes\\Installer) are not the package's keys. Path
values compare without case and trailing backslash."""

import re
import sys

INSTALLER_RECORDS = "hkey_local_machine\\software\\classes\\installer"


def read_export(path):
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8", "replace")
    text = re.sub(r"\\\r?\n\s*", "", text)  # continued hex lines
    keys, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
        elif current is not None and "=" in line:
            name, value = split_value(line)
            current[name] = value
    return keys


def split_value(line):
    if line.startswith("@="):
        return "", parse_data(line[2:])
    m = re.match(r'"((?:\\.|[^"\\])*)"=(.*)$', line)
    return unescape(m.group(1)), parse_data(m.group(2))


def unescape(text):
    return re.sub(r"\\(.)", r"\1", text)


def parse_data(data):
    if data.startswith('"'):
        return ("REG_SZ", unescape(data[1:-1]))
    if data.startswith("dword:"):
        return ("REG_DWORD", int(data[6:], 16))
    m = re.match(r"hex(?:\(([0-9a-f]+)\))?:(.*)$", data)
    if m:
        kind = {None: "REG_BINARY", "0": "REG_NONE", "2": "REG_EXPAND_SZ", "7": "REG_MULTI_SZ",
                "b": "REG_QWORD"}.get(m.group(1), "type " + str(m.group(1)))
        return (kind, m.group(2).replace(" ", ""))
    return ("?", data)


def normalised(export):
    """Keys and value names without case; path values without case and
    trailing backslash."""
    result = {}
    for key, values in export.items():
        result[key.lower()] = {name.lower(): normal_value(value) for name, value in values.items()}
    return result


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
        changed = {n: v for n, v in values.items() if old is None or old.get(n) != v}
        if old is None or changed:
            written[key] = changed
    return written


def describe(differences):
    return "\n".join(f"  {line}" for line in differences)


def same_writes(base_path, a_path, b_path):
    base = normalised(read_export(base_path))
    a = writes(base, normalised(read_export(a_path)))
    b = writes(base, normalised(read_export(b_path)))
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
    base = normalised(read_export(base_path))
    after = normalised(read_export(path))
    left = [f"{key}: {'key' if key not in base else ', '.join(sorted(values))}"
            for key, values in writes(base, after).items()]
    left += [f"{key}: installer record" for key in after if key.startswith(INSTALLER_RECORDS + "\\")
             and key not in base]
    if left:
        print("left behind:\n" + describe(sorted(left)))
        return 1
    return 0


if __name__ == "__main__":
    command, arguments = sys.argv[1], sys.argv[2:]
    if command == "same-writes":
        sys.exit(same_writes(*arguments))
    if command == "nothing-left":
        sys.exit(nothing_left(*arguments))
    if command == "products":
        for values in read_export(arguments[0]).values():
            if values.get("DisplayName", ("", ""))[1] == arguments[1]:
                print(values.get("DisplayVersion", ("", "?"))[1])
        sys.exit(0)
    sys.exit(f"unknown command {command}")
