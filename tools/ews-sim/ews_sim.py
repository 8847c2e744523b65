#!/usr/bin/env python3
"""EWS simulator: a loopback HTTP server that answers the two Unified Groups
SOAP operations the component sends, and lets tests script any other answer.

Standard library only. Listens on 127.0.0.1 and nowhere else, and stops by
itself after --lifetime seconds so a crashed test run never leaves it behind.
"""

import argparse
import base64
import copy
import email.utils
import hashlib
import html
import http
import http.server
import json
import os
import re
import socket
import ssl
import sys
import threading
import time
import unicodedata
import urllib.parse
import uuid
from xml.sax.saxutils import escape as xml_escape, quoteattr

import graph_api

BIND_ADDRESS = "127.0.0.1"
# Clients address a TLS listener by this name: its certificate names it, and
# certificate name checks do not match IP-address names everywhere.
TLS_HOST_NAME = "localhost"
TLS_HANDSHAKE_SECONDS = 10
EWS_PATH = "/EWS/Exchange.asmx"
CONTROL_PREFIX = "/_sim/"
OP_LISTING = "GetUserUnifiedGroups"
OP_DETAILS = "GetUnifiedGroupDetails"

NS_SOAP = "http://schemas.xmlsoap.org/soap/envelope/"
NS_MESSAGES = "http://schemas.microsoft.com/exchange/services/2006/messages"
NS_TYPES = "http://schemas.microsoft.com/exchange/services/2006/types"
NS_ERRORS = "http://schemas.microsoft.com/exchange/services/2006/errors"
SOAP_CONTENT_TYPE = "text/xml; charset=utf-8"
JSON_CONTENT_TYPE = "application/json; charset=utf-8"

READ_TIMEOUT_SECONDS = 30
MAX_REQUEST_BODY = 64 * 1024 * 1024
MAX_SCRIPTED_BODY = 256 * 1024 * 1024
MAX_SYNTHETIC_GROUPS = 100000
MAX_ANSWER_DELAY_MS = 60000
# Statuses whose answers carry no body, so no Content-Length goes out by default.
NO_BODY_STATUSES = {204, 304}
# Accepted beyond 100-999: 1223 is how some platforms report a 204 answer, so
# clients can be tested against it arriving on the wire. Clients do not know
# it as bodiless, so its answers carry a Content-Length like any other.
EXTRA_STATUSES = {1223}

GROUP_ID_NAMESPACE = uuid.UUID("6f1c2a52-7d0e-4b8e-9a57-2f4f0c1d9e01")
TENANT_DOMAIN = "contoso.onmicrosoft.com"
SHAREPOINT_ROOT = "https://contoso.sharepoint.com/sites/"


class SimError(Exception):
    """Bad input to the simulator (dataset, script entry, control body)."""


# ---------------------------------------------------------------------------
# Dataset

def _alias_from_name(display_name, group_id):
    folded = unicodedata.normalize("NFKD", display_name or "")
    alias = "".join(c for c in folded if c.isascii() and c.isalnum())
    if alias:
        return alias
    return "group" + hashlib.sha1(group_id.encode("utf-8", "surrogatepass")).hexdigest()[:8]


def _resources_for(alias):
    outlook = "https://outlook.office.com"
    return [
        {"name": "Conversations", "url": f"{outlook}/mail/group/{TENANT_DOMAIN}/{alias.lower()}/email"},
        {"name": "Calendar", "url": f"{outlook}/calendar/group/{TENANT_DOMAIN}/{alias.lower()}/view/month"},
        {"name": "Files", "url": f"{SHAREPOINT_ROOT}{alias}/Shared%20Documents"},
        {"name": "Notebook", "url": f"{SHAREPOINT_ROOT}{alias}/SiteAssets/{alias}%20Notebook"},
    ]


def _builtin_group(group_id, display_name, alias, access="Private", members=0):
    return {"id": group_id, "displayName": display_name, "alias": alias,
            "accessType": access, "externalMemberCount": members,
            "resources": _resources_for(alias), "unified": True}


def _non_unified_group(group_id, display_name, alias):
    # Security groups and distribution lists: Graph lists them, EWS does not, and they have no drive.
    return {"id": group_id, "displayName": display_name, "alias": alias, "resources": [], "unified": False}


def builtin_dataset():
    """Five Unified groups, names chosen to exercise non-ASCII text and XML
    escaping, with two non-Unified groups between them for Graph clients to drop."""
    return {"groups": [
        _builtin_group("0b6d3f4e-8a1c-4f2e-9b7d-1c2e3f4a5b6c", "Équipe Finance", "EquipeFinance"),
        _builtin_group("1f2e3d4c-5b6a-4978-8695-a4b3c2d1e0f9", "Vertrieb München", "VertriebMuenchen",
                       "Public", 2),
        _non_unified_group("5e6f7a8b-9cad-4ebf-8012-3c4d5e6f7a8b", "IT-Sicherheit", "ITSicherheit"),
        _builtin_group("2a3b4c5d-6e7f-4081-9a2b-3c4d5e6f7a8b", "日本チーム", "JapanTeam"),
        _builtin_group("3c4d5e6f-7a8b-4c9d-8e0f-1a2b3c4d5e6f", "R&D <Labs>", "RnDLabs"),
        _non_unified_group("6f7a8b9c-adbe-4fc0-9123-4d5e6f7a8b9c", "Alle Mitarbeitenden", "AlleMitarbeitenden"),
        _builtin_group("4d5e6f7a-8b9c-4dae-bf01-2b3c4d5e6f7a", "Marketing \"Q3\" 'Launch'", "MarketingLaunch",
                       "Public", 5),
    ]}


def synthetic_dataset(count):
    if not 0 <= count <= MAX_SYNTHETIC_GROUPS:
        raise SimError(f"--groups must be between 0 and {MAX_SYNTHETIC_GROUPS}")
    groups = []
    for i in range(1, count + 1):
        alias = f"group{i:05d}"
        group_id = str(uuid.uuid5(GROUP_ID_NAMESPACE, alias))
        groups.append(_builtin_group(group_id, f"Synthetic Group {i:05d}", alias))
    return {"groups": groups}


def _require(condition, message):
    if not condition:
        raise SimError(message)


