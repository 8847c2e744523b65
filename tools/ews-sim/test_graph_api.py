"""Self-tests of the simulator's Graph endpoints. Run from the repository root with
python3 -m unittest discover -s tools/ews-sim -p 'test_*.py'"""

import json
import os
import subprocess
import sys
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ews_sim  # noqa: E402
from test_ews_sim import ALL_BUILTIN, BUILTIN, LISTING, SimTestCase  # noqa: E402

MEMBER_OF = "me/memberOf/microsoft.graph.group?$select=id,displayName,groupTypes&$top=999"
NON_UNIFIED = [g for g in ALL_BUILTIN if not g["unified"]]


def files_url(group):
    return next(r["url"] for r in group["resources"] if r["name"] == "Files")


def drive_request(request_id, group_id, slash="/"):
    return {"id": request_id, "method": "GET", "url": f"{slash}groups/{group_id}/drive?$select=webUrl",
            "headers": {"Accept": "application/json"}}


class GraphTestCase(SimTestCase):
    def graph(self, method, url, obj=None, token="tok", body=None):
        """`url` is relative to the Graph root, or absolute as a nextLink is."""
        target = urllib.parse.urlsplit(url)
        path = target.path if target.scheme else "/v1.0/" + target.path
        if target.query:
            path += "?" + target.query
        headers = {"Accept": "application/json"}
        if token is not None:
            headers["Authorization"] = "Bearer " + token
        if obj is not None:
            body = json.dumps(obj)
            headers["Content-Type"] = "application/json"
        resp, data = self.request(method, path, body, headers)
        return resp, json.loads(data) if data else None

    def batch(self, requests, expect=200):
        resp, answer = self.graph("POST", "$batch", {"requests": requests})
        self.assertEqual(resp.status, expect, answer)
        return answer

    def assertGraphError(self, answer, code):
        self.assertEqual(answer["error"]["code"], code)
        self.assertTrue(answer["error"]["message"])


