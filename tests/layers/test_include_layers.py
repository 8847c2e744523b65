"""The include layers of the component (README, Layout): no file includes a
folder above its own, replay/ stays between its own files and the request
factory, and every project include names its header by the path from the
repository root. Run from the repository root with
python3 -m unittest discover -s tests/layers -p 'test_*.py'"""

import os
import re
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PRODUCT_FOLDERS = ("QuorvalCommon", "KOVACommon", "KOVAUnifiedGroupsSync")
# Code outside the component that includes its headers.
OTHER_FOLDERS = ("tests", "tools", "bench", "external")
SOURCE_ENDINGS = (".h", ".cpp", ".c")

# Where each file belongs: the longest matching path wins, so a file named
# here stands apart from its folder.
LAYER_OF_PATH = {
    "QuorvalCommon/": "QuorvalCommon",
    "KOVACommon/xml/": "xml",
    "KOVACommon/host/": "host",
    "KOVACommon/http/": "http",
    # The exchange engine sits on top of its requests: no request calls it.
    "KOVACommon/http/LSBaseWS": "engine",
    "KOVACommon/replay/": "replay",
    "KOVACommon/auth/": "auth",
    # The request factory, the one place that wires http/ and replay/.
    "KOVACommon/": "factory",
    "KOVAUnifiedGroupsSync/GroupSources/": "GroupSources",
    "KOVAUnifiedGroupsSync/GroupSources/ews/": "ews",
    "KOVAUnifiedGroupsSync/GroupSources/graph/": "graph",
    # The source choice builds the EWS and Graph clients behind the interface.
    "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.cpp": "source choice",
    "KOVAUnifiedGroupsSync/": "filter",
    "KOVAUnifiedGroupsSync/Module/": "Module",
}

