"""Self-tests of the EWS simulator. Run from the repository root with
python3 -m unittest discover -s tools/ews-sim -p 'test_*.py'"""

import base64
import http.client
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ews_sim  # noqa: E402

LISTING = ('<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>'
           '<a:GetUserUnifiedGroups xmlns="t" xmlns:a="m"><a:RequestedGroupsSets><RequestedUnifiedGroupsSet>'
           '<FilterType>All</FilterType><SortDirection>Descending</SortDirection><GroupsLimit>1000</GroupsLimit>'
           '</RequestedUnifiedGroupsSet></a:RequestedGroupsSets></a:GetUserUnifiedGroups></s:Body></s:Envelope>')
DETAILS = ('<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><GetUnifiedGroupDetails xmlns="m">'
           '<GroupIdentity xmlns="t"><Type>ExternalDirectoryObjectId</Type><Value>%s</Value></GroupIdentity>'
           '</GetUnifiedGroupDetails></s:Body></s:Envelope>')
ALL_BUILTIN = ews_sim.builtin_dataset()["groups"]
# What the EWS listing shows: the built-in dataset also holds non-Unified groups for the Graph tests.
BUILTIN = [g for g in ALL_BUILTIN if g["unified"]]


def local(tag):
    return tag.rsplit("}", 1)[-1]


def find_all(root, name):
    return [e for e in root.iter() if local(e.tag) == name]


def child_text(elem, name):
    found = [c.text for c in elem if local(c.tag) == name]
    return found[0] if found else None


class SimTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = ews_sim.EwsSimulator(lifetime=60).start()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def setUp(self):
        self.control("POST", "reset")

    def connect(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.sim.port, timeout=5)
        self.addCleanup(conn.close)
        return conn

    def request(self, method, path, body=None, headers=None, conn=None):
        conn = conn or self.connect()
        conn.request(method, path, body=body, headers=headers or {})
        resp = conn.getresponse()
        return resp, resp.read()

    def control(self, method, name, obj=None, expect=200):
        body = None if obj is None else json.dumps(obj)
        resp, data = self.request(method, "/_sim/" + name, body)
        self.assertEqual(resp.status, expect, data)
        return json.loads(data)

    def ews(self, body, token="tok", conn=None, headers=None):
        hdrs = {"Content-Type": "text/xml; charset=utf-8"}
        if token is not None:
            hdrs["Authorization"] = "Bearer " + token
        hdrs.update(headers or {})
        return self.request("POST", "/EWS/Exchange.asmx", body.encode("utf-8"), hdrs, conn)


