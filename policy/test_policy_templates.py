"""Checks of the Group Policy templates against the component's code. Run from
the repository root with python3 -m unittest discover -s policy -p 'test_*.py'"""

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
COMPONENT_FOLDERS = ("QuorvalCommon", "KOVACommon", "KOVAUnifiedGroupsSync")
POLICY_KEY = r"Software\Policies\Quorval\Quorval KOVA"


def component_sources():
    for folder in COMPONENT_FOLDERS:
        for path in glob.glob(os.path.join(ROOT, folder, "**", "*.*"), recursive=True):
            if path.endswith((".cpp", ".h")):
                with open(path, encoding="utf-8") as f:
                    yield f.read()


def wide_literals():
    return {m for text in component_sources() for m in re.findall(r'L"([^"\\]*)"', text)}


def accepted_backends():
    """The values LSGroupSource::ConfiguredKind compares the setting with."""
    with open(os.path.join(ROOT, "KOVAUnifiedGroupsSync", "LSGroupSource.h"), encoding="utf-8") as f:
        header = f.read()
    with open(os.path.join(ROOT, "KOVAUnifiedGroupsSync", "LSGroupSource.cpp"), encoding="utf-8") as f:
        source = f.read()
    constants = dict(re.findall(r'(\w+)\s*=\s*L"([^"]*)"', header + source))
    body = source[source.index("LSGroupSource::ConfiguredKind()"):]
    body = body[:body.index("\n}\n")]
    return {constants[name] for name in re.findall(r"EqualsNoCase\((\w+)\)", body)}


class PolicyTemplates(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.admx = ET.parse(ADMX).getroot()
        cls.adml = ET.parse(ADML).getroot()

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

    def test_every_value_is_a_setting_the_component_reads_under_the_policy_key(self):
        literals = wide_literals()
        names = []
        for policy in self.admx.iterfind(".//p:policy", NS):
            self.assertEqual(policy.get("key"), POLICY_KEY, policy.get("name"))
            names += [policy.get("valueName")] if policy.get("valueName") else []
            names += [e.get("valueName") for e in policy.iterfind("p:elements/*", NS)]
        self.assertEqual(len(names), len(set(names)))
        for name in names:
            self.assertIn(name, literals, f"{name} is not a setting the component reads")
        self.assertTrue({"KOVAUnifiedGroups.Backend", "KOVAUnifiedGroups.GraphRoot", "KOVAUnifiedGroups.Resource",
                         "KOVAUnifiedGroups.ClientId", "KOVAUnifiedGroups.GroupResourceName", "KOVA.Log.Error",
                         "KOVA.Log.Diag", "KOVA.Log.Perf", "KOVA.LogDir", "KOVA.Log.DeleteLogsAfterMins",
                         "KOVA.Http.Client"}
                        <= set(names))

    def test_the_backend_lists_exactly_the_values_the_code_accepts(self):
        enum = self.admx.find(".//p:enum[@valueName='KOVAUnifiedGroups.Backend']", NS)
        listed = [s.text for s in enum.iterfind("p:item/p:value/p:string", NS)]
        self.assertEqual(len(listed), len(set(listed)))
        self.assertEqual(set(listed), accepted_backends())
        self.assertEqual(accepted_backends(), {"Auto", "EWS", "Graph"})

    def test_the_http_client_lists_exactly_the_values_the_code_accepts(self):
        enum = self.admx.find(".//p:enum[@valueName='KOVA.Http.Client']", NS)
        listed = {s.text for s in enum.iterfind("p:item/p:value/p:string", NS)}
        with open(os.path.join(ROOT, "KOVACommon", "LSHttpClientChoice.cpp"), encoding="utf-8") as f:
            constants = dict(re.findall(r'(\w+Name)\s*=\s*L"([^"]*)"', f.read()))
        self.assertEqual(listed, set(constants.values()))
        self.assertEqual(listed, {"WinHTTP", "XMLHTTP"})


if __name__ == "__main__":
    unittest.main()
