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

# Settings the component reads that are deliberately not policies. A name
# ending in ".*" stands for every name with that beginning.
NOT_POLICIES = {
    # The service remembered for the user; the component writes it itself.
    "KOVAUnifiedGroups.AutoBackend",
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
    "Mock.*",
}

# The settings store's reading operations and the kind of value each reads.
READERS = {"GetUserDwordConfigDetails": "number", "GetUserDword": "number",
           "GetUserStringConfigDetails": "text", "GetUserString": "text"}
STORE_FILES = ("LSSetting.h", "LSSetting.cpp")
LITERAL = r'L"((?:\\.|[^"\\])*)"'


def without_comments(text):
    """Blanks comments, keeping string literals, offsets and line numbers."""
    def blank(match):
        token = match.group(0)
        return token if token[0] in "\"'" else re.sub(r"[^\n]", " ", token)
    return re.sub(r'"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|//[^\n]*|/\*.*?\*/', blank, text, flags=re.S)


def component_files():
    for folder in COMPONENT_FOLDERS:
        for path in sorted(glob.glob(os.path.join(ROOT, folder, "**", "*.*"), recursive=True)):
            if path.endswith((".cpp", ".h")):
                with open(path, encoding="utf-8") as f:
                    yield path, without_comments(f.read())


def call_arguments(text, open_paren):
    """The top-level argument texts of the call whose "(" is at open_paren."""
    depth, args, current, i = 0, [], "", open_paren
    while i < len(text):
        c = text[i]
        if c == '"':
            end = i + re.match(r'"(?:\\.|[^"\\])*"', text[i:]).end()
            current += text[i:end]
            i = end
            continue
        if c in "([{":
            depth += 1
            if depth == 1:
                i += 1
                continue
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                return args + [current.strip()]
        elif c == "," and depth == 1:
            args.append(current.strip())
            current = ""
            i += 1
            continue
        current += c
        i += 1
    return args


def is_declaration(argument):
    """A parameter in a declaration ("const std::wstring& name"), not a value."""
    return re.fullmatch(r"(const\s+)?[\w:<>]+(\s+const)?\s*[*&]*\s*(const\s+)?\w+(\s*=.*)?", argument) is not None \
        and re.search(r"[\w>]\s*[\s*&]\s*\w", argument.split("=")[0]) is not None


class SettingReads:
    """Every setting name the component reads through the settings store, with
    the kind of value read. Names are followed through named constants, local
    variables and the parameters of functions that pass a name on; a name put
    together at run time is known by its literal beginning ("Mock.*")."""

    def __init__(self, files=None):
        self.files = list(component_files()) if files is None else files
        self.constants = {}  # name -> literal; a file's own first
        self.file_constants = {}
        for path, text in self.files:
            for name, value in re.findall(r"\b(\w+)\s*(?:\[\s*\])?\s*(?:=|\{|\()\s*" + LITERAL + r"\s*[;,)}]", text):
                self.constants.setdefault(name, value)
                self.file_constants.setdefault(path, {}).setdefault(name, value)
        self.kinds = {}
        self.unresolved = []
        for path, text in self.files:
            inside_store = os.path.basename(path) in STORE_FILES
            for m in re.finditer(r"\b(%s)\s*\(" % "|".join(READERS), text):
                if text[:m.start()].rstrip().endswith("::"):
                    continue  # the store's own definitions
                args = call_arguments(text, m.end() - 1)
                if not args or is_declaration(args[0]):
                    continue
                for name in self.resolve(args[0], path, text, m.start(), 0, inside_store):
                    self.kinds.setdefault(name, set()).add(READERS[m.group(1)])

    def resolve(self, expression, path, text, position, depth, inside_store=False):
        expression = re.sub(r"\.c_str\(\)$", "", expression.strip())
        literal = re.fullmatch(LITERAL, expression)
        if literal:
            return [literal.group(1)] if literal.group(1) else []
        parts = call_arguments("(" + expression.replace("+", ",") + ")", 0) if "+" in expression else []
        if len(parts) > 1:
            # Put together at run time: known by its beginning.
            head = self.resolve(parts[0], path, text, position, depth, inside_store)
            return [h if h.endswith(".*") else h + "*" if h.endswith(".") else h + ".*" for h in head]
        wrapped = re.fullmatch(r"(?:std::wstring|CStdStr|_bstr_t|std::wstring_view)\s*[({](.*)[)}]", expression)
        if wrapped:
            return self.resolve(wrapped.group(1), path, text, position, depth, inside_store)
        identifier = re.fullmatch(r"(?:\w+::)*(\w+)", expression)
        if identifier:
            name = identifier.group(1)
            local = self.local_value(text, position, name)
            if local is not None:
                return self.resolve(local, path, text, position, depth, inside_store)
            own = self.file_constants.get(path, {})
            if name in own or name in self.constants:
                return [own.get(name, self.constants.get(name))]
            function = self.enclosing_function(text, position, name)
            if function and inside_store:
                return []  # the store passing its caller's name on
            if function and depth < 6:
                return self.through_callers(*function, depth)
        line = text.count("\n", 0, position) + 1
        self.unresolved.append(f"{os.path.relpath(path, ROOT)}:{line}: {expression}")
        return []

    @staticmethod
    def local_value(text, position, name):
        """The initialiser of a local variable of that name before the
        reading, in the same function body."""
        body = text.rfind("\n{", 0, position)
        found = None
        for m in re.finditer(r"[\w>&*]\s+%s\s*(=\s*([^;]+)|\((.*)\)|\{(.*)\})\s*;" % re.escape(name),
                             text[body:position]):
            found = next(g for g in m.groups()[1:] if g is not None).strip()
        return found

    @staticmethod
    def enclosing_function(text, position, parameter):
        """(function name, index) when the name is a parameter of the
        function the reading is in, else None."""
        signatures = re.finditer(r"\b(\w+)\s*\(([^()]*)\)\s*(?:const\s*)?(?:noexcept\s*)?(?:->[^{;]*)?\{",
                                 text[:position])
        for m in reversed(list(signatures)):
            if m.group(1) in ("if", "for", "while", "switch", "catch"):
                continue
            names = [re.findall(r"(\w+)\s*(?:=.*)?$", p.strip()) for p in m.group(2).split(",")]
            names = [n[0] if n else "" for n in names]
            return (m.group(1), names.index(parameter)) if parameter in names else None
        return None

    def through_callers(self, function, index, depth):
        names = []
        for path, text in self.files:
            for m in re.finditer(r"(?<![\w:])%s\s*\(" % re.escape(function), text):
                args = call_arguments(text, m.end() - 1)
                if len(args) <= index or is_declaration(args[index]):
                    continue
                names += self.resolve(args[index], path, text, m.start(), depth + 1)
        return names