class GraphListing(GraphTestCase):
    def pages(self, first_url):
        pages, url = [], first_url
        while url is not None:
            resp, page = self.graph("GET", url)
            self.assertEqual(resp.status, 200, page)
            self.assertTrue(resp.getheader("Content-Type").startswith("application/json"))
            pages.append(page)
            url = page.get("@odata.nextLink")
        return pages

    def test_paging_follows_next_links_and_keeps_non_unified_groups(self):
        self.control("POST", "graph", {"pageSize": 3})
        pages = self.pages(MEMBER_OF)
        self.assertEqual([len(p["value"]) for p in pages], [3, 3, 1])
        self.assertNotIn("@odata.nextLink", pages[-1])
        link = pages[0]["@odata.nextLink"]
        self.assertTrue(link.startswith(f"http://127.0.0.1:{self.sim.port}/v1.0/me/memberOf/microsoft.graph.group"
                                        "?$select=id,displayName,groupTypes&$top=999&$skiptoken="), link)
        entries = [e for p in pages for e in p["value"]]
        self.assertEqual([(e["id"], e["displayName"]) for e in entries],
                         [(g["id"], g["displayName"]) for g in ALL_BUILTIN])
        self.assertEqual([e["groupTypes"] for e in entries], [["Unified"] if g["unified"] else [] for g in ALL_BUILTIN])
        self.assertEqual({e["@odata.type"] for e in entries}, {"#microsoft.graph.group"})
        self.assertEqual(len(NON_UNIFIED), 2)
        log = self.control("GET", "requests")
        self.assertEqual([item["path"] for item in log], ["/v1.0/me/memberOf/microsoft.graph.group"] * 3)

        # $top below the configured page size wins; the page size is the smaller of the two.
        self.control("POST", "graph", {"pageSize": 999})
        self.assertEqual([len(p["value"]) for p in self.pages(MEMBER_OF.replace("$top=999", "$top=2"))],
                         [2, 2, 2, 1])
        self.assertEqual([len(p["value"]) for p in self.pages(MEMBER_OF)], [7])

    def test_endless_paging_hands_out_a_new_next_link_on_every_page(self):
        self.control("POST", "graph", {"pageSize": 5, "endlessPaging": True})
        url, links = MEMBER_OF, []
        for _ in range(4):
            resp, page = self.graph("GET", url)
            self.assertEqual(resp.status, 200, page)
            url = page["@odata.nextLink"]
            links.append(url)
        self.assertEqual(len(set(links)), 4)
        self.assertEqual(page["value"], [])
        self.control("POST", "graph", {"endlessPaging": 1}, expect=400)
        self.control("POST", "reset")
        self.assertFalse(self.control("GET", "graph")["endlessPaging"])

    def test_dataset_group_types_and_omitted_members(self):
        self.control("POST", "dataset", {"groups": [
            {"id": "dyn", "displayName": "Dynamic", "unified": False, "groupTypes": ["DynamicMembership"]},
            {"displayName": "NoId", "omitId": True},
            {"id": "noname", "displayName": "", "omitDisplayName": True}]})
        _, page = self.graph("GET", MEMBER_OF)
        self.assertEqual(page["value"], [
            {"@odata.type": "#microsoft.graph.group", "id": "dyn", "displayName": "Dynamic",
             "groupTypes": ["DynamicMembership"]},
            {"@odata.type": "#microsoft.graph.group", "displayName": "NoId", "groupTypes": ["Unified"]},
            {"@odata.type": "#microsoft.graph.group", "id": "noname", "groupTypes": ["Unified"]}])
        self.control("POST", "dataset", {"groups": [{"id": "x", "displayName": "X", "groupTypes": "Unified"}]},
                     expect=400)
        self.control("POST", "dataset", {"groups": []})
        _, page = self.graph("GET", MEMBER_OF)
        self.assertEqual((page["value"], "@odata.nextLink" in page), ([], False))

    def test_a_narrowed_permission_lists_ids_and_types_only(self):
        self.control("POST", "dataset", {"groups": [{"id": "g1", "displayName": "One"}]})
        self.assertTrue(self.control("POST", "graph", {"narrowed": True})["narrowed"])
        _, page = self.graph("GET", MEMBER_OF)
        self.assertEqual(page["value"], [{"@odata.type": "#microsoft.graph.group", "id": "g1", "displayName": None,
                                          "groupTypes": None}])
        self.control("POST", "graph", {"narrowed": "yes"}, expect=400)
        self.control("POST", "reset")
        self.assertFalse(self.control("GET", "graph")["narrowed"])

    def test_bad_paging_parameters_are_graph_errors(self):
        for url in (MEMBER_OF.replace("999", "1000"), MEMBER_OF.replace("999", "x"),
                    MEMBER_OF + "&$skiptoken=bm90LW91cnM", "me/memberOf/microsoft.graph.user"):
            resp, answer = self.graph("GET", url)
            self.assertEqual(resp.status, 400, url)
            self.assertGraphError(answer, "BadRequest")
        resp, answer = self.graph("POST", MEMBER_OF)
        self.assertEqual((resp.status, resp.getheader("Allow")), (405, "GET"))

    def test_authorization_like_the_ews_endpoint(self):
        self.control("POST", "refuse", {"token": "old", "status": 401})
        self.control("POST", "refuse", {"token": "weak", "status": 403})
        for token, status, code in ((None, 401, "InvalidAuthenticationToken"),
                                    ("old", 401, "InvalidAuthenticationToken"),
                                    ("weak", 403, "Authorization_RequestDenied")):
            for method, url, obj in (("GET", MEMBER_OF, None),
                                     ("POST", "$batch", {"requests": [drive_request("1", BUILTIN[0]["id"])]})):
                resp, answer = self.graph(method, url, obj, token=token)
                self.assertEqual(resp.status, status, (token, url))
                self.assertGraphError(answer, code)
        self.assertIn("invalid_token", self.graph("GET", MEMBER_OF, token="old")[0].getheader("WWW-Authenticate"))
        self.assertEqual(self.graph("GET", MEMBER_OF, token="new")[0].status, 200)
        # EWS still gets its empty-bodied refusals.
        self.assertEqual(self.ews(LISTING, token="old")[1], b"")