class EwsAnswers(SimTestCase):
    def test_listing_parses_with_the_names_the_client_selects(self):
        resp, data = self.ews(LISTING)
        self.assertEqual(resp.status, 200)
        self.assertEqual(resp.getheader("Content-Type"), "text/xml; charset=utf-8")
        groups = find_all(ET.fromstring(data), "UnifiedGroup")
        got = [(child_text(g, "ExternalDirectoryObjectId"), child_text(g, "DisplayName")) for g in groups]
        self.assertEqual(got, [(g["id"], g["displayName"]) for g in BUILTIN])
        self.assertIn("日本チーム", [name for _, name in got])
        self.assertIn(b"R&amp;D &lt;Labs&gt;", data)

    def test_listing_omits_non_unified_groups_and_flagged_elements(self):
        self.control("POST", "dataset", {"groups": [
            {"id": "{braced}", "displayName": "A", "omitDisplayName": True},
            {"id": "x", "displayName": "Hidden", "unified": False},
            {"displayName": "NoId", "omitId": True}]})
        groups = find_all(ET.fromstring(self.ews(LISTING)[1]), "UnifiedGroup")
        self.assertEqual(len(groups), 2)
        self.assertEqual(child_text(groups[0], "ExternalDirectoryObjectId"), "{braced}")
        self.assertIsNone(child_text(groups[0], "DisplayName"))
        self.assertIsNone(child_text(groups[1], "ExternalDirectoryObjectId"))
        self.assertEqual(child_text(groups[1], "DisplayName"), "NoId")

    def test_listing_honours_groups_limit_and_empty_dataset(self):
        self.control("POST", "dataset", ews_sim.synthetic_dataset(3))
        limited = LISTING.replace("<GroupsLimit>1000<", "<GroupsLimit>2<")
        answer = ET.fromstring(self.ews(limited)[1])
        self.assertEqual(len(find_all(answer, "UnifiedGroup")), 2)
        self.assertEqual(find_all(answer, "TotalGroups")[0].text, "3")  # the whole count, as EWS gives it
        self.control("POST", "dataset", {"groups": []})
        self.assertEqual(find_all(ET.fromstring(self.ews(LISTING)[1]), "UnifiedGroup"), [])

    def test_details_give_resources_in_order(self):
        group = BUILTIN[1]
        resp, data = self.ews(DETAILS.replace("<Value>", "<t:Value>").replace("</Value>", "</t:Value>")
                              % group["id"])
        self.assertEqual(resp.status, 200)
        resources = find_all(ET.fromstring(data), "Resource")
        files = [child_text(r, "Url") for r in resources if child_text(r, "Name") == "Files"]
        self.assertEqual(files, ["https://contoso.sharepoint.com/sites/VertriebMuenchen/Shared%20Documents"])
        self.assertEqual([child_text(r, "Name") for r in resources], [r["name"] for r in group["resources"]])

    def test_unknown_group_and_unknown_operation_are_soap_faults(self):
        for body in (DETAILS % "no-such-group", "<Nothing/>"):
            resp, data = self.ews(body)
            self.assertEqual(resp.status, 500)
            self.assertTrue(find_all(ET.fromstring(data), "faultstring")[0].text)

    def test_blocked_and_gone_ews_while_graph_answers(self):
        for mode, status in (("blocked", 403), ("gone", 404), ("normal", 200)):
            self.control("POST", "ews", {"mode": mode})
            self.assertEqual(self.ews(LISTING)[0].status, status, mode)
            self.assertEqual(self.ews(DETAILS % BUILTIN[0]["id"], token=None)[0].status,
                             401 if status == 200 else status, mode)
            resp, _ = self.request("GET", "/v1.0/me/memberOf/microsoft.graph.group", headers={"Authorization": "Bearer t"})
            self.assertEqual(resp.status, 200, mode)
        self.control("POST", "ews", {"mode": "blocked"})
        resp, _ = self.ews(LISTING)
        self.assertEqual(resp.getheader("X-EWS-Policy-Reason"), "EWS is disabled for this user or tenant")
        self.control("POST", "reset")
        resp, _ = self.ews(LISTING)
        self.assertEqual((resp.status, resp.getheader("X-EWS-Policy-Reason")), (200, None))
        self.control("POST", "ews", {"mode": "sideways"}, expect=400)
        self.control("POST", "ews", {"prefixed": "yes"}, expect=400)
        self.control("POST", "ews", {"colour": "red"}, expect=400)

    def test_prefixed_response_messages(self):
        self.control("POST", "ews", {"prefixed": True})
        for body, operation in ((LISTING, "GetUserUnifiedGroups"),
                                (DETAILS % BUILTIN[0]["id"], "GetUnifiedGroupDetails")):
            resp, data = self.ews(body)
            self.assertEqual(resp.status, 200)
            self.assertIn(b"<m:" + operation.encode() + b"ResponseMessage ", data)
            self.assertIn(b"<m:ResponseCode>NoError</m:ResponseCode>", data)
            message = find_all(ET.fromstring(data), operation + "ResponseMessage")[0]
            self.assertEqual(message.get("ResponseClass"), "Success")
        self.assertEqual(len(find_all(ET.fromstring(self.ews(LISTING)[1]), "UnifiedGroup")),
                         len([g for g in BUILTIN if g.get("unified", True)]))
        self.control("POST", "script", [{"responseMessage": {"class": "Warning", "code": "ErrorPartialResult",
                                                             "backOffMs": 5, "prefixed": True}}])
        self.control("POST", "script", [{"responseMessage": {"prefixed": 1}}], expect=400)
        resp, data = self.ews(LISTING)
        self.assertIn(b"<m:ResponseCode>ErrorPartialResult</m:ResponseCode>", data)
        self.assertIn(b"<m:MessageXml><t:Value", data)
        self.control("POST", "reset")
        self.assertNotIn(b"<m:", self.ews(LISTING)[1])

    def test_answer_shape_prefixes_types_and_says_less_than_it_seems(self):
        ns = "{http://schemas.microsoft.com/exchange/services/2006/types}"
        self.assertEqual(self.control("POST", "ews-shape", {"typesPrefixed": True})["typesPrefixed"], True)
        data = self.ews(LISTING)[1]
        self.assertIn(b"<t:UnifiedGroupsSet xmlns:t=", data)
        groups = ET.fromstring(data).iter(ns + "UnifiedGroup")
        self.assertEqual([g.find(ns + "DisplayName").text for g in groups], [g["displayName"] for g in BUILTIN])
        details = ET.fromstring(self.ews(DETAILS % BUILTIN[0]["id"])[1])
        self.assertEqual([r.find(ns + "Name").text for r in details.iter(ns + "Resource")],
                         [r["name"] for r in BUILTIN[0]["resources"]])
        self.control("POST", "ews-shape", {"groupsSets": False})
        self.assertEqual(find_all(ET.fromstring(self.ews(LISTING)[1]), "GroupsSets"), [])
        self.control("POST", "ews-shape", {"totalGroups": 9, "filterType": "Favorites"})
        group_set = find_all(ET.fromstring(self.ews(LISTING)[1]), "UnifiedGroupsSet")[0]
        self.assertEqual((child_text(group_set, "TotalGroups"), child_text(group_set, "FilterType")),
                         ("9", "Favorites"))
        for bad in ({"totalGroups": True}, {"typesPrefixed": 1}, {"colour": "red"}, []):
            self.control("POST", "ews-shape", bad, expect=400)
        self.control("POST", "reset")
        self.assertEqual(self.control("GET", "ews-shape"),
                         {"ok": True, "typesPrefixed": False, "groupsSets": True, "totalGroups": None,
                          "filterType": "All"})

    def test_authorization(self):
        self.assertEqual(self.ews(LISTING, token=None)[0].status, 401)
        self.assertEqual(self.ews(LISTING, token=None, headers={"Authorization": "Basic eA=="})[0].status, 401)
        self.assertEqual(self.ews(LISTING, token="")[0].status, 200)
        self.control("POST", "refuse", {"token": "old", "status": 401})
        self.control("POST", "refuse", {"token": "", "status": 403})
        self.assertEqual(self.ews(LISTING, token="old")[0].status, 401)
        self.assertEqual(self.ews(LISTING, token="")[0].status, 403)
        self.assertEqual(self.ews(LISTING, token="new")[0].status, 200)
        self.control("POST", "refuse", {"token": "old", "status": 0})
        self.assertEqual(self.ews(LISTING, token="old")[0].status, 200)