def _check_group(index, raw):
    where = f"groups[{index}]"
    _require(isinstance(raw, dict), f"{where} must be an object")
    group = dict(raw)
    omit_id = group.setdefault("omitId", False)
    omit_name = group.setdefault("omitDisplayName", False)
    _require(isinstance(omit_id, bool) and isinstance(omit_name, bool),
             f"{where}: omitId/omitDisplayName must be booleans")
    _require(isinstance(group.get("id"), str) or (omit_id and "id" not in group),
             f"{where}.id must be a string")
    group.setdefault("id", "")
    _require(isinstance(group.get("displayName"), str) or (omit_name and "displayName" not in group),
             f"{where}.displayName must be a string")
    group.setdefault("displayName", "")
    _require(isinstance(group.setdefault("unified", True), bool), f"{where}.unified must be a boolean")
    resources = group.setdefault("resources", [])
    _require(isinstance(resources, list), f"{where}.resources must be an array")
    for j, res in enumerate(resources):
        _require(isinstance(res, dict) and isinstance(res.get("name"), str) and isinstance(res.get("url"), str),
                 f"{where}.resources[{j}] needs string name and url")
    for key in ("alias", "accessType", "smtpAddress"):
        _require(isinstance(group.get(key, ""), str), f"{where}.{key} must be a string")
    _require(isinstance(group.get("externalMemberCount", 0), int), f"{where}.externalMemberCount must be an integer")
    try:
        graph_api.check_group_fields(group, where)
    except graph_api.GraphInputError as e:
        raise SimError(str(e)) from e
    return group


def check_dataset(obj):
    """Validates a dataset object and returns a normalised deep copy."""
    _require(isinstance(obj, dict) and isinstance(obj.get("groups"), list),
             'dataset must be an object with a "groups" array')
    return {"groups": [_check_group(i, g) for i, g in enumerate(copy.deepcopy(obj["groups"]))]}


def load_dataset_file(path):
    try:
        with open(path, encoding="utf-8") as f:
            return check_dataset(json.load(f))
    except (OSError, ValueError) as e:
        raise SimError(f"cannot read dataset {path}: {e}") from e


# ---------------------------------------------------------------------------
# SOAP bodies

def _text(tag, value):
    return f"<{tag}>{xml_escape(str(value))}</{tag}>"


def _envelope(body_xml):
    return ('<?xml version="1.0" encoding="utf-8"?>'
            f'<s:Envelope xmlns:s="{NS_SOAP}"><s:Header>'
            f'<h:ServerVersionInfo MajorVersion="15" MinorVersion="20" MajorBuildNumber="7228" '
            f'MinorBuildNumber="24" Version="V2018_01_08" xmlns:h="{NS_TYPES}" xmlns="{NS_TYPES}"/>'
            f'</s:Header><s:Body>{body_xml}</s:Body></s:Envelope>')


class GroupView:
    """Derived, display-only attributes of a dataset group."""

    def __init__(self, group):
        self.group = group
        self.alias = group.get("alias") or _alias_from_name(group["displayName"], group["id"])
        self.smtp = group.get("smtpAddress") or f"{self.alias}@{TENANT_DOMAIN}"
        self.mailbox_guid = uuid.uuid5(GROUP_ID_NAMESPACE, "mailbox:" + group["id"].encode(
            "utf-8", "surrogatepass").decode("utf-8", "replace"))
        self.legacy_dn = ("/o=ExchangeLabs/ou=Exchange Administrative Group (FYDIBOHF23SPDLT)"
                          f"/cn=Recipients/cn={self.mailbox_guid.hex}-{self.alias}")
        self.access = group.get("accessType") or "Private"

    def listing_entry(self, t):
        g = self.group
        parts = [t.text("SmtpAddress", self.smtp), t.text("LegacyDN", self.legacy_dn),
                 t.text("MailboxGuid", self.mailbox_guid)]
        if not g["omitDisplayName"]:
            parts.append(t.text("DisplayName", g["displayName"]))
        parts.append(t.text("AccessType", self.access))
        if not g["omitId"]:
            parts.append(t.text("ExternalDirectoryObjectId", g["id"]))
        return t.element("UnifiedGroup", "".join(parts))


class MessageTags:
    """Names for a response message and its members in the messages namespace:
    unprefixed under a default namespace, or with the "m:" prefix Exchange
    commonly writes."""

    def __init__(self, prefixed):
        self.p = "m:" if prefixed else ""
        self.declaration = f'xmlns:m="{NS_MESSAGES}"' if prefixed else f'xmlns="{NS_MESSAGES}"'

    def open(self, operation, response_class):
        return f"<{self.p}{operation}ResponseMessage ResponseClass={quoteattr(response_class)} {self.declaration}>"

    def close(self, operation):
        return f"</{self.p}{operation}ResponseMessage>"

    def text(self, tag, value):
        return _text(self.p + tag, value)


class TypeTags:
    """Names in the EWS types namespace: unprefixed under a default namespace
    declared on the outermost one, or with the "t:" prefix Exchange writes in
    most of its answers."""

    def __init__(self, prefixed):
        self.p = "t:" if prefixed else ""
        self.declaration = f'xmlns:t="{NS_TYPES}"' if prefixed else f'xmlns="{NS_TYPES}"'

    def text(self, tag, value):
        return _text(self.p + tag, value)

    def element(self, tag, content, declare=False):
        attributes = " " + self.declaration if declare else ""
        return f"<{self.p}{tag}{attributes}>{content}</{self.p}{tag}>"


class AnswerShape:
    """How the EWS answers are written, beyond the dataset: types prefixed or
    not, and listings that say less than they seem (no GroupsSets, another
    TotalGroups, another filter type). Set through POST /_sim/ews-shape."""

    FIELDS = {"typesPrefixed": bool, "groupsSets": bool, "totalGroups": int, "filterType": str}

    def __init__(self, raw=None):
        raw = {} if raw is None else raw
        _require(isinstance(raw, dict) and set(raw) <= set(self.FIELDS),
                 f"ews-shape members must be among {sorted(self.FIELDS)}")
        for name, kind in self.FIELDS.items():
            value = raw.get(name)
            _require(value is None or (isinstance(value, kind) and (kind is not int or not isinstance(value, bool))),
                     f"ews-shape {name} must be {kind.__name__}")
        self.types_prefixed = raw.get("typesPrefixed", False)
        self.groups_sets = raw.get("groupsSets", True)
        self.total_groups = raw.get("totalGroups")
        self.filter_type = raw.get("filterType", "All")

    def describe(self):
        return {"typesPrefixed": self.types_prefixed, "groupsSets": self.groups_sets,
                "totalGroups": self.total_groups, "filterType": self.filter_type}


def listing_body(groups, limit=None, prefixed=False, shape=None):
    shape = shape or AnswerShape()
    unified = [g for g in groups if g["unified"]]
    shown = unified if limit is None else unified[:limit]
    t = TypeTags(shape.types_prefixed)
    entries = "".join(GroupView(g).listing_entry(t) for g in shown)
    total = len(unified) if shape.total_groups is None else shape.total_groups
    group_set = t.element("UnifiedGroupsSet", t.text("FilterType", shape.filter_type) + t.text("TotalGroups", total)
                          + t.element("Groups", entries), declare=True)
    m = MessageTags(prefixed)
    sets = f"<{m.p}GroupsSets>{group_set}</{m.p}GroupsSets>" if shape.groups_sets else ""
    return _envelope(m.open(OP_LISTING, "Success") + m.text("ResponseCode", "NoError") + sets + m.close(OP_LISTING))


