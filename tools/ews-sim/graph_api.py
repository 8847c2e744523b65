"""Microsoft Graph endpoints of the simulator: the group listing
(me/memberOf/microsoft.graph.group), a group's drive (groups/{id}/drive) and
JSON batching ($batch), served from the same dataset as the EWS endpoint.

Standard library only and independent of ews_sim, which owns the HTTP side:
it hands each request under the Graph prefix to GraphApi.answer() and sends
the (status, body, content type, headers) tuple it gets back.
"""

import base64
import binascii
import datetime
import json
import random
import threading
import urllib.parse
import uuid

DEFAULT_PREFIX = "/v1.0/"
DEFAULT_PAGE_SIZE = 999
MAX_TOP = 999
MAX_BATCH_REQUESTS = 20
BATCH_ORDERS = ("request", "reverse", "shuffle")

OP_MEMBER_OF = "GraphMemberOf"
OP_DRIVE = "GraphDrive"
OP_BATCH = "GraphBatch"

# What the real service sends; a client must not insist on the bare media type.
CONTENT_TYPE = "application/json;odata.metadata=minimal;odata.streaming=true;IEEE754Compatible=false;charset=utf-8"
SUB_CONTENT_TYPE = "application/json"
SKIPTOKEN_MAGIC = b"ews-sim:"

ERROR_CODES = {400: "BadRequest", 401: "InvalidAuthenticationToken", 403: "Authorization_RequestDenied",
               404: "itemNotFound", 405: "BadRequest", 429: "TooManyRequests", 503: "serviceNotAvailable",
               504: "gatewayTimeout"}


class GraphInputError(ValueError):
    """Bad Graph settings or dataset members; ews_sim reports it like its own."""


def _require(condition, message):
    if not condition:
        raise GraphInputError(message)


def _is_int(value):
    return isinstance(value, int) and not isinstance(value, bool)


def check_group_fields(group, where):
    """Dataset members only Graph reads: an optional explicit `groupTypes`."""
    types = group.get("groupTypes")
    _require(types is None or (isinstance(types, list) and all(isinstance(t, str) for t in types)),
             f"{where}.groupTypes must be an array of strings")


def group_types(group):
    if group.get("groupTypes") is not None:
        return list(group["groupTypes"])
    return ["Unified"] if group.get("unified", True) else []


def check_prefix(prefix, reserved=()):
    _require(isinstance(prefix, str) and len(prefix) > 2 and prefix.startswith("/") and prefix.endswith("/")
             and not any(c in prefix for c in "?#% "), "Graph prefix must look like /v1.0/")
    for path in reserved:
        _require(not path.lower().startswith(prefix.lower()) and not prefix.lower().startswith(path.lower()),
                 f"Graph prefix {prefix} overlaps {path}")
    return prefix


def error_body(status, message, code=None):
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%S")
    return {"error": {"code": code or ERROR_CODES.get(status, "generalException"), "message": message,
                      "innerError": {"date": now, "request-id": str(uuid.uuid4()),
                                     "client-request-id": str(uuid.uuid4())}}}


def _json_bytes(obj):
    # Raw UTF-8 like the real service; lone surrogates from a dataset pass as they are.
    return json.dumps(obj, ensure_ascii=False).encode("utf-8", "surrogatepass")


def encode_skiptoken(offset):
    return base64.urlsafe_b64encode(SKIPTOKEN_MAGIC + str(offset).encode()).rstrip(b"=").decode("ascii")


def decode_skiptoken(token):
    try:
        raw = base64.urlsafe_b64decode(token + "=" * (-len(token) % 4))
    except (binascii.Error, ValueError):
        return None
    digits = raw[len(SKIPTOKEN_MAGIC):]
    if not raw.startswith(SKIPTOKEN_MAGIC) or not digits.isdigit():
        return None
    return int(digits)


class Answer:
    """One Graph answer before it is framed: as an HTTP reply or a batch item."""

    def __init__(self, status, body, headers=None):
        self.status = status
        self.body = body
        self.headers = dict(headers or {})


def error(status, message, code=None, headers=None):
    return Answer(status, error_body(status, message, code), headers)