def not_policy(name):
    return any(name == entry or (entry.endswith(".*") and name.startswith(entry[:-1])) for entry in NOT_POLICIES)


def accepted_backends():
    """The values LSGroupSource::ConfiguredKind compares the setting with."""
    with open(os.path.join(ROOT, "KOVAUnifiedGroupsSync", "GroupSources", "LSGroupSource.h"), encoding="utf-8") as f:
        header = f.read()
    with open(os.path.join(ROOT, "KOVAUnifiedGroupsSync", "GroupSources", "LSGroupSource.cpp"), encoding="utf-8") as f:
        source = f.read()
    constants = dict(re.findall(r'(\w+)\s*=\s*L"([^"]*)"', header + source))
    body = source[source.index("LSGroupSource::ConfiguredKind()"):]
    body = body[:body.index("\n}\n")]
    return {constants[name] for name in re.findall(r"EqualsNoCase\((\w+)\)", body)}


def template_values(admx):
    """Every value the templates set: name -> "number" or "text"."""
    values = {}
    for policy in admx.iterfind(".//p:policy", NS):
        if policy.get("valueName"):
            values[policy.get("valueName")] = "number" if policy.find(".//p:decimal", NS) is not None else "text"
        for element in policy.iterfind("p:elements/*", NS):
            tag = element.tag.split("}")[1]
            number = tag == "decimal" or (tag == "enum" and element.find(".//p:decimal", NS) is not None) \
                or tag == "boolean"
            values[element.get("valueName")] = "number" if number else "text"
    return values