def details_body(group, prefixed=False, shape=None):
    shape = shape or AnswerShape()
    view = GroupView(group)
    t = TypeTags(shape.types_prefixed)
    resources = "".join(t.element("Resource", t.text("Name", r["name"]) + t.text("Url", r["url"]))
                        for r in group["resources"])
    details = (t.text("SmtpAddress", view.smtp) + t.text("DisplayName", group["displayName"])
               + t.text("ExternalDirectoryObjectId", group["id"]) + t.text("AccessType", view.access)
               + t.text("ExternalMemberCount", group.get("externalMemberCount", 0))
               + t.element("Resources", resources))
    m = MessageTags(prefixed)
    return _envelope(m.open(OP_DETAILS, "Success") + m.text("ResponseCode", "NoError")
                     + t.element("GroupDetails", details, declare=True) + m.close(OP_DETAILS))


# Fault members a test may ask for, in the order they are written.
FAULT_DETAIL_FIELDS = ("errorstring", "errorcode", "m:message", "m:code")
FAULT_FIELDS = ("faultcode", "faultstring") + FAULT_DETAIL_FIELDS


def fault_body(fields):
    """A SOAP 1.1 fault holding exactly the members asked for (plus faultcode,
    which SOAP requires and the client ignores)."""
    code = fields.get("faultcode", "s:Server")
    parts = [_text("faultcode", code)]
    if "faultstring" in fields:
        parts.append(_text("faultstring", fields["faultstring"]))
    detail = "".join(_text(name, fields[name]) for name in FAULT_DETAIL_FIELDS if name in fields)
    if detail:
        parts.append(f"<detail>{detail}</detail>")
    return (f'<?xml version="1.0" encoding="utf-8"?><s:Envelope xmlns:s="{NS_SOAP}" xmlns:m="{NS_MESSAGES}">'
            f'<s:Body><s:Fault>{"".join(parts)}</s:Fault></s:Body></s:Envelope>')


def ews_error_fault(response_code, message, back_off_ms=None):
    """The shape of a server-side EWS failure: faultstring plus coded detail,
    with the server's prefixes; throttling adds BackOffMilliseconds."""
    back_off = ""
    if back_off_ms is not None:
        back_off = (f'<t:MessageXml xmlns:t="{NS_TYPES}"><t:Value Name="BackOffMilliseconds">{back_off_ms}'
                    "</t:Value></t:MessageXml>")
    return (f'<?xml version="1.0" encoding="utf-8"?><s:Envelope xmlns:s="{NS_SOAP}"><s:Body><s:Fault>'
            f'<faultcode xmlns:a="{NS_TYPES}">a:{xml_escape(response_code)}</faultcode>'
            + _text("faultstring", message)
            + f'<detail><e:ResponseCode xmlns:e="{NS_ERRORS}">{xml_escape(response_code)}</e:ResponseCode>'
            f'<e:Message xmlns:e="{NS_ERRORS}">{xml_escape(message)}</e:Message>{back_off}</detail>'
            "</s:Fault></s:Body></s:Envelope>")


def response_message_body(operation, fields):
    """An answer of HTTP 200 whose response message reports the class, code and
    text asked for: how EWS reports most failures of an operation."""
    m = MessageTags(fields.get("prefixed", False))
    back_off = ""
    if fields.get("backOffMs") is not None:
        back_off = (f'<{m.p}MessageXml><t:Value Name="BackOffMilliseconds" xmlns:t="{NS_TYPES}">'
                    f'{fields["backOffMs"]}</t:Value></{m.p}MessageXml>' if m.p else
                    f'<MessageXml><Value Name="BackOffMilliseconds" xmlns="{NS_TYPES}">{fields["backOffMs"]}'
                    "</Value></MessageXml>")
    return _envelope(
        m.open(operation, fields.get("class", "Error"))
        + m.text("MessageText", fields.get("text", "")) + m.text("ResponseCode", fields.get("code", "ErrorInternalServerError"))
        + m.text("DescriptiveLinkKey", 0) + back_off + m.close(operation))


# Members of the "responseMessage" and "ewsFault" script entries.
EWS_ANSWER_FIELDS = {"class", "code", "text", "backOffMs", "prefixed"}


def _check_ews_answer(name, fields):
    _require(isinstance(fields, dict), f"{name} must be an object")
    unknown = set(fields) - EWS_ANSWER_FIELDS
    _require(not unknown, f"unknown {name} members {sorted(unknown)}; known: {sorted(EWS_ANSWER_FIELDS)}")
    _require(all(isinstance(fields[k], str) for k in ("class", "code", "text") if k in fields),
             f"{name}: class, code and text must be text")
    back_off = fields.get("backOffMs")
    _require(back_off is None or (isinstance(back_off, int) and not isinstance(back_off, bool)),
             f"{name}.backOffMs must be an integer")
    _require(isinstance(fields.get("prefixed", False), bool), f"{name}.prefixed must be true or false")
    return fields


# ---------------------------------------------------------------------------
# Reading requests

_VALUE_RE = re.compile(r"<(?:[A-Za-z_][\w.-]*:)?Value(?:\s[^>]*)?>(.*?)</(?:[A-Za-z_][\w.-]*:)?Value\s*>", re.S)
_LIMIT_RE = re.compile(r"<(?:[A-Za-z_][\w.-]*:)?GroupsLimit(?:\s[^>]*)?>\s*(\d+)\s*<", re.S)


def operation_of(body_text):
    if OP_LISTING in body_text:
        return OP_LISTING
    if OP_DETAILS in body_text:
        return OP_DETAILS
    return None


def requested_group_id(body_text):
    m = _VALUE_RE.search(body_text)
    return m.group(1) if m else None


def requested_limit(body_text):
    m = _LIMIT_RE.search(body_text)
    return int(m.group(1)) if m else None


def find_group(groups, wanted):
    # The client sends the id unescaped; a well-behaved one would escape it, so accept both.
    for candidate in (wanted, html.unescape(wanted), wanted.strip()):
        for g in groups:
            if not g["omitId"] and g["id"] == candidate:
                return g
    return None


# ---------------------------------------------------------------------------
# Replies and scripted answers

class Reply:
    """One answer to send. `headers` replace same-named defaults; a None value
    suppresses that default header altogether."""

    def __init__(self, status, body=b"", content_type=None, headers=(), reason=None):
        self.status = status
        self.body = body
        self.content_type = content_type
        self.headers = list(headers)
        self.reason = reason
        # Written, then the connection held open this long before anything else.
        self.stall_ms = 0


