"""Checks of the Group Policy templates against the component's table of
settings. Run from the repository root with
python3 -m unittest discover -s policy -p 'test_*.py'"""

import glob
import os
import re
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
ADMX = os.path.join(HERE, "KOVAUnifiedGroups.admx")
ADML = os.path.join(HERE, "en-US", "KOVAUnifiedGroups.adml")
TABLE = os.path.join(ROOT, "QuorvalCommon", "LSSettingTable.h")
# Where C++ reads or writes settings: each takes the names from the table.
CODE_FOLDERS = ("QuorvalCommon", "KOVACommon", "KOVAUnifiedGroupsSync", "tools", "bench", "tests")
POLICY_KEY = r"Software\Policies\Quorval\Quorval KOVA"
UINT32_MAX = 4294967295

# Settings of the table that are deliberately not policies.
NOT_POLICIES = {
    # Written by the component into the user's key: the service the Auto rule
    # remembers, the end of light sync, the last profile folder.
    "KOVAUnifiedGroups.AutoBackend",
    "SharepointSync.HealthScoreLightSyncEndTime",
    "KOVA.LastActiveProfileDir",
    # Older, misspelt name, read only as the default of the current name
    # SharePointSync.HealthScoreThreshold (which is the policy).
    "SharePointSync.HeathScoreThreshold",
    # Written by the host product's installer: the product folder.
    "InstallDir",
    # A location the host product caches for its own version probe.
    "KOVA.CachedLocation.MSPST",
    # Test switch: gives a host that is not the mail client a version.
    "Tenbrid.ForceOutlookVersion",
    # Test-runner switches: recording and replaying web exchanges.
    "Mock.ILSHttpRequest",
    "Mock.ILSHttpRequest.Config",
    "Mock.ILSHttpRequest.BaseRecordingDirectory",
}


def split_arguments(text):
    """The top-level, comma-separated parts of a brace initialiser."""
    parts, depth, current, quoted = [], 0, "", False
    for i, c in enumerate(text):
        if c == '"' and (i == 0 or text[i - 1] != "\\"):
            quoted = not quoted
        elif not quoted and c in "{(":
            depth += 1
        elif not quoted and c in "})":
            depth -= 1
        elif not quoted and c == "," and depth == 0:
            parts.append(current.strip())
            current = ""
            continue
        current += c
    return parts + [current.strip()] if current.strip() else parts


def number(text):
    return UINT32_MAX if text == "UINT32_MAX" else int(text)


def read_table(text):
    """name -> {"kind", "default", "use", "range" or "choices"}, and the count
    of declarations, so a row the reader cannot take shows."""
    choices = {name: re.findall(r'L"([^"]*)"', values)
               for name, values in re.findall(r"constexpr const wchar_t\* (\w+)\[\] = \{(.*)\};", text)}
    settings = {}
    for kind, args in re.findall(r"^inline constexpr LS(Text|Number)Setting \w+\{(.*)\};$", text, re.M):
        parts = split_arguments(args)
        name = re.fullmatch(r'L"([^"]+)"', parts[0]).group(1)
        row = {"kind": kind.lower(), "use": parts[2].split("::")[-1]}
        if kind == "Number":
            row["default"] = number(parts[1])
            row["range"] = (number(parts[3]) if len(parts) > 3 else 0, number(parts[4]) if len(parts) > 4 else UINT32_MAX)
        else:
            row["default"] = None if parts[1] == "nullptr" else re.fullmatch(r'L"([^"]*)"', parts[1]).group(1)
            row["choices"] = choices[parts[3]] if len(parts) > 3 else None
        settings[name] = row
    declared = len(re.findall(r"LS(?:Text|Number)Setting \w+\{", text))
    return settings, declared


def template_values(admx):
    """Every value the templates set: name -> ("number", (least, most)) or
    ("text", choices or None)."""
    values = {}
    for policy in admx.iterfind(".//p:policy", NS):
        if policy.get("valueName"):
            # An on/off policy: 1 when enabled, 0 when disabled.
            values[policy.get("valueName")] = ("number", (0, 1))
        for element in policy.iterfind("p:elements/*", NS):
            tag = element.tag.split("}")[1]
            if tag == "decimal":
                value = ("number", (int(element.get("minValue", 0)), int(element.get("maxValue", 9999))))
            elif tag == "enum":
                value = ("text", sorted(s.text for s in element.iterfind("p:item/p:value/p:string", NS)))
            else:
                value = ("text", None)
            values[element.get("valueName")] = value
    return values


def expected_template_value(row):
    if row["kind"] == "number":
        return ("number", row["range"])
    return ("text", sorted(row["choices"]) if row["choices"] else None)