class GraphRequest:
    """What answer() needs from the HTTP layer; `path` and `query` are raw (undecoded)."""

    def __init__(self, method, path, query, body, authorization, groups, refusal_for, base_url):
        self.method = method
        self.path = path
        self.query = query
        self.body = body
        self.authorization = authorization
        self.groups = groups
        self.refusal_for = refusal_for
        self.base_url = base_url


class Throttle:
    def __init__(self, raw):
        _require(isinstance(raw, dict), "throttle entries must be objects")
        unknown = set(raw) - {"groupId", "times", "status", "retryAfter"}
        _require(not unknown, f"unknown throttle fields {sorted(unknown)}")
        _require(isinstance(raw.get("groupId"), str), "throttle needs a string groupId")
        self.group_id = raw["groupId"]
        self.times = raw.get("times", 1)
        _require(_is_int(self.times) and self.times >= 1, "throttle times must be an integer >= 1")
        self.status = raw.get("status", 429)
        _require(_is_int(self.status) and 400 <= self.status <= 599, "throttle status must be 400-599")
        self.retry_after = raw.get("retryAfter", 1)
        # A string goes out as it stands, so clients meet dates and nonsense too.
        _require(self.retry_after is None or isinstance(self.retry_after, str) or
                 (_is_int(self.retry_after) and self.retry_after >= 0),
                 "retryAfter must be an integer >= 0, a string or null")

    def answer(self):
        headers = {} if self.retry_after is None else {"Retry-After": str(self.retry_after)}
        message = "Too many requests." if self.status == 429 else "The service is temporarily unavailable."
        return error(self.status, message, headers=headers)

    def describe(self):
        return {"groupId": self.group_id, "times": self.times, "status": self.status,
                "retryAfter": self.retry_after}


SETTING_FIELDS = {"pageSize", "batchOrder", "seed", "throttle", "endlessPaging", "provisioning", "narrowed"}
# How Graph answers for a group whose SharePoint site is still being made.
PROVISIONING_MESSAGE = "Resource provisioning is in progress. Please try again."