class ScriptQueue(SimTestCase):
    def test_match_times_and_fifo(self):
        self.control("POST", "script", [
            {"match": {"operation": "GetUnifiedGroupDetails"}, "status": 503, "times": 2},
            {"status": 429, "headers": {"Retry-After": "7"}}])
        first = self.ews(LISTING)[0]
        self.assertEqual((first.status, first.getheader("Retry-After")), (429, "7"))
        self.assertEqual(self.ews(LISTING)[0].status, 200)
        statuses = [self.ews(DETAILS % BUILTIN[0]["id"])[0].status for _ in range(3)]
        self.assertEqual(statuses, [503, 503, 200])
        self.assertEqual(self.control("GET", "script"), [])

    def test_pass_through_adds_headers_to_the_normal_answer(self):
        self.control("POST", "script", [{"passThrough": True, "headers": [["X-SharePointHealthScore", "9"]]}])
        resp, data = self.ews(LISTING)
        self.assertEqual((resp.status, resp.getheader("X-SharePointHealthScore")), (200, "9"))
        self.assertEqual(len(find_all(ET.fromstring(data), "UnifiedGroup")), len(BUILTIN))

    def test_fault_helpers(self):
        self.control("POST", "script", [{"fault": {"errorstring": "Boom", "errorcode": "42"}},
                                        {"status": 400, "fault": {"m:message": "Bad"}}])
        resp, data = self.ews(LISTING)
        root = ET.fromstring(data)
        self.assertEqual(resp.status, 500)
        self.assertEqual([find_all(root, n)[0].text for n in ("errorstring", "errorcode")], ["Boom", "42"])
        self.assertEqual(find_all(root, "faultstring"), [])
        resp, data = self.ews(LISTING)
        self.assertEqual(resp.status, 400)
        self.assertIn(b"<m:message>Bad</m:message>", data)
        message = ET.fromstring(data).find(".//{%s}message" % ews_sim.NS_MESSAGES)
        self.assertEqual(message.text, "Bad")

    def test_ews_response_messages_and_busy_faults(self):
        self.control("POST", "script", [
            {"match": {"operation": "GetUnifiedGroupDetails"},
             "responseMessage": {"class": "Error", "code": "ErrorServerBusy", "text": "Busy", "backOffMs": 1500}},
            {"responseMessage": {"class": "Warning", "code": "ErrorX", "text": "W & <w>"}},
            {"ewsFault": {"text": "Try later", "backOffMs": 2000}}])
        self.control("POST", "script", [{"responseMessage": {"backOffMs": "1"}}], expect=400)
        self.control("POST", "script", [{"responseMessage": {"colour": "red"}}], expect=400)
        resp, data = self.ews(DETAILS % BUILTIN[0]["id"])
        message = find_all(ET.fromstring(data), "GetUnifiedGroupDetailsResponseMessage")[0]
        self.assertEqual((resp.status, message.get("ResponseClass"), child_text(message, "ResponseCode"),
                          child_text(message, "MessageText")), (200, "Error", "ErrorServerBusy", "Busy"))
        self.assertEqual([(v.get("Name"), v.text) for v in find_all(message, "Value")],
                         [("BackOffMilliseconds", "1500")])
        resp, data = self.ews(LISTING)
        message = find_all(ET.fromstring(data), "GetUserUnifiedGroupsResponseMessage")[0]
        self.assertEqual((message.get("ResponseClass"), child_text(message, "MessageText")), ("Warning", "W & <w>"))
        self.assertEqual(find_all(message, "UnifiedGroup"), [])
        resp, data = self.ews(LISTING)
        root = ET.fromstring(data)
        self.assertEqual((resp.status, find_all(root, "faultcode")[0].text), (500, "a:ErrorServerBusy"))
        self.assertIn(b'<t:Value Name="BackOffMilliseconds">2000</t:Value>', data)
        self.assertIn(b"<e:ResponseCode", data)

    def test_bodies_reason_and_header_order(self):
        self.control("POST", "script", [
            {"status": 299, "reason": "", "bodyRepeat": {"text": "ab", "count": 300000},
             "headers": [["X-B", "1"], ["X-A", "2"], ["X-B", "3"]]},
            {"bodyBase64": base64.b64encode(b"\x00\xff").decode()},
            {"body": "a\x01\ud800z", "headers": {"Content-Type": "text/plain"}}])
        conn = self.connect()
        resp, data = self.request("GET", "/anything", conn=conn)
        self.assertEqual((resp.status, resp.reason, len(data)), (299, "", 600000))
        self.assertEqual([h for h in resp.getheaders() if h[0].startswith("X-")],
                         [("X-B", "1"), ("X-A", "2"), ("X-B", "3")])
        self.assertEqual(self.request("GET", "/anything", conn=conn)[1], b"\x00\xff")
        resp, data = self.request("GET", "/anything", conn=conn)
        self.assertEqual((resp.getheader("Content-Type"), data), ("text/plain", "a\x01\ud800z".encode(
            "utf-8", "surrogatepass")))

    def test_lying_content_length_closes_the_connection(self):
        self.control("POST", "script", [{"body": "short", "headers": {"Content-Length": "100"}},
                                        {"body": "long body", "headers": {"Content-Length": "4"}}])
        conn = self.connect()
        conn.request("GET", "/x")
        with self.assertRaises(http.client.IncompleteRead):
            conn.getresponse().read()
        conn = self.connect()
        resp, data = self.request("GET", "/x", conn=conn)
        self.assertEqual((data, resp.getheader("Connection")), (b"long", "close"))

    def test_body_parts_and_a_stalled_short_answer(self):
        self.control("POST", "script", [
            {"bodyParts": [{"text": "{\"a\":"}, {"text": "[", "count": 3}, {"text": "]", "count": 3},
                           {"text": "}"}]},
            {"body": "half", "headers": {"Content-Length": "100"}, "stallMs": 300}])
        self.assertEqual(self.request("GET", "/x")[1], b'{"a":[[[]]]}')
        conn = self.connect()
        start = time.monotonic()
        conn.request("GET", "/x")
        resp = conn.getresponse()
        self.assertEqual(resp.read(4), b"half")
        with self.assertRaises(http.client.IncompleteRead):
            resp.read()
        self.assertGreaterEqual(time.monotonic() - start, 0.25)
        self.control("POST", "script", {"bodyParts": [{"text": "x", "count": -1}]}, expect=400)

    def test_delay(self):
        self.control("POST", "script", [{"passThrough": True, "delayMs": 200}])
        start = time.monotonic()
        self.assertEqual(self.ews(LISTING)[0].status, 200)
        self.assertGreaterEqual(time.monotonic() - start, 0.15)

    def test_answer_delay_applies_to_every_answer_and_the_log_counts_open_requests(self):
        self.assertEqual(self.control("POST", "delay", {"ms": 300}), {"ok": True, "ms": 300})
        self.control("POST", "delay", {"ms": -1}, expect=400)
        self.control("POST", "delay", {"ms": "1"}, expect=400)
        results = []
        threads = [threading.Thread(target=lambda: results.append(self.ews(LISTING)[0].status)) for _ in range(3)]
        start = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(5)
        self.assertEqual(results, [200, 200, 200])
        self.assertGreaterEqual(time.monotonic() - start, 0.25)
        self.assertEqual(self.control("GET", "health")["open"], 0)  # the control API is never delayed nor counted
        log = self.control("GET", "requests")
        self.assertEqual(sorted(r["open"] for r in log), [1, 2, 3])
        self.control("POST", "reset")
        self.assertEqual(self.control("GET", "delay"), {"ms": 0})
        self.ews(LISTING)
        self.assertEqual([r["open"] for r in self.control("GET", "requests")], [1])

    def test_status_1223_goes_out_with_a_length(self):
        # http.client refuses four-digit statuses, so read the raw answer.
        self.control("POST", "script", [{"status": 1223}])
        self.control("POST", "script", [{"status": 1000}], expect=400)
        with socket.create_connection(("127.0.0.1", self.sim.port), timeout=5) as sock:
            sock.sendall(b"GET /x HTTP/1.1\r\nHost: t\r\n\r\n")
            answer = b""
            while b"\r\n\r\n" not in answer:
                answer += sock.recv(4096)
        head = answer.split(b"\r\n\r\n")[0].decode("latin-1").split("\r\n")
        self.assertEqual(head[0], "HTTP/1.1 1223 Unknown")
        self.assertIn("Content-Length: 0", head)

    def test_bad_control_input_is_refused_whole(self):
        resp, data = self.request("POST", "/_sim/script", b"{not json")
        self.assertEqual(resp.status, 400)
        self.assertIn("error", json.loads(data))
        self.control("POST", "script", [{"status": 503}, {"status": 200, "delay": 5}], expect=400)
        self.control("POST", "script", [{"body": "a", "bodyBase64": "YQ=="}], expect=400)
        self.control("POST", "script", [{"headers": {"X-Bad": "a\r\nInjected: 1"}}], expect=400)
        self.control("POST", "refuse", {"token": "t", "status": 500}, expect=400)
        self.control("POST", "dataset", {"groups": [{"id": 5}]}, expect=400)
        self.assertEqual(self.control("GET", "script"), [])
        self.assertEqual(self.ews(LISTING)[0].status, 200)