class GraphDrive(GraphTestCase):
    def test_drive_web_url_and_missing_drives(self):
        group = BUILTIN[1]
        resp, answer = self.graph("GET", f"groups/{group['id']}/drive?$select=webUrl")
        self.assertEqual((resp.status, answer["webUrl"]), (200, files_url(group)))
        for group_id in (NON_UNIFIED[0]["id"], "no-such-group"):
            resp, answer = self.graph("GET", f"groups/{group_id}/drive?$select=webUrl")
            self.assertEqual(resp.status, 404, group_id)
            self.assertIn(answer["error"]["code"], ("itemNotFound", "Request_ResourceNotFound"))
        # A library still being provisioned, per group, until reset; the others answer as usual.
        self.control("POST", "graph", {"provisioning": [group["id"]]})
        self.control("POST", "graph", {"provisioning": "all"}, expect=400)
        self.assertEqual(self.control("GET", "graph")["provisioning"], [group["id"]])
        resp, answer = self.graph("GET", f"groups/{group['id']}/drive?$select=webUrl")
        self.assertEqual((resp.status, answer["error"]["code"], answer["error"]["message"]),
                         (404, "itemNotFound", "Resource provisioning is in progress. Please try again."))
        self.assertEqual(self.graph("GET", f"groups/{BUILTIN[0]['id']}/drive")[0].status, 200)
        self.control("POST", "reset")
        self.assertEqual(self.graph("GET", f"groups/{group['id']}/drive")[0].status, 200)

    def test_percent_encoded_group_id(self):
        self.control("POST", "dataset", {"groups": [
            {"id": "{braced id}", "displayName": "B", "resources": [{"name": "Files", "url": "https://x/B"}]}]})
        resp, answer = self.graph("GET", "groups/%7Bbraced%20id%7D/drive")
        self.assertEqual((resp.status, answer["webUrl"]), (200, "https://x/B"))


class GraphBatch(GraphTestCase):
    def ids_in_answer(self, answer):
        return [r["id"] for r in answer["responses"]]

    def test_answers_match_requests_by_id_in_every_order(self):
        requests = [drive_request(str(i), g["id"], "/" if i % 2 else "") for i, g in enumerate(BUILTIN, 1)]
        sent = [r["id"] for r in requests]
        answer = self.batch(requests)
        self.assertEqual(self.ids_in_answer(answer), sent)
        for response, group in zip(answer["responses"], BUILTIN):
            self.assertEqual((response["status"], response["body"]["webUrl"]), (200, files_url(group)))
            self.assertEqual(response["headers"]["Content-Type"], "application/json")

        self.control("POST", "graph", {"batchOrder": "reverse"})
        self.assertEqual(self.ids_in_answer(self.batch(requests)), sent[::-1])

        self.assertEqual(self.control("POST", "graph", {"batchOrder": "shuffle", "seed": 7})["batchOrder"], "shuffle")
        shuffled = [self.ids_in_answer(self.batch(requests)) for _ in range(3)]
        self.control("POST", "graph", {"seed": 7})
        self.assertEqual([self.ids_in_answer(self.batch(requests)) for _ in range(3)], shuffled)
        for order in shuffled:
            self.assertEqual(sorted(order), sorted(sent))
            self.assertNotEqual(order, sent)
        self.assertNotEqual(self.ids_in_answer(self.batch(requests[:2])), sent[:2])

    def test_throttled_sub_request_then_success(self):
        target, other = BUILTIN[2], BUILTIN[3]
        settings = self.control("POST", "graph", {"throttle": [
            {"groupId": target["id"], "times": 1, "status": 429, "retryAfter": 1},
            {"groupId": other["id"], "times": 2, "status": 503, "retryAfter": None}]})
        self.assertEqual([t["times"] for t in settings["throttle"]], [1, 2])
        requests = [drive_request("a", target["id"]), drive_request("b", other["id"]),
                    drive_request("c", BUILTIN[0]["id"])]
        first = {r["id"]: r for r in self.batch(requests)["responses"]}
        self.assertEqual(first["a"]["status"], 429)
        self.assertEqual(first["a"]["headers"]["Retry-After"], "1")
        self.assertGraphError(first["a"]["body"], "TooManyRequests")
        self.assertEqual((first["b"]["status"], "Retry-After" in first["b"]["headers"]), (503, False))
        self.assertEqual(first["c"]["status"], 200)
        second = {r["id"]: r for r in self.batch(requests[:2])["responses"]}
        self.assertEqual((second["a"]["status"], second["a"]["body"]["webUrl"]), (200, files_url(target)))
        self.assertEqual(second["b"]["status"], 503)
        self.assertEqual(self.control("GET", "graph")["throttle"], [])
        self.assertEqual(self.batch(requests[1:2])["responses"][0]["status"], 200)

    def test_failed_sub_requests_stay_inside_the_batch(self):
        answer = self.batch([drive_request("files", BUILTIN[0]["id"]), drive_request("nodrive", NON_UNIFIED[1]["id"]),
                             drive_request("unknown", "no-such-group"),
                             {"id": "post", "method": "POST", "url": f"groups/{BUILTIN[0]['id']}/drive"},
                             {"id": "abs", "method": "GET", "url": "https://graph.example/v1.0/me"}])
        by_id = {r["id"]: r for r in answer["responses"]}
        self.assertEqual({k: r["status"] for k, r in by_id.items()},
                         {"files": 200, "nodrive": 404, "unknown": 404, "post": 405, "abs": 400})
        self.assertGraphError(by_id["nodrive"]["body"], "itemNotFound")

    def test_batches_refused_whole(self):
        too_many = [drive_request(str(i), BUILTIN[0]["id"]) for i in range(21)]
        self.assertGraphError(self.batch(too_many, expect=400), "BadRequest")
        self.assertEqual(len(self.batch(too_many[:20])["responses"]), 20)
        for bad in ([], [drive_request("1", "x"), drive_request("1", "y")], [{"id": 1, "method": "GET", "url": "me"}]):
            self.assertGraphError(self.batch(bad, expect=400), "BadRequest")
        resp, answer = self.graph("POST", "$batch", body=b"{not json")
        self.assertEqual(resp.status, 400)
        self.assertGraphError(answer, "BadRequest")
        self.assertEqual(self.graph("GET", "$batch")[0].status, 405)

    def test_log_keeps_batch_bodies_as_received(self):
        raw = '{"requests":[{"id":"1","method":"GET","url":"/groups/%s/drive?$select=webUrl"}]}' % BUILTIN[0]["id"]
        self.graph("POST", "$batch", body=raw.encode())
        log = self.control("GET", "requests")
        self.assertEqual([(i["method"], i["path"], i["body"]) for i in log], [("POST", "/v1.0/$batch", raw)])
        self.assertIn(["Authorization", "Bearer tok"], log[0]["headers"])