def _check_header_list(raw):
    if isinstance(raw, dict):
        pairs = list(raw.items())
    elif isinstance(raw, list):
        _require(all(isinstance(p, list) and len(p) == 2 for p in raw), "headers list needs [name, value] pairs")
        pairs = [tuple(p) for p in raw]
    else:
        raise SimError("headers must be an object or a list of [name, value] pairs")
    out = []
    for name, value in pairs:
        _require(isinstance(name, str) and name and re.fullmatch(r"[!#$%&'*+.^_`|~0-9A-Za-z-]+", name),
                 f"bad header name {name!r}")
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            value = str(value)
        _require(value is None or isinstance(value, str), f"header {name}: value must be text or null")
        # CR or LF would break the framing of every later answer on the connection.
        _require(value is None or not re.search(r"[\r\n]", value), f"header {name}: value contains CR/LF")
        out.append((name, value))
    return out


def _entry_body(raw):
    sources = [k for k in BODY_SOURCES if k in raw]
    _require(len(sources) <= 1, f"only one of {'/'.join(BODY_SOURCES)}, got {sources}")
    if "body" in raw:
        _require(isinstance(raw["body"], str), "body must be text")
        return raw["body"].encode("utf-8", "surrogatepass")
    if "bodyBase64" in raw:
        try:
            return base64.b64decode(raw["bodyBase64"], validate=True)
        except (ValueError, TypeError) as e:
            raise SimError(f"bodyBase64: {e}") from e
    if "bodyRepeat" in raw:
        rep = raw["bodyRepeat"]
        _require(isinstance(rep, dict) and isinstance(rep.get("text"), str) and isinstance(rep.get("count"), int)
                 and rep["count"] >= 0, 'bodyRepeat needs {"text": string, "count": integer >= 0}')
        unit = rep["text"].encode("utf-8", "surrogatepass")
        _require(len(unit) * rep["count"] <= MAX_SCRIPTED_BODY, "bodyRepeat too large")
        return unit * rep["count"]
    if "bodyParts" in raw:
        parts = raw["bodyParts"]
        _require(isinstance(parts, list) and all(isinstance(p, dict) and isinstance(p.get("text"), str)
                                                 and isinstance(p.get("count", 1), int) and p.get("count", 1) >= 0
                                                 for p in parts),
                 'bodyParts needs [{"text": string, "count": integer >= 0}, ...]')
        units = [(p["text"].encode("utf-8", "surrogatepass"), p.get("count", 1)) for p in parts]
        _require(sum(len(u) * n for u, n in units) <= MAX_SCRIPTED_BODY, "bodyParts too large")
        return b"".join(u * n for u, n in units)
    if "fault" in raw:
        fields = raw["fault"]
        _require(isinstance(fields, dict) and fields, "fault must be a non-empty object")
        unknown = set(fields) - set(FAULT_FIELDS)
        _require(not unknown, f"unknown fault members {sorted(unknown)}; known: {list(FAULT_FIELDS)}")
        _require(all(isinstance(v, str) for v in fields.values()), "fault members must be text")
        return fault_body(fields).encode("utf-8", "surrogatepass")
    if "ewsFault" in raw:
        fields = _check_ews_answer("ewsFault", raw["ewsFault"])
        return ews_error_fault(fields.get("code", "ErrorServerBusy"), fields.get("text", ""),
                               fields.get("backOffMs")).encode("utf-8", "surrogatepass")
    if "responseMessage" in raw:
        _check_ews_answer("responseMessage", raw["responseMessage"])
    return b""


BODY_SOURCES = ("body", "bodyBase64", "bodyRepeat", "bodyParts", "fault", "ewsFault", "responseMessage")
ENTRY_FIELDS = {"match", "status", "reason", "headers", "delayMs", "stallMs", "times", "passThrough"} | set(BODY_SOURCES)
MATCH_FIELDS = {"operation", "path", "method"}


class ScriptEntry:
    """A queued answer, validated when it is queued so a typo fails the test
    that made it rather than some later request."""

    def __init__(self, raw):
        _require(isinstance(raw, dict), "script entry must be an object")
        unknown = set(raw) - ENTRY_FIELDS
        _require(not unknown, f"unknown script entry fields {sorted(unknown)}")
        self.match = raw.get("match") or {}
        _require(isinstance(self.match, dict) and set(self.match) <= MATCH_FIELDS
                 and all(isinstance(v, str) for v in self.match.values()),
                 f"match must be an object with text members among {sorted(MATCH_FIELDS)}")
        self.fault = "fault" in raw or "ewsFault" in raw
        self.response_message = raw.get("responseMessage")
        self.status = raw.get("status", 500 if self.fault else 200)
        _require(isinstance(self.status, int) and not isinstance(self.status, bool)
                 and (100 <= self.status <= 999 or self.status in EXTRA_STATUSES),
                 "status must be an integer from 100 to 999 (or 1223)")
        self.reason = raw.get("reason")
        _require(self.reason is None or (isinstance(self.reason, str) and not re.search(r"[\r\n]", self.reason)),
                 "reason must be text without CR/LF")
        self.headers = _check_header_list(raw.get("headers", []))
        self.body = _entry_body(raw)
        self.delay = raw.get("delayMs", 0)
        _require(isinstance(self.delay, (int, float)) and not isinstance(self.delay, bool) and self.delay >= 0,
                 "delayMs must be a number >= 0")
        self.stall = raw.get("stallMs", 0)
        _require(isinstance(self.stall, (int, float)) and not isinstance(self.stall, bool) and self.stall >= 0,
                 "stallMs must be a number >= 0")
        self.times = raw.get("times", 1)
        _require(isinstance(self.times, int) and not isinstance(self.times, bool) and self.times >= 1,
                 "times must be an integer >= 1")
        self.pass_through = raw.get("passThrough", False)
        _require(isinstance(self.pass_through, bool), "passThrough must be a boolean")
        self.raw = raw

    def fits(self, method, path, operation):
        m = self.match
        return (m.get("method", method).upper() == method.upper()
                and m.get("path", path).lower() == path.lower()
                and m.get("operation", operation) == operation)

    def reply(self, operation):
        body = self.body
        if self.response_message is not None:
            body = response_message_body(self.match.get("operation", operation or OP_LISTING),
                                         self.response_message).encode("utf-8", "surrogatepass")
        content_type = SOAP_CONTENT_TYPE if self.fault or self.response_message is not None else None
        reply = Reply(self.status, body, content_type, self.headers, self.reason)
        reply.stall_ms = self.stall
        return reply

    def describe(self):
        out = dict(self.raw)
        out["times"] = self.times
        return out