class RequestLogAndConnections(SimTestCase):
    def test_log_keeps_wire_order_and_case_and_skips_control(self):
        conn = self.connect()
        conn.putrequest("POST", "/EWS/Exchange.asmx?a=1", skip_host=True, skip_accept_encoding=True)
        for name, value in [("Host", "h"), ("x-Zeta", "1"), ("Authorization", "Bearer "), ("x-alpha", "2"),
                            ("X-ZETA", "3"), ("Content-Length", str(len(LISTING)))]:
            conn.putheader(name, value)
        conn.endheaders(LISTING.encode())
        conn.getresponse().read()
        self.control("GET", "health")
        log = self.control("GET", "requests")
        self.assertEqual(len(log), 1)
        self.assertEqual((log[0]["method"], log[0]["path"], log[0]["query"]), ("POST", "/EWS/Exchange.asmx", "a=1"))
        self.assertEqual(log[0]["headers"], [["Host", "h"], ["x-Zeta", "1"], ["Authorization", "Bearer "],
                                             ["x-alpha", "2"], ["X-ZETA", "3"], ["Content-Length", str(len(LISTING))]])
        self.assertEqual((log[0]["body"], log[0]["bodyLength"]), (LISTING, len(LISTING)))
        self.control("POST", "requests/clear")
        self.assertEqual(self.control("GET", "requests"), [])

    def test_reset_restores_startup_state(self):
        self.control("POST", "dataset", {"groups": []})
        self.control("POST", "refuse", {"token": "tok", "status": 403})
        self.control("POST", "script", [{"status": 503}])
        self.control("POST", "reset")
        self.assertEqual(self.control("GET", "script"), [])
        resp, data = self.ews(LISTING)
        self.assertEqual(len(find_all(ET.fromstring(data), "UnifiedGroup")), len(BUILTIN))
        self.assertEqual(len(self.control("GET", "requests")), 1)

    def test_keep_alive_connections_have_nodelay_and_quick_ack_only_when_asked(self):
        # An ordinary server by default (delayed acknowledgements); --quick-ack for the tests.
        self.assertFalse(ews_sim.parse_args([]).quick_ack)
        self.assertTrue(ews_sim.parse_args(["--quick-ack"]).quick_ack)
        quick = ews_sim.EwsSimulator(lifetime=60, quick_ack=True).start()
        self.addCleanup(quick.stop)
        for sim, quick_acks in ((self.sim, 0), (quick, 1)):
            before, acks_before = len(sim.server.nodelay_seen), sim.server.quick_acks
            conn = http.client.HTTPConnection("127.0.0.1", sim.port, timeout=5)
            self.addCleanup(conn.close)
            for _ in range(20):
                self.assertEqual(self.ews(LISTING, conn=conn)[0].status, 200)
            self.assertEqual(sim.server.nodelay_seen[before:], [True])
            self.assertEqual(sim.server.quick_acks - acks_before, quick_acks)

    def test_health_and_stop(self):
        sim = ews_sim.EwsSimulator(lifetime=60).start()
        conn = http.client.HTTPConnection("127.0.0.1", sim.port, timeout=5)
        conn.request("GET", "/_sim/health")
        self.assertEqual(json.loads(conn.getresponse().read()), {"ok": True, "port": sim.port, "open": 0})
        conn.request("POST", "/_sim/stop")
        self.assertEqual(json.loads(conn.getresponse().read()), {"ok": True})
        conn.close()
        self.assertTrue(sim.stopped.wait(5))