class PolicyTemplates(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.admx = ET.parse(ADMX).getroot()
        cls.adml = ET.parse(ADML).getroot()
        cls.reads = SettingReads()

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

    def test_every_value_is_a_setting_the_component_reads_of_that_kind(self):
        names = []
        for policy in self.admx.iterfind(".//p:policy", NS):
            self.assertEqual(policy.get("key"), POLICY_KEY, policy.get("name"))
            names += [policy.get("valueName")] if policy.get("valueName") else []
            names += [e.get("valueName") for e in policy.iterfind("p:elements/*", NS)]
        self.assertEqual(len(names), len(set(names)))
        for name, kind in template_values(self.admx).items():
            self.assertIn(name, self.reads.kinds, f"{name} is not a setting the component reads")
            self.assertEqual({kind}, self.reads.kinds[name], f"{name}: the template sets a {kind}")
            self.assertFalse(not_policy(name), f"{name} is listed as deliberately not a policy")

    def test_every_setting_the_component_reads_is_a_policy_or_listed_as_not_one(self):
        self.assertEqual([], self.reads.unresolved, "readings whose setting name cannot be told")
        values = template_values(self.admx)
        missing = sorted(name for name in self.reads.kinds if name not in values and not not_policy(name))
        self.assertEqual([], missing, "settings the component reads that the templates lack")
        # The exceptions are still read, and the discovery finds what it must.
        for entry in NOT_POLICIES:
            self.assertTrue(any(name == entry or (entry.endswith(".*") and name.startswith(entry[:-1]))
                                for name in self.reads.kinds), f"{entry} is no longer read")
        self.assertTrue({"KOVAUnifiedGroups.Backend", "KOVAUnifiedGroups.GraphRoot", "KOVAUnifiedGroups.Resource",
                         "KOVAUnifiedGroups.ClientId", "KOVAUnifiedGroups.GroupResourceName",
                         "KOVAUnifiedGroups.GraphBatchesInFlight", "KOVAUnifiedGroups.LibraryRefreshHours",
                         "KOVA.Http.NoAnswerSeconds", "KOVA.Http.Client",
                         "KOVA.Log.Error",
                         "KOVA.Log.Diag", "KOVA.Log.Perf", "KOVA.LogDir", "KOVA.Log.DeleteLogsAfterMins",
                         "SharePointSync.HealthScoreThreshold", "OverrideAppDataPath"} <= set(self.reads.kinds))

    def test_discovery_follows_the_ways_code_names_a_setting(self):
        # Cases of the reading code in miniature: a literal, a named constant,
        # a local variable, a wrapper's parameter and a composed name.
        reads = SettingReads([("a.cpp", without_comments(
            'const wchar_t* const ClientSetting = L"KOVA.Http.Client";\n'
            'constexpr wchar_t LimitSetting[] = L"KOVA.Some.Limit";\n'
            'namespace {\n'
            'DWORD Number(const wchar_t* name, DWORD fallback)\n'
            '{\n'
            '    return LSSetting::GetInstance().GetUserDwordConfigDetails(name, fallback).value;\n'
            '}\n'
            '}\n'
            'void Read()\n'
            '{\n'
            '    // GetUserString(L"Commented.Out", L"")\n'
            '    auto a = settings.GetUserStringConfigDetails(ClientSetting, L"WinHTTP").value;\n'
            '    auto b = LSSetting::GetInstance().GetUserString(L"Literal.Name", L"");\n'
            '    const std::wstring key = std::wstring(L"Mock.") + Traits::Name();\n'
            '    auto c = settings.GetUserString(key + L".Config", L"");\n'
            '    auto d = Number(L"Through.Wrapper", 4);\n'
            '    auto e = settings.GetUserString(SomethingComputed(), L"");\n'
            '    auto f = settings.GetUserDwordConfigDetails(Owner::LimitSetting, 2).value;\n'
            '}\n'))])
        self.assertEqual({"KOVA.Http.Client": {"text"}, "Literal.Name": {"text"}, "Mock.*": {"text"},
                          "Through.Wrapper": {"number"}, "KOVA.Some.Limit": {"number"}}, reads.kinds)
        self.assertEqual(1, len(reads.unresolved))
        self.assertIn("SomethingComputed()", reads.unresolved[0])

    def test_the_backend_lists_exactly_the_values_the_code_accepts(self):
        enum = self.admx.find(".//p:enum[@valueName='KOVAUnifiedGroups.Backend']", NS)
        listed = [s.text for s in enum.iterfind("p:item/p:value/p:string", NS)]
        self.assertEqual(len(listed), len(set(listed)))
        self.assertEqual(set(listed), accepted_backends())
        self.assertEqual(accepted_backends(), {"Auto", "EWS", "Graph"})

    def test_the_http_client_lists_exactly_the_values_the_code_accepts(self):
        enum = self.admx.find(".//p:enum[@valueName='KOVA.Http.Client']", NS)
        listed = {s.text for s in enum.iterfind("p:item/p:value/p:string", NS)}
        with open(os.path.join(ROOT, "KOVACommon", "http", "LSHttpClientChoice.cpp"), encoding="utf-8") as f:
            constants = dict(re.findall(r'(\w+Name)\s*=\s*L"([^"]*)"', f.read()))
        self.assertEqual(listed, set(constants.values()))
        self.assertEqual(listed, {"WinHTTP", "XMLHTTP"})


if __name__ == "__main__":
    unittest.main()