# ---------------------------------------------------------------------------
# Shared state

# How EWS answers: normally; as a tenant that blocks EWS (403 to every
# request, as Exchange Online does since October 2026); as a tenant where EWS
# is switched off (404). Graph is served normally in every mode.
EWS_MODES = {"normal": None, "blocked": 403, "gone": 404}
# Why Exchange Online refuses EWS, in the header it says so with.
POLICY_REASON_HEADER = "X-EWS-Policy-Reason"
BLOCKED_REASON = "EWS is disabled for this user or tenant"


class SimState:
    """Everything tests can change; one lock guards all of it."""

    def __init__(self, dataset, ews_mode="normal"):
        self.lock = threading.Lock()
        _require(ews_mode in EWS_MODES, f"EWS mode must be one of {sorted(EWS_MODES)}")
        self.startup_ews_mode = ews_mode
        self.ews_mode = ews_mode
        # Response messages written with the "m:" prefix.
        self.ews_prefixed = False
        self.ews_shape = AnswerShape()
        self.startup_dataset = check_dataset(dataset)
        self.dataset = copy.deepcopy(self.startup_dataset)
        self.script = []
        self.refusals = {}
        self.requests = []
        self.startup_answer_delay_ms = 0
        self.answer_delay_ms = 0
        # Requests (outside the control API) between arrival and answer.
        self.open_requests = 0

    def reset(self):
        with self.lock:
            self.dataset = copy.deepcopy(self.startup_dataset)
            self.ews_mode = self.startup_ews_mode
            self.ews_prefixed = False
            self.ews_shape = AnswerShape()
            self.script.clear()
            self.refusals.clear()
            self.requests.clear()
            self.answer_delay_ms = self.startup_answer_delay_ms

    def set_answer_delay(self, milliseconds, at_startup=False):
        _require(isinstance(milliseconds, (int, float)) and not isinstance(milliseconds, bool)
                 and 0 <= milliseconds <= MAX_ANSWER_DELAY_MS,
                 f"the answer delay must be a number of milliseconds from 0 to {MAX_ANSWER_DELAY_MS}")
        with self.lock:
            self.answer_delay_ms = milliseconds
            if at_startup:
                self.startup_answer_delay_ms = milliseconds

    def get_answer_delay(self):
        with self.lock:
            return self.answer_delay_ms

    def arrive(self):
        """Counts one more open request and returns how many are open with it."""
        with self.lock:
            self.open_requests += 1
            return self.open_requests

    def leave(self):
        with self.lock:
            self.open_requests -= 1

    def open_count(self):
        with self.lock:
            return self.open_requests

    def set_dataset(self, obj):
        checked = check_dataset(obj)
        with self.lock:
            self.dataset = checked

    def set_ews_mode(self, mode, prefixed=None):
        _require(mode is None or mode in EWS_MODES, f"EWS mode must be one of {sorted(EWS_MODES)}")
        _require(prefixed is None or isinstance(prefixed, bool), "prefixed must be true or false")
        with self.lock:
            if mode is not None:
                self.ews_mode = mode
            if prefixed is not None:
                self.ews_prefixed = prefixed

    def prefixed_messages(self):
        with self.lock:
            return self.ews_prefixed

    def set_answer_shape(self, shape):
        with self.lock:
            self.ews_shape = shape

    def answer_shape(self):
        with self.lock:
            return self.ews_shape

    def current_ews_mode(self):
        with self.lock:
            return self.ews_mode

    def groups(self):
        with self.lock:
            return self.dataset["groups"]

    def refuse(self, token, status):
        with self.lock:
            if status == 0:
                self.refusals.pop(token, None)
            else:
                self.refusals[token] = status

    def refusal_for(self, token):
        with self.lock:
            return self.refusals.get(token)

    def queue(self, entries):
        with self.lock:
            self.script.extend(entries)
            return len(self.script)

    def take(self, method, path, operation):
        """Removes one use of the first fitting entry and returns it, or None."""
        with self.lock:
            for i, entry in enumerate(self.script):
                if entry.fits(method, path, operation):
                    entry.times -= 1
                    if entry.times == 0:
                        del self.script[i]
                    return entry
        return None

    def pending_script(self):
        with self.lock:
            return [e.describe() for e in self.script]

    def record(self, item):
        with self.lock:
            self.requests.append(item)

    def recorded(self):
        with self.lock:
            return list(self.requests)

    def clear_requests(self):
        with self.lock:
            self.requests.clear()


# ---------------------------------------------------------------------------
# HTTP

def _wire(text):
    try:
        return text.encode("latin-1")
    except UnicodeEncodeError:
        return text.encode("utf-8", "surrogatepass")


def _header_text(value):
    # http.server decodes header bytes as latin-1; most clients send UTF-8.
    raw = value.encode("latin-1", "replace")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return value


class BadRequest(Exception):
    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


class SimHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = READ_TIMEOUT_SECONDS

    def setup(self):
        if isinstance(self.request, ssl.SSLSocket):
            # In the handler's own thread, so a client that never finishes
            # (or fails) its handshake holds up no other connection.
            self.request.settimeout(TLS_HANDSHAKE_SECONDS)
            self.request.do_handshake()
        super().setup()
        self.server.track(self.connection, True)

    def finish(self):
        try:
            super().finish()
        finally:
            self.server.track(self.connection, False)

    def __getattr__(self, name):
        # Every method goes through one dispatcher, so scripts can answer any of them.
        if name.startswith("do_"):
            return self.dispatch
        raise AttributeError(name)

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("ews-sim: %s - %s\n" % (self.address_string(), fmt % args))

    @property
    def state(self):
        return self.server.state

    # -- reading

    def read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            return self.read_chunked()
        length = self.headers.get("Content-Length")
        if length is None:
            return b""
        if not length.strip().isdigit():
            raise BadRequest(400, "bad Content-Length")
        size = int(length)
        if size > MAX_REQUEST_BODY:
            raise BadRequest(413, "request body too large")
        body = self.rfile.read(size)
        if len(body) != size:
            raise BadRequest(400, "request body shorter than Content-Length")
        return body

    def read_chunked(self):
        parts, total = [], 0
        while True:
            line = self.rfile.readline(1024)
            try:
                size = int(line.split(b";")[0].strip(), 16)
            except ValueError:
                raise BadRequest(400, "bad chunk size") from None
            total += size
            if total > MAX_REQUEST_BODY:
                raise BadRequest(413, "request body too large")
            if size == 0:
                while self.rfile.readline(1024) not in (b"\r\n", b"\n", b""):
                    pass
                return b"".join(parts)
            parts.append(self.rfile.read(size))
            self.rfile.readline(1024)

    # -- dispatch

    def dispatch(self):
        url = urllib.parse.urlsplit(self.path)
        path, query = url.path, url.query
        try:
            body = self.read_body()
        except BadRequest as e:
            self.close_connection = True
            self.send_reply(Reply(e.status, str(e).encode(), "text/plain; charset=utf-8"))
            return
        if path.startswith(CONTROL_PREFIX):
            api = ControlApi(self.server)
            self.send_reply(api.handle(self.command, path, body))
            if api.after_reply:
                api.after_reply()
            return
        open_now = self.state.arrive()
        try:
            self.answer(path, query, body, open_now)
        finally:
            self.state.leave()

    def answer(self, path, query, body, open_now):
        text = body.decode("utf-8", "replace")
        self.state.record({
            "method": self.command, "path": path, "query": query,
            "headers": [[n, _header_text(v)] for n, v in self.headers.items()],
            "body": text, "bodyLength": len(body), "open": open_now, "time": time.time()})
        # The time a real service takes to answer, before any scripted delay.
        delay = self.state.get_answer_delay()
        if delay:
            self.server.stopping.wait(delay / 1000.0)
        graph = self.server.graph
        operation = graph.operation_of(path) if graph.owns(path) else operation_of(text)
        entry = self.state.take(self.command, path, operation)
        if entry and entry.delay:
            self.server.stopping.wait(entry.delay / 1000.0)
        if entry and not entry.pass_through:
            self.send_reply(entry.reply(operation))
            return
        if graph.owns(path):
            reply = self.graph_answer(path, query, body)
        else:
            reply = self.normal_answer(path, text, operation)
        if entry:
            reply.headers.extend(entry.headers)
        self.send_reply(reply)

    def normal_answer(self, path, text, operation):
        if path.lower() != EWS_PATH.lower():
            return Reply(404, b"Not Found", "text/plain; charset=utf-8")
        refusal = EWS_MODES[self.state.current_ews_mode()]
        if refusal:
            reason = [(POLICY_REASON_HEADER, BLOCKED_REASON)] if refusal == 403 else []
            return Reply(refusal, http.HTTPStatus(refusal).phrase.encode(), "text/plain; charset=utf-8", reason)
        if self.command != "POST":
            return Reply(405, b"", None, [("Allow", "POST")])
        auth = self.headers.get("Authorization")
        if auth is None or not auth.startswith("Bearer "):
            return Reply(401, b"", None, [("WWW-Authenticate", 'Bearer realm=""')])
        refused = self.state.refusal_for(_header_text(auth[len("Bearer "):]))
        if refused:
            challenge = [("WWW-Authenticate", 'Bearer error="invalid_token"')] if refused == 401 else []
            return Reply(refused, b"", None, challenge)
        return self.ews_answer(text, operation)

    def graph_answer(self, path, query, body):
        auth = self.headers.get("Authorization")
        request = graph_api.GraphRequest(
            self.command, path, query, body, None if auth is None else _header_text(auth),
            self.state.groups(), self.state.refusal_for, self.server.base_url)
        return Reply(*self.server.graph.answer(request))

    def ews_answer(self, text, operation):
        groups = self.state.groups()
        prefixed = self.state.prefixed_messages()
        shape = self.state.answer_shape()
        if operation == OP_LISTING:
            body = listing_body(groups, requested_limit(text), prefixed, shape)
        elif operation == OP_DETAILS:
            wanted = requested_group_id(text)
            group = find_group(groups, wanted) if wanted is not None else None
            if group is None:
                body = ews_error_fault("ErrorItemNotFound", f"The group {wanted!r} was not found.")
                return Reply(500, body.encode("utf-8", "surrogatepass"), SOAP_CONTENT_TYPE)
            body = details_body(group, prefixed, shape)
        else:
            body = ews_error_fault("ErrorInvalidRequest", "The request is invalid: unknown operation.")
            return Reply(500, body.encode("utf-8"), SOAP_CONTENT_TYPE)
        return Reply(200, body.encode("utf-8", "surrogatepass"), SOAP_CONTENT_TYPE)

    # -- writing

    def send_reply(self, reply):
        """Writes status line, headers and body with one write, so Nagle and
        delayed ACK never split an answer."""
        no_body = reply.status < 200 or reply.status in NO_BODY_STATUSES
        defaults = [("Date", email.utils.formatdate(usegmt=True))]
        if reply.content_type:
            defaults.insert(0, ("Content-Type", reply.content_type))
        if not no_body or reply.body:
            defaults.append(("Content-Length", str(len(reply.body))))
        overridden = {n.lower() for n, _ in reply.headers}
        headers = [h for h in defaults if h[0].lower() not in overridden]
        headers += [(n, v) for n, v in reply.headers if v is not None]
        if self.must_close(headers, reply.body, no_body):
            self.close_connection = True
            if not any(n.lower() == "connection" for n, _ in headers):
                headers.append(("Connection", "close"))
        reason = reply.reason
        if reason is None:
            try:
                reason = http.HTTPStatus(reply.status).phrase
            except ValueError:
                reason = "Unknown"
        head = f"HTTP/1.1 {reply.status} {reason}\r\n".encode("latin-1", "replace")
        head += b"".join(_wire(f"{n}: {v}\r\n") for n, v in headers) + b"\r\n"
        payload = head if self.command == "HEAD" else head + reply.body
        try:
            self.wfile.write(payload)
            self.wfile.flush()
        except OSError:
            self.close_connection = True
        if self.server.quick_ack:
            acknowledge_at_once(self.connection)
        if reply.stall_ms:
            self.server.stopping.wait(reply.stall_ms / 1000.0)
        self.log_request(reply.status, len(reply.body))

    def must_close(self, headers, body, no_body):
        if self.close_connection:
            return True
        lengths = [v.strip() for n, v in headers if n.lower() == "content-length"]
        if any(n.lower() == "transfer-encoding" for n, _ in headers):
            return True
        if any(n.lower() == "connection" and v.strip().lower() == "close" for n, v in headers):
            return True
        if not lengths:
            # Without a length only the end of the connection delimits the body.
            return not no_body or bool(body)
        return lengths != [str(len(body))]