@unittest.skipUnless(shutil.which("openssl"), "needs the openssl command")
class SecondListener(unittest.TestCase):
    def test_second_listener_keeps_its_own_log_and_script(self):
        sim = ews_sim.EwsSimulator(lifetime=30, second_http=True).start()
        self.addCleanup(sim.stop)
        self.assertNotIn(sim.second_port, (None, sim.port))
        self.assertEqual(sim.extra_ports, [])

        def call(port, method, path, obj=None):
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
            self.addCleanup(conn.close)
            conn.request(method, path, None if obj is None else json.dumps(obj),
                         {"Authorization": "Bearer t"})
            resp = conn.getresponse()
            return resp, resp.read()

        call(sim.port, "POST", "/_sim/script", {"status": 302, "headers": {
            "Location": f"http://127.0.0.1:{sim.second_port}/EWS/Exchange.asmx"}})
        resp, _ = call(sim.port, "POST", "/EWS/Exchange.asmx")
        self.assertEqual((resp.status, resp.getheader("Location")),
                         (302, f"http://127.0.0.1:{sim.second_port}/EWS/Exchange.asmx"))
        self.assertEqual(json.loads(call(sim.second_port, "GET", "/_sim/requests")[1]), [])
        self.assertEqual(call(sim.second_port, "GET", "/v1.0/me/memberOf/microsoft.graph.group")[0].status, 200)
        self.assertEqual(len(json.loads(call(sim.second_port, "GET", "/_sim/requests")[1])), 1)
        self.assertEqual(len(json.loads(call(sim.port, "GET", "/_sim/requests")[1])), 1)