class GraphApi:
    """Graph routes plus the settings tests change through POST /_sim/graph."""

    def __init__(self, prefix=DEFAULT_PREFIX, page_size=DEFAULT_PAGE_SIZE, reserved=()):
        self.prefix = check_prefix(prefix, reserved)
        _require(_is_int(page_size) and page_size >= 1, "Graph page size must be an integer >= 1")
        self.startup_page_size = page_size
        self.lock = threading.Lock()
        self.reset()

    # -- settings

    def reset(self):
        with self.lock:
            self.page_size = self.startup_page_size
            self.batch_order = "request"
            self.seed = 0
            self.rng = random.Random(0)
            self.throttles = []
            self.endless_paging = False
            self.provisioning = set()
            self.narrowed = False

    def configure(self, obj):
        """Checks every member before applying any, so a typo changes nothing."""
        _require(isinstance(obj, dict), f"graph settings must be an object with members among {sorted(SETTING_FIELDS)}")
        unknown = set(obj) - SETTING_FIELDS
        _require(not unknown, f"unknown graph settings {sorted(unknown)}; known: {sorted(SETTING_FIELDS)}")
        if "pageSize" in obj:
            _require(_is_int(obj["pageSize"]) and obj["pageSize"] >= 1, "pageSize must be an integer >= 1")
        if "batchOrder" in obj:
            _require(obj["batchOrder"] in BATCH_ORDERS, f"batchOrder must be one of {list(BATCH_ORDERS)}")
        if "seed" in obj:
            _require(_is_int(obj["seed"]), "seed must be an integer")
        if "endlessPaging" in obj:
            _require(isinstance(obj["endlessPaging"], bool), "endlessPaging must be a boolean")
        if "provisioning" in obj:
            _require(isinstance(obj["provisioning"], list) and all(isinstance(i, str) for i in obj["provisioning"]),
                     "provisioning must be an array of group ids")
        if "narrowed" in obj:
            _require(isinstance(obj["narrowed"], bool), "narrowed must be a boolean")
        throttles = None
        if "throttle" in obj:
            _require(isinstance(obj["throttle"], list), "throttle must be an array")
            throttles = [Throttle(t) for t in obj["throttle"]]
        with self.lock:
            self.page_size = obj.get("pageSize", self.page_size)
            self.batch_order = obj.get("batchOrder", self.batch_order)
            if "seed" in obj or "batchOrder" in obj:
                self.seed = obj.get("seed", self.seed)
                self.rng = random.Random(self.seed)
            if throttles is not None:
                self.throttles = throttles
            self.endless_paging = obj.get("endlessPaging", self.endless_paging)
            if "provisioning" in obj:
                self.provisioning = set(obj["provisioning"])
            self.narrowed = obj.get("narrowed", self.narrowed)
        return self.settings()

    def settings(self):
        with self.lock:
            return {"ok": True, "prefix": self.prefix, "pageSize": self.page_size, "batchOrder": self.batch_order,
                    "seed": self.seed, "throttle": [t.describe() for t in self.throttles],
                    "endlessPaging": self.endless_paging, "provisioning": sorted(self.provisioning),
                    "narrowed": self.narrowed}

    def take_throttle(self, group_id):
        with self.lock:
            for i, t in enumerate(self.throttles):
                if t.group_id == group_id:
                    t.times -= 1
                    if t.times == 0:
                        del self.throttles[i]
                    return t
        return None

    def order(self, items):
        with self.lock:
            order, rng = self.batch_order, self.rng
            if order == "reverse":
                return items[::-1]
            if order == "shuffle":
                shuffled = list(items)
                rng.shuffle(shuffled)
                if len(shuffled) > 1 and shuffled == items:
                    # A test that asks for disorder must get it, even from a small batch.
                    shuffled = shuffled[1:] + shuffled[:1]
                return shuffled
        return list(items)

    # -- routing

    def owns(self, path):
        return path.lower().startswith(self.prefix.lower())

    def operation_of(self, path):
        """The name script entries match on; None for paths Graph does not serve."""
        return _route_name(path[len(self.prefix):]) if self.owns(path) else None

    def answer(self, req):
        """Answers one HTTP request under the prefix: (status, body, content type, headers)."""
        refused = self.refused(req.authorization, req.refusal_for)
        if refused:
            result = refused
        else:
            relative = req.path[len(self.prefix):]
            if _route_name(relative) == OP_BATCH:
                result = self.batch(req)
            else:
                result = self.route(req.method, relative, req.query, req)
        headers = [(n, v) for n, v in result.headers.items() if n.lower() != "content-type"]
        return result.status, _json_bytes(result.body), CONTENT_TYPE, headers

    @staticmethod
    def refused(authorization, refusal_for):
        if authorization is None or not authorization.startswith("Bearer "):
            return error(401, "Access token is empty.", headers={"WWW-Authenticate": 'Bearer realm=""'})
        status = refusal_for(authorization[len("Bearer "):])
        if status == 401:
            return error(401, "Lifetime validation failed, the token is expired.",
                         headers={"WWW-Authenticate": 'Bearer error="invalid_token"'})
        if status:
            return error(status, "Insufficient privileges to complete the operation.")
        return None

    def route(self, method, relative, query, req):
        name = _route_name(relative)
        if name is None:
            return error(400, f"Resource not found for the segment '{relative.split('/')[0]}'.")
        if name == OP_BATCH:
            return error(400, "A batch request cannot contain another batch request.")
        if method.upper() != "GET":
            return error(405, f"The method {method} is not allowed on this resource.", headers={"Allow": "GET"})
        if name == OP_MEMBER_OF:
            return self.member_of(relative, query, req)
        return self.drive(urllib.parse.unquote(relative.split("/")[1]), req)

    def member_of(self, relative, query, req):
        params = dict(urllib.parse.parse_qsl(query, keep_blank_values=True))
        top = params.get("$top")
        if top is not None and not (top.isdigit() and 1 <= int(top) <= MAX_TOP):
            return error(400, f"Invalid page size specified: '{top}'. Must be between 1 and {MAX_TOP} inclusive.")
        token = params.get("$skiptoken")
        offset = 0 if token is None else decode_skiptoken(token)
        if offset is None:
            return error(400, "Invalid skip token.")
        with self.lock:
            size = self.page_size if top is None else min(int(top), self.page_size)
            endless = self.endless_paging
            narrowed = self.narrowed
        groups = req.groups
        entry = _narrowed_entry if narrowed else _listing_entry
        body = {"@odata.context": f"{req.base_url}{self.prefix}$metadata#groups(id,displayName,groupTypes)",
                "value": [entry(g) for g in groups[offset:offset + size]]}
        if offset + size < len(groups) or endless:
            kept = [p for p in query.split("&")
                    if p and urllib.parse.unquote(p.split("=", 1)[0]).lower() != "$skiptoken"]
            kept.append("$skiptoken=" + encode_skiptoken(offset + size))
            body["@odata.nextLink"] = f"{req.base_url}{self.prefix}{relative}?{'&'.join(kept)}"
        return Answer(200, body)

    def drive(self, group_id, req):
        throttle = self.take_throttle(group_id)
        if throttle:
            return throttle.answer()
        group = next((g for g in req.groups if not g.get("omitId") and g.get("id") == group_id), None)
        if group is None:
            return error(404, f"Resource '{group_id}' does not exist or one of its queried reference-property "
                              "objects are not present.", code="Request_ResourceNotFound")
        with self.lock:
            provisioning = group_id in self.provisioning
        if provisioning:
            return error(404, PROVISIONING_MESSAGE, code="itemNotFound")
        files = next((r["url"] for r in group.get("resources", []) if r.get("name") == "Files"), None)
        if files is None:
            return error(404, "The requested drive was not found.")
        return Answer(200, {"@odata.context": f"{req.base_url}{self.prefix}$metadata#drives(webUrl)/$entity",
                            "webUrl": files})

    # -- batching

    def batch(self, req):
        if req.method.upper() != "POST":
            return error(405, "A batch must be sent with POST.", headers={"Allow": "POST"})
        items = _batch_items(req.body)
        if isinstance(items, Answer):
            return items
        # Answered in request order so throttles are used up predictably; only the listing order varies.
        responses = [self.batch_item(item, req) for item in items]
        return Answer(200, {"responses": self.order(responses)})

    def batch_item(self, item, req):
        url = urllib.parse.urlsplit(item["url"])
        if url.scheme or url.netloc:
            result = error(400, "A batch request URL must be relative to the service root.")
        else:
            result = self.route(item["method"], url.path.lstrip("/"), url.query, req)
        headers = {"Content-Type": SUB_CONTENT_TYPE}
        headers.update(result.headers)
        return {"id": item["id"], "status": result.status, "headers": headers, "body": result.body}