class ControlApi:
    """JSON endpoints under /_sim/; never recorded in the request log."""

    def __init__(self, server):
        self.server = server
        self.state = server.state
        self.after_reply = None

    def handle(self, method, path, body):
        route = {
            ("POST", "reset"): self.reset, ("POST", "dataset"): self.dataset, ("GET", "dataset"): self.get_dataset,
            ("POST", "refuse"): self.refuse, ("POST", "script"): self.script, ("GET", "script"): self.get_script,
            ("GET", "requests"): self.requests, ("POST", "requests/clear"): self.clear_requests,
            ("GET", "health"): self.health, ("POST", "stop"): self.stop,
            ("POST", "graph"): self.graph, ("GET", "graph"): self.get_graph, ("POST", "ews"): self.ews,
            ("POST", "delay"): self.delay, ("GET", "delay"): self.get_delay,
            ("POST", "ews-shape"): self.ews_shape, ("GET", "ews-shape"): self.get_ews_shape,
        }
        name = path[len(CONTROL_PREFIX):].rstrip("/")
        handler = route.get((method, name))
        if handler is None:
            known = any(key[1] == name for key in route)
            return self.json(405 if known else 404, {"error": f"no control endpoint {method} {path}"})
        try:
            return self.json(200, handler(self.parse(body)))
        except SimError as e:
            return self.json(400, {"error": str(e)})

    @staticmethod
    def parse(body):
        if not body.strip():
            return None
        try:
            return json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, ValueError) as e:
            raise SimError(f"bad JSON: {e}") from e

    @staticmethod
    def json(status, obj):
        return Reply(status, json.dumps(obj).encode("utf-8"), JSON_CONTENT_TYPE)

    def reset(self, _):
        self.state.reset()
        self.server.graph.reset()
        return {"ok": True}

    def dataset(self, obj):
        self.state.set_dataset(obj)
        return {"ok": True, "groups": len(self.state.groups())}

    def get_dataset(self, _):
        return {"groups": self.state.groups()}

    def refuse(self, obj):
        _require(isinstance(obj, dict) and isinstance(obj.get("token"), str),
                 'refuse needs {"token": string, "status": 401|403|0}')
        status = obj.get("status", 401)
        _require(status in (0, 401, 403) and not isinstance(status, bool), "status must be 401, 403 or 0")
        self.state.refuse(obj["token"], status)
        return {"ok": True}

    def script(self, obj):
        raw = obj if isinstance(obj, list) else [obj]
        entries = [ScriptEntry(r) for r in raw]
        return {"ok": True, "queued": self.state.queue(entries)}

    def get_script(self, _):
        return self.state.pending_script()

    def requests(self, _):
        return self.state.recorded()

    def clear_requests(self, _):
        self.state.clear_requests()
        return {"ok": True}

    def graph(self, obj):
        try:
            return self.server.graph.configure(obj)
        except graph_api.GraphInputError as e:
            raise SimError(str(e)) from e

    def ews(self, obj):
        _require(isinstance(obj, dict) and ("mode" in obj or "prefixed" in obj)
                 and set(obj) <= {"mode", "prefixed"} and isinstance(obj.get("mode", ""), str),
                 'ews needs {"mode": "normal"|"blocked"|"gone", "prefixed": true|false} (either or both)')
        self.state.set_ews_mode(obj.get("mode"), obj.get("prefixed"))
        return {"ok": True, "mode": self.state.current_ews_mode(), "prefixed": self.state.prefixed_messages()}

    def get_graph(self, _):
        return self.server.graph.settings()

    def ews_shape(self, obj):
        self.state.set_answer_shape(AnswerShape(obj))
        return self.get_ews_shape(None)

    def get_ews_shape(self, _):
        return dict(self.state.answer_shape().describe(), ok=True)

    def delay(self, obj):
        _require(isinstance(obj, dict) and "ms" in obj, 'delay needs {"ms": number}')
        self.state.set_answer_delay(obj["ms"])
        return {"ok": True, "ms": self.state.get_answer_delay()}

    def get_delay(self, _):
        return {"ms": self.state.get_answer_delay()}

    def health(self, _):
        return {"ok": True, "port": self.server.port, "open": self.state.open_count()}

    def stop(self, _):
        # Runs once the answer is written; this is a handler thread, not the serving one.
        self.after_reply = self.server.request_stop
        return {"ok": True}


class SimServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, state, port=0, verbose=False, graph=None, tls_context=None, quick_ack=False):
        self.state = state
        self.tls_context = tls_context
        # Acknowledge at once (TCP_QUICKACK) instead of as an ordinary server does; see acknowledge_at_once.
        self.quick_ack = quick_ack
        # Listeners of the same simulator (same state), stopped together.
        self.peers = []
        self.graph = graph or graph_api.GraphApi(reserved=(CONTROL_PREFIX, EWS_PATH))
        self.verbose = verbose
        self.stopping = threading.Event()
        self.connections = set()
        self.connections_lock = threading.Lock()
        # Read back from each accepted socket, so tests can see TCP_NODELAY took effect.
        self.nodelay_seen = []
        # Connections on which quick acknowledgement was switched on.
        self.quick_acks = 0
        super().__init__((BIND_ADDRESS, port), SimHandler)

    @property
    def port(self):
        return self.server_address[1]

    @property
    def base_url(self):
        if self.tls_context:
            return f"https://{TLS_HOST_NAME}:{self.port}"
        return f"http://{BIND_ADDRESS}:{self.port}"

    def get_request(self):
        sock, addr = super().get_request()
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.nodelay_seen.append(bool(sock.getsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY)))
        if self.quick_ack:
            self.quick_acks += 1
            acknowledge_at_once(sock)
        if self.tls_context:
            # The handshake happens in the handler thread (SimHandler.setup).
            sock = self.tls_context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, addr

    def track(self, sock, alive):
        with self.connections_lock:
            (self.connections.add if alive else self.connections.discard)(sock)

    def request_stop(self):
        """Idempotent and callable from any thread except the serving one."""
        if self.stopping.is_set():
            return
        self.stopping.set()
        self.shutdown()
        for peer in self.peers:
            peer.request_stop()

    def close_connections(self):
        with self.connections_lock:
            socks = list(self.connections)
        for sock in socks:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


def acknowledge_at_once(sock):
    """Only with --quick-ack (the tests, for speed). Clients that write a
    request's headers and body separately with Nagle's algorithm on (Wine's
    WinHTTP does) hold the body until the headers are acknowledged; an
    ordinary server acknowledges late (Linux's delayed ACK, about 40 ms here),
    so every such request waits that long, and by default the simulator lets
    it, as such a server would. Linux keeps this mode only for a while, so it
    is set again after every answer."""
    if hasattr(socket, "TCP_QUICKACK"):
        try:
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
        except OSError:
            pass