class Https(unittest.TestCase):
    """A TLS main listener and an extra one share one state; a handshake the
    client refuses records nothing and leaves the listener serving."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.cert, cls.key = (os.path.join(cls.tmp.name, n) for n in ("c.pem", "k.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                        "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", "-keyout", cls.key,
                        "-out", cls.cert], check=True, capture_output=True)
        cls.sim = ews_sim.EwsSimulator(lifetime=60, graph_page_size=2, tls=(cls.cert, cls.key),
                                       extra_https=[(cls.cert, cls.key)]).start()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        cls.tmp.cleanup()

    def get(self, port, path, context):
        conn = http.client.HTTPSConnection("localhost", port, timeout=5, context=context)
        self.addCleanup(conn.close)
        conn.request("GET", path, headers={"Authorization": "Bearer t"})
        resp = conn.getresponse()
        return resp.status, resp.read()

    def test_both_listeners_answer_over_tls_with_one_request_log(self):
        trusting = ssl.create_default_context(cafile=self.cert)
        self.get(self.sim.port, "/_sim/reset", trusting)
        refusing = ssl.create_default_context()
        with self.assertRaises(ssl.SSLError):
            self.get(self.sim.extra_ports[0], "/v1.0/me/memberOf/microsoft.graph.group", refusing)
        status, body = self.get(self.sim.extra_ports[0], "/v1.0/me/memberOf/microsoft.graph.group", trusting)
        self.assertEqual(status, 200)
        next_link = json.loads(body)["@odata.nextLink"]
        self.assertTrue(next_link.startswith(f"https://localhost:{self.sim.extra_ports[0]}/v1.0/"), next_link)
        status, body = self.get(self.sim.port, "/_sim/requests", trusting)
        self.assertEqual([r["path"] for r in json.loads(body)], ["/v1.0/me/memberOf/microsoft.graph.group"])


class CommandLine(unittest.TestCase):
    def test_port_file_and_lifetime(self):
        with tempfile.TemporaryDirectory() as tmp:
            port_file = os.path.join(tmp, "port")
            proc = subprocess.Popen([sys.executable, ews_sim.__file__, "--port-file", port_file,
                                     "--lifetime", "1", "--groups", "2"])
            try:
                deadline = time.monotonic() + 5
                while not os.path.exists(port_file) and time.monotonic() < deadline:
                    time.sleep(0.02)
                with open(port_file) as f:
                    text = f.read()
                self.assertRegex(text, r"^\d+\n$")
                conn = http.client.HTTPConnection("127.0.0.1", int(text), timeout=5)
                conn.request("POST", "/EWS/Exchange.asmx", LISTING, {"Authorization": "Bearer x"})
                groups = find_all(ET.fromstring(conn.getresponse().read()), "UnifiedGroup")
                self.assertEqual(len(groups), 2)
                conn.close()
                self.assertEqual(proc.wait(timeout=5), 0)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()

    def test_bad_dataset_file_fails_cleanly(self):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            f.write('{"groups": "nope"}')
        self.addCleanup(os.unlink, f.name)
        proc = subprocess.run([sys.executable, ews_sim.__file__, "--dataset", f.name, "--lifetime", "1"],
                              capture_output=True, text=True, timeout=10)
        self.assertEqual(proc.returncode, 2)
        self.assertIn("groups", proc.stderr)


if __name__ == "__main__":
    unittest.main()