def _route_name(relative):
    parts = [p.lower() for p in relative.split("/")]
    if parts == ["$batch"]:
        return OP_BATCH
    if parts == ["me", "memberof", "microsoft.graph.group"]:
        return OP_MEMBER_OF
    if len(parts) == 3 and parts[0] == "groups" and parts[1] and parts[2] == "drive":
        return OP_DRIVE
    return None


def _listing_entry(group):
    entry = {"@odata.type": "#microsoft.graph.group"}
    if not group.get("omitId"):
        entry["id"] = group["id"]
    if not group.get("omitDisplayName"):
        entry["displayName"] = group["displayName"]
    entry["groupTypes"] = group_types(group)
    return entry


def _narrowed_entry(group):
    """What Graph lists when the registration lacks GroupMember.Read.All: the
    id and the type, every selected property null."""
    entry = {"@odata.type": "#microsoft.graph.group", "displayName": None, "groupTypes": None}
    if not group.get("omitId"):
        entry["id"] = group["id"]
    return entry


def _batch_items(body):
    """The validated sub-requests of a batch body, or the 400 answer refusing it whole."""
    try:
        obj = json.loads(body.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        return error(400, "Unable to read JSON request payload. Please ensure Content-Type header is set and "
                          "payload is of valid JSON format.")
    items = obj.get("requests") if isinstance(obj, dict) else None
    if not isinstance(items, list) or not items:
        return error(400, "Invalid batch payload format.")
    if len(items) > MAX_BATCH_REQUESTS:
        return error(400, f"The number of requests in the batch ({len(items)}) exceeds the limit of "
                          f"{MAX_BATCH_REQUESTS}.")
    seen = set()
    for item in items:
        if not (isinstance(item, dict) and isinstance(item.get("id"), str) and item["id"]
                and isinstance(item.get("method"), str) and isinstance(item.get("url"), str)):
            return error(400, "Each batch request needs a string id, method and url.")
        if item["id"] in seen:
            return error(400, f"Batch request id '{item['id']}' is not unique.")
        seen.add(item["id"])
    return items