_COMMON = {"QuorvalCommon", "xml", "host", "http", "engine", "auth", "factory"}
# What each layer may include besides itself: only layers below it.
MAY_INCLUDE = {
    "QuorvalCommon": set(),
    "xml": {"QuorvalCommon"},
    "host": {"QuorvalCommon"},
    "http": {"QuorvalCommon", "xml", "host"},
    "engine": {"QuorvalCommon", "xml", "host", "http"},
    "replay": {"QuorvalCommon", "xml", "host", "http"},
    "auth": {"QuorvalCommon", "xml", "host", "http"},
    "factory": {"QuorvalCommon", "xml", "host", "http", "replay"},
    "GroupSources": _COMMON,
    "ews": _COMMON | {"GroupSources"},
    "graph": _COMMON | {"GroupSources"},
    "source choice": _COMMON | {"GroupSources", "ews", "graph"},
    "filter": _COMMON | {"GroupSources", "source choice"},
    "Module": _COMMON | {"GroupSources", "filter"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    """The layer of a path from the root, or None outside the component."""
    matches = [prefix for prefix in LAYER_OF_PATH if path == prefix or path.startswith(prefix)]
    return LAYER_OF_PATH[max(matches, key=len)] if matches else None


def generated_headers():
    """Headers the build writes into its generated folder (CMakeLists.txt)."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        text = f.read()
    names = set(re.findall(r"^kova_idl\(\S+\s+\S+\s+(\S+\.h)\)", text, re.M))
    names |= set(re.findall(r"configure_file\(\S+\s+\$\{GENERATED_DIR\}/(\S+\.h)", text))
    return names


def source_files(folders):
    for folder in folders:
        for dirpath, _, files in os.walk(os.path.join(ROOT, folder)):
            for name in sorted(files):
                if name.endswith(SOURCE_ENDINGS):
                    path = os.path.join(dirpath, name)
                    yield os.path.relpath(path, ROOT).replace(os.sep, "/"), path


def includes_of(path):
    with open(path, encoding="utf-8") as f:
        return INCLUDE.findall(f.read())


def layer_faults(includer, included):
    """Why includer may not include included (paths from the root); None when it may."""
    mine, theirs = layer_of(includer), layer_of(included)
    if theirs is None or mine == theirs:
        return None
    if mine is None:
        return None
    if theirs not in MAY_INCLUDE[mine]:
        return "%s (%s) includes %s (%s), which is not below it" % (includer, mine, included, theirs)
    return None


def both_faults(includer, included_paths):
    """Nothing but the factory and the two layers themselves uses both http/ and replay/."""
    if includer.startswith("tests/") or layer_of(includer) in ("factory", "http", "engine", "replay"):
        return None
    layers = {layer_of(p) for p in included_paths}
    if layers & {"http", "engine"} and "replay" in layers:
        return "%s includes both http/ and replay/" % includer
    return None


def resolution_fault(includer, name, generated):
    """A quoted include must name a file from the root, a generated header or,
    outside the component, a file beside the includer."""
    if name in generated or os.path.isfile(os.path.join(ROOT, name)):
        return None
    beside = os.path.join(ROOT, os.path.dirname(includer), name)
    if layer_of(includer) is None and os.path.isfile(beside):
        return None
    return "%s includes \"%s\", which is no path from the repository root" % (includer, name)


class IncludeLayersTest(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        self.generated = generated_headers()

    def test_every_component_file_belongs_to_a_layer(self):
        for relative, _ in source_files(PRODUCT_FOLDERS):
            self.assertIn(layer_of(relative), MAY_INCLUDE, relative)

    def test_no_file_includes_a_layer_above_its_own(self):
        faults = []
        for relative, path in source_files(PRODUCT_FOLDERS):
            faults += filter(None, (layer_faults(relative, name) for name in includes_of(path)))
        self.assertEqual([], faults)

    def test_only_the_factory_and_tests_use_both_http_and_replay(self):
        faults = []
        for relative, path in source_files(PRODUCT_FOLDERS + OTHER_FOLDERS):
            faults += filter(None, [both_faults(relative, includes_of(path))])
        self.assertEqual([], faults)

    def test_includes_name_their_header_from_the_root(self):
        faults = []
        for relative, path in source_files(PRODUCT_FOLDERS + OTHER_FOLDERS):
            faults += filter(None, (resolution_fault(relative, name, self.generated) for name in includes_of(path)))
        self.assertEqual([], faults)
        self.assertIn("KOVASyncBasicsLib.h", self.generated)

    def test_the_rules_refuse_what_they_should(self):
        http, replay = "KOVACommon/http/LSBaseWS.cpp", "KOVACommon/replay/LSRequestReplay.h"
        refused = [
            (http, replay),
            ("KOVACommon/http/LSHttpRequest.cpp", "KOVACommon/http/LSBaseWS.h"),
            (http, "KOVACommon/LSHttpRequestFactory.h"),
            (http, "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"),
            ("KOVACommon/xml/LSXmlDocument.cpp", "KOVAUnifiedGroupsSync/GroupSources/LSGroupRecords.h"),
            ("KOVACommon/auth/LSGetAuthTokens.cpp", "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"),
            ("KOVACommon/xml/LSSafeXml.cpp", "KOVACommon/http/LSAnswerLimits.h"),
            ("KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsListing.cpp",
             "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphJson.h"),
            ("KOVAUnifiedGroupsSync/GroupSources/LSAutoGroupSource.cpp",
             "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsUnifiedGroups.h"),
            ("KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h",
             "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsUnifiedGroups.h"),
            ("QuorvalCommon/LSSetting.cpp", "KOVACommon/host/LSOutlookInfo.h"),
        ]
        for includer, included in refused:
            self.assertIsNotNone(layer_faults(includer, included), (includer, included))
        self.assertIsNone(layer_faults("KOVACommon/LSHttpRequestFactory.h", replay))
        self.assertIsNone(layer_faults("KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.cpp",
                                       "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphUnifiedGroups.h"))
        self.assertIsNotNone(both_faults("bench/Bench.cpp", [http, replay]))
        self.assertIsNone(both_faults("tests/Test.cpp", [http, replay]))
        self.assertIsNotNone(resolution_fault("KOVACommon/http/LSBaseWS.cpp", "LSHttpError.h", set()))


if __name__ == "__main__":
    unittest.main()