def tls_context(cert_file, key_file):
    """Server-side TLS context for a PEM certificate (chain) and key."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    try:
        context.load_cert_chain(cert_file, key_file)
    except (OSError, ssl.SSLError) as e:
        raise SimError(f"cannot load certificate {cert_file} / key {key_file}: {e}") from e
    return context


class EwsSimulator:
    """The server plus its bounded life; usable in-process by tests.

    tls: (cert, key) makes the main listener HTTPS. extra_https: (cert, key)
    pairs, each one more HTTPS listener on its own free port sharing the
    dataset, script queue and request log (extra_ports)."""

    def __init__(self, dataset=None, port=0, lifetime=900.0, verbose=False,
                 graph_page_size=graph_api.DEFAULT_PAGE_SIZE, graph_prefix=graph_api.DEFAULT_PREFIX,
                 answer_delay_ms=0, ews_mode="normal", tls=None, extra_https=(), second_http=False,
                 quick_ack=False):
        if not lifetime > 0:
            raise SimError("lifetime must be positive")
        self.state = SimState(dataset if dataset is not None else builtin_dataset(), ews_mode)
        self.state.set_answer_delay(answer_delay_ms, at_startup=True)
        try:
            graph = graph_api.GraphApi(graph_prefix, graph_page_size, reserved=(CONTROL_PREFIX, EWS_PATH))
        except graph_api.GraphInputError as e:
            raise SimError(str(e)) from e
        contexts = [tls_context(*pair) for pair in extra_https]
        self.server = SimServer(self.state, port, verbose, graph, tls_context(*tls) if tls else None, quick_ack)
        self.extra = [SimServer(self.state, 0, verbose, graph, context, quick_ack) for context in contexts]
        # Its own state (request log, script queue) over the same dataset: a
        # different server on another port, such as the target of a redirect.
        self.second = None
        if second_http:
            second_state = SimState(copy.deepcopy(self.state.startup_dataset), ews_mode)
            second_graph = graph_api.GraphApi(graph_prefix, graph_page_size, reserved=(CONTROL_PREFIX, EWS_PATH))
            self.second = SimServer(second_state, 0, verbose, second_graph, quick_ack=quick_ack)
            self.extra.append(self.second)
        self.server.peers = self.extra
        self.lifetime = lifetime
        self.thread = None
        self.stopped = threading.Event()

    @property
    def port(self):
        return self.server.port

    @property
    def extra_ports(self):
        return [server.port for server in self.extra if server is not self.second]

    @property
    def second_port(self):
        return self.second.port if self.second else None

    def serve(self):
        timer = threading.Timer(self.lifetime, self.server.request_stop)
        timer.daemon = True
        timer.start()
        threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
                   for s in self.extra]
        for thread in threads:
            thread.start()
        try:
            self.server.serve_forever(poll_interval=0.1)
        finally:
            timer.cancel()
            for server in [self.server] + self.extra:
                server.request_stop()
            for thread in threads:
                thread.join(5)
            for server in [self.server] + self.extra:
                server.stopping.set()
                server.close_connections()
                server.server_close()
            self.stopped.set()

    def start(self):
        self.thread = threading.Thread(target=self.serve, name="ews-sim", daemon=True)
        self.thread.start()
        return self

    def stop(self):
        if self.thread is not None and self.thread.is_alive():
            self.server.request_stop()
            self.thread.join(5)


def write_port_file(path, port):
    tmp = f"{path}.{os.getpid()}.tmp"
    with open(tmp, "w", encoding="ascii") as f:
        f.write(f"{port}\n")
    os.replace(tmp, path)


def parse_args(argv):
    p = argparse.ArgumentParser(description="EWS simulator for the Unified Groups client tests (loopback only).")
    p.add_argument("--port", type=int, default=0, help="port to listen on (default 0: any free port)")
    p.add_argument("--bind", default=BIND_ADDRESS, choices=[BIND_ADDRESS], help="listen address (loopback only)")
    p.add_argument("--port-file", help="write the port number here once listening (atomic rename)")
    p.add_argument("--lifetime", type=float, default=900.0, help="stop by itself after this many seconds (900)")
    source = p.add_mutually_exclusive_group()
    source.add_argument("--dataset", help="JSON file with the groups to serve")
    source.add_argument("--groups", type=int, help="serve N synthetic groups instead of the built-in five")
    p.add_argument("--verbose", action="store_true", help="log each request to stderr")
    p.add_argument("--graph-page-size", type=int, default=graph_api.DEFAULT_PAGE_SIZE,
                   help="most groups per Graph listing page (999)")
    p.add_argument("--graph-prefix", default=graph_api.DEFAULT_PREFIX, help="path of the Graph root (/v1.0/)")
    p.add_argument("--ews-mode", default="normal", choices=sorted(EWS_MODES),
                   help="normal; blocked: 403 to every EWS request; gone: 404 (Graph is served in every mode)")
    p.add_argument("--answer-delay-ms", type=float, default=0,
                   help="wait this long before every answer outside the control API (0)")
    p.add_argument("--tls-cert", help="PEM certificate (chain): the main listener speaks HTTPS (with --tls-key)")
    p.add_argument("--tls-key", help="PEM private key of --tls-cert")
    p.add_argument("--second-http", metavar="PORT_FILE",
                   help="one more plain HTTP listener with its own request log and script queue; port to PORT_FILE")
    p.add_argument("--also-https", nargs=3, action="append", default=[], metavar=("CERT", "KEY", "PORT_FILE"),
                   help="one more HTTPS listener with this certificate, same state; its port goes to PORT_FILE")
    p.add_argument("--quick-ack", action="store_true",
                   help="acknowledge every segment at once (TCP_QUICKACK), unlike an ordinary server: no delayed-ACK "
                        "wait for clients that send a request in two writes (tests)")
    return p.parse_args(argv)


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        if args.dataset:
            dataset = load_dataset_file(args.dataset)
        elif args.groups is not None:
            dataset = synthetic_dataset(args.groups)
        else:
            dataset = builtin_dataset()
        if bool(args.tls_cert) != bool(args.tls_key):
            raise SimError("--tls-cert and --tls-key go together")
        tls = (args.tls_cert, args.tls_key) if args.tls_cert else None
        sim = EwsSimulator(dataset, args.port, args.lifetime, args.verbose, args.graph_page_size, args.graph_prefix,
                           args.answer_delay_ms, args.ews_mode, tls, [(cert, key) for cert, key, _ in args.also_https],
                           bool(args.second_http), args.quick_ack)
    except (SimError, OSError) as e:
        sys.stderr.write(f"ews-sim: {e}\n")
        return 2
    # Extra listeners first: a caller waiting for the main port file finds them all.
    for (_, _, port_file), port in zip(args.also_https, sim.extra_ports):
        write_port_file(port_file, port)
    if args.second_http:
        write_port_file(args.second_http, sim.second_port)
    if args.port_file:
        write_port_file(args.port_file, sim.port)
    if args.verbose:
        sys.stderr.write(f"ews-sim: listening on {BIND_ADDRESS}:{sim.port} for {args.lifetime:g} s\n")
    try:
        sim.serve()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