class GraphScriptsAndSettings(GraphTestCase):
    def test_script_entries_match_graph_operations(self):
        self.control("POST", "script", [
            {"match": {"operation": "GraphBatch"}, "body": "{garbage", "headers": {"Content-Type": "application/json"}},
            {"match": {"operation": "GraphMemberOf"}, "status": 503, "headers": {"Retry-After": "2"}},
            {"match": {"operation": "GraphDrive"}, "passThrough": True, "headers": {"X-Drive": "1"}}])
        resp, data = self.request("POST", "/v1.0/$batch", b"{}", {"Authorization": "Bearer t"})
        self.assertEqual((resp.status, data), (200, b"{garbage"))
        resp = self.graph("GET", MEMBER_OF)[0]
        self.assertEqual((resp.status, resp.getheader("Retry-After")), (503, "2"))
        self.assertEqual(self.graph("GET", MEMBER_OF)[0].status, 200)
        resp, answer = self.graph("GET", f"groups/{BUILTIN[0]['id']}/drive")
        self.assertEqual((resp.getheader("X-Drive"), answer["webUrl"]), ("1", files_url(BUILTIN[0])))
        self.assertEqual(self.control("GET", "script"), [])

    def test_settings_are_checked_whole_and_reset_to_startup_values(self):
        sim = ews_sim.EwsSimulator(lifetime=30, graph_page_size=2).start()
        self.addCleanup(sim.stop)
        self.sim, saved = sim, self.sim
        self.addCleanup(setattr, self, "sim", saved)
        self.assertEqual(len(self.graph("GET", MEMBER_OF)[1]["value"]), 2)
        self.control("POST", "graph", {"pageSize": 5, "batchOrder": "reverse",
                                       "throttle": [{"groupId": BUILTIN[0]["id"]}]})
        for bad in ({"pageSize": 0}, {"batchOrder": "random"}, {"pagesize": 3}, {"throttle": [{"times": 1}]},
                    {"pageSize": 4, "throttle": [{"groupId": "g", "status": 200}]}, []):
            self.control("POST", "graph", bad, expect=400)
        settings = self.control("GET", "graph")
        self.assertEqual((settings["pageSize"], settings["batchOrder"], len(settings["throttle"])), (5, "reverse", 1))
        self.control("POST", "reset")
        settings = self.control("GET", "graph")
        self.assertEqual((settings["pageSize"], settings["batchOrder"], settings["throttle"]), (2, "request", []))
        self.assertEqual(len(self.graph("GET", MEMBER_OF)[1]["value"]), 2)

    def test_bad_graph_options_fail_at_start(self):
        for option in (["--graph-page-size", "0"], ["--graph-prefix", "/EWS/"], ["--graph-prefix", "v1.0"]):
            proc = subprocess.run([sys.executable, ews_sim.__file__, "--lifetime", "1"] + option,
                                  capture_output=True, text=True, timeout=10)
            self.assertEqual(proc.returncode, 2, option)
            self.assertIn("Graph", proc.stderr)


if __name__ == "__main__":
    unittest.main()