class PolicyTemplates(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.admx = ET.parse(ADMX).getroot()
        cls.adml = ET.parse(ADML).getroot()
        with open(TABLE, encoding="utf-8") as f:
            cls.table, cls.declared = read_table(f.read())

    def test_every_string_and_presentation_reference_resolves(self):
        strings = {s.get("id") for s in self.adml.iterfind(".//p:stringTable/p:string", NS)}
        presentations = {p.get("id"): p for p in self.adml.iterfind(".//p:presentationTable/p:presentation", NS)}
        for element in self.admx.iter():
            for value in element.attrib.values():
                for kind, ref in re.findall(r"\$\((string|presentation)\.([^)]+)\)", value):
                    self.assertIn(ref, strings if kind == "string" else presentations, value)
        # Every presentation control points at an element of its policy.
        for policy in self.admx.iterfind(".//p:policy", NS):
            ref = re.fullmatch(r"\$\(presentation\.([^)]+)\)", policy.get("presentation", ""))
            element_ids = {e.get("id") for e in policy.iterfind("p:elements/*", NS)}
            if not ref:
                self.assertEqual(element_ids, set(), policy.get("name"))
                continue
            controls = {c.get("refId") for c in presentations[ref.group(1)]}
            self.assertEqual(controls, element_ids, policy.get("name"))
        categories = {c.get("name") for c in self.admx.iterfind(".//p:category", NS)}
        for parent in self.admx.iterfind(".//p:parentCategory", NS):
            self.assertIn(parent.get("ref"), categories)

    def test_the_table_is_read_whole_and_its_defaults_lie_within_range(self):
        self.assertEqual(self.declared, len(self.table), "a row of the table is not one declaration on one line")
        self.assertIn("KOVAUnifiedGroups.GraphRoot", self.table)
        for name, row in self.table.items():
            if row["kind"] == "number":
                least, most = row["range"]
                self.assertLessEqual(least, most, name)
                self.assertTrue(least <= row["default"] <= most, f"{name}: default {row['default']} out of range")
            elif row["choices"]:
                self.assertIn(row["default"], row["choices"], name)
            # The component's own values cannot be set for it.
            if row["use"] == "ComponentWritten":
                self.assertIn(name, NOT_POLICIES, f"{name} is written by the component")

    def test_the_templates_set_exactly_the_table_less_its_non_policies_with_its_kinds_and_ranges(self):
        names = []
        for policy in self.admx.iterfind(".//p:policy", NS):
            self.assertEqual(policy.get("key"), POLICY_KEY, policy.get("name"))
            names += [policy.get("valueName")] if policy.get("valueName") else []
            names += [e.get("valueName") for e in policy.iterfind("p:elements/*", NS)]
        self.assertEqual(len(names), len(set(names)), "a value set by two policies")
        values = template_values(self.admx)
        self.assertEqual([], sorted(set(values) - set(self.table)), "values the table lacks")
        self.assertEqual([], sorted(NOT_POLICIES - set(self.table)), "non-policies the table lacks")
        self.assertEqual([], sorted(set(values) & NOT_POLICIES), "values listed as deliberately not policies")
        missing = sorted(set(self.table) - set(values) - NOT_POLICIES)
        self.assertEqual([], missing, "settings of the table the templates lack")
        for name, value in values.items():
            self.assertEqual(expected_template_value(self.table[name]), value, name)

    def test_no_code_writes_a_setting_name_but_the_table(self):
        literals = {re.escape('L"%s"' % name) for name in self.table}
        pattern = re.compile("|".join(sorted(literals)))
        found = []
        for folder in CODE_FOLDERS:
            for path in glob.glob(os.path.join(ROOT, folder, "**", "*.*"), recursive=True):
                if not path.endswith((".cpp", ".h")) or os.path.samefile(path, TABLE):
                    continue
                with open(path, encoding="utf-8") as f:
                    for number_, line in enumerate(f, 1):
                        if pattern.search(line):
                            found.append(f"{os.path.relpath(path, ROOT)}:{number_}: {line.strip()}")
        self.assertEqual([], found, "setting names written outside the table")

    def test_the_reader_takes_every_form_of_row(self):
        table, declared = read_table(
            'inline constexpr const wchar_t* PickChoices[] = {L"One", L"Two"};\n'
            'inline constexpr LSTextSetting Pick{L"A.Pick", L"Two", EveryUse, PickChoices};\n'
            'inline constexpr LSTextSetting Free{L"A.Free", nullptr, OncePerProcess};\n'
            'inline constexpr LSNumberSetting Any{L"A.Any", 4, EveryUse};\n'
            'inline constexpr LSNumberSetting Some{L"A.Some", 24, EveryUse, 0, 720};\n'
            'inline constexpr LSNumberSetting Split{L"A.Split",\n    1, EveryUse};\n')
        self.assertEqual({"kind": "text", "default": "Two", "use": "EveryUse", "choices": ["One", "Two"]},
                         table["A.Pick"])
        self.assertEqual(None, table["A.Free"]["default"])
        self.assertEqual((0, UINT32_MAX), table["A.Any"]["range"])
        self.assertEqual((0, 720), table["A.Some"]["range"])
        self.assertEqual((5, 4), (declared, len(table)))


if __name__ == "__main__":
    unittest.main()
