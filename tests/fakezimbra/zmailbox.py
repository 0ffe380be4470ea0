"""The one account's mailbox, its auth tokens and its SOAP sessions.

Everything here runs under Mailbox.lock (the HTTP server is threaded). The mailbox part
(self.data) is plain JSON so it can outlive the process in --state-dir; sessions live only
in memory, as on the real server, so a restart keeps tokens valid but forgets sessions."""

import base64
import hashlib
import json
import os
import random
import re
import secrets
import threading
import time
import uuid

import zitems
from zwire import E

DEFAULT_VERSION = "8.8.15_GA_4484.UBUNTU20_64 20220914105426 20220914-1107 FOSS"
DEFAULT_PREFS = {  # in the server's attribute-map order, not the order a client asks
    "zimbraPrefComposeFormat": "html",
    "zimbraPrefCalendarApptReminderWarningTime": "5",
    "zimbraPrefMailPollingInterval": "5m",
}
TOKEN_LIFETIME_MS = 2 * 86400000
MAX_PENDING_BLOCKS = 20

SYSTEM_FOLDERS = [
    {"id": 1, "name": "USER_ROOT"},
    {"id": 2, "name": "Inbox", "parent": 1, "view": "message"},
    {"id": 3, "name": "Trash", "parent": 1},
    {"id": 4, "name": "Junk", "parent": 1, "view": "message"},
    {"id": 5, "name": "Sent", "parent": 1, "view": "message"},
    {"id": 6, "name": "Drafts", "parent": 1, "view": "message"},
    {"id": 7, "name": "Contacts", "parent": 1, "view": "contact"},
    {"id": 10, "name": "Calendar", "parent": 1, "view": "appointment", "f": "#"},
]
DEFAULT_USER_FOLDERS = [
    {"id": 257, "name": "Work", "parent": 1, "view": "message"},
    {"id": 263, "name": "Projects", "parent": 257, "view": "message"},
]
DEFAULT_TAGS = [
    {"id": 258, "name": "Urgent", "color": 5},
    {"id": 259, "name": "Clients", "rgb": "#FF8000"},
]
TOKEN_SHAPE = re.compile(r"\d+_[0-9a-f]{40}_(?:[0-9a-f]{2})+")


def now_ms():
    return int(time.time() * 1000)


class Changes:
    """What happened since a session's last answer; becomes one notify block."""

    def __init__(self):
        self.deleted, self.created, self.modified, self.raw = [], [], {}, []

    def __bool__(self):
        return bool(self.deleted or self.created or self.modified or self.raw)

    def add(self, deleted, created, modified, raw):
        self.deleted += deleted
        self.created += created
        self.modified.update(modified)  # a later change of the same item replaces the earlier
        self.raw += raw

    def block(self, seq):
        kids = []
        if self.deleted:
            kids.append(E("deleted", {"id": ",".join(str(i) for i in self.deleted)}))
        if self.created:
            kids.append(E("created", kids=self.created))
        if self.modified:
            kids.append(E("modified", kids=list(self.modified.values())))
        return str(E("notify", {"seq": seq}, kids + self.raw))


class Session:
    def __init__(self, sid):
        self.id = sid
        self.fresh = True  # its first answer carries the refresh block
        self.seq = 0
        self.pending = []  # (seq, notify xml) sent but not acknowledged
        self.changes = Changes()

    def acknowledge(self, seq):
        self.pending = [(n, block) for n, block in self.pending if n > seq]

    def notify_blocks(self):
        """Turns the changes into a new block and returns every unacknowledged block, oldest first."""
        if self.changes:
            self.seq += 1
            self.pending.append((self.seq, self.changes.block(self.seq)))
            self.changes = Changes()
            del self.pending[:-MAX_PENDING_BLOCKS]
        return [block for _, block in self.pending]


class Mailbox:
    def __init__(self, config, state_file=None):
        self.lock = threading.RLock()
        self.config = config
        account = config.get("account", {})
        self.name = account.get("name", "alice")
        self.address = self.name if "@" in self.name else f"{self.name}@{account.get('domain', 'example.com')}"
        self.password = account.get("password", "secret")
        self.account_id = str(uuid.uuid5(uuid.NAMESPACE_URL, "fakezimbra/account/" + self.address))
        self.prefs = {k: v for k, v in {**DEFAULT_PREFS, **config.get("prefs", {})}.items() if v is not None}
        self.version = config.get("version", DEFAULT_VERSION)
        self.max_size = config.get("max_size", 10 * 1024 * 1024)
        self.state_file = state_file
        self.sessions = {}
        self.data = self._load() or self._initial()

    # ---- whole-mailbox life ----

    def _initial(self):
        given = self.config.get("mailbox", {})
        folders = [dict(folder) for folder in SYSTEM_FOLDERS]
        by_id = {folder["id"]: folder for folder in folders}
        for folder in given.get("folders", DEFAULT_USER_FOLDERS):
            if folder["id"] in by_id:
                by_id[folder["id"]].update(folder)
            else:
                folders.append({"parent": 1, **folder})
        tags = [dict(tag) for tag in given.get("tags", DEFAULT_TAGS)]
        numeric = [item["id"] for item in folders + tags if isinstance(item["id"], int)]
        self.data = {"folders": folders, "tags": tags, "messages": [], "appointments": [], "uploads": {},
                     "tokens": {}, "change": given.get("change", 4270), "next_id": max(numeric + [299]) + 1,
                     "size": given.get("size", 1048576), "last_session": 100}
        for i in range(given.get("generated_folders", 0)):
            folders.append({"id": self._new_id(), "name": f"Archive {i + 1:05d}", "parent": 1,
                            "view": "message", "n": 12, "s": 48000})
        for message in given.get("messages", []):
            self._store_message(message)
        for appt in given.get("appointments", []):
            self._store_appointment(appt)
        generated = given.get("generated_appointments", {})
        for i in range(generated.get("count", 0)):
            self._store_appointment({"name": f"Generated {i + 1:05d}", "dur_min": generated.get("dur_min", 30),
                                     "start_in_min": generated.get("first_in_min", 60) + i * generated.get("every_min", 3)})
        return self.data

    def _load(self):
        if not self.state_file or not os.path.exists(self.state_file):
            return None
        with open(self.state_file, encoding="utf-8") as stream:
            return json.load(stream)

    def _save(self):
        if not self.state_file:
            return
        temp = self.state_file + ".tmp"
        with open(temp, "w", encoding="utf-8") as stream:
            json.dump(self.data, stream)
        os.replace(temp, self.state_file)

    def reset(self):
        with self.lock:
            last_session = self.data["last_session"]  # a client's old id must stay unknown
            self.sessions.clear()
            self._initial()
            self.data["last_session"] = last_session
            self._save()

    def _new_id(self):
        self.data["next_id"] += 1
        return self.data["next_id"] - 1

    def _bump(self):
        self.data["change"] += 1
        return self.data["change"]

    @property
    def change(self):
        return self.data["change"]

    # ---- login and tokens ----

    def accepts(self, typed_name, password):
        known = {self.name.lower(), self.address.lower(), self.address.split("@")[0].lower()}
        return typed_name.strip().lower() in known and password == self.password

    def issue_token(self):
        """(token, lifetime ms). The token has the server's shape: key version, a 40-hex
        HMAC, and the hex of the token's fields, about 300 characters of [0-9a-f_]."""
        expires = now_ms() + self.config.get("token_lifetime_ms", TOKEN_LIFETIME_MS)
        values = {"id": self.account_id, "exp": expires, "type": "zimbra", "u": "a",
                  "tid": random.randrange(10**9, 10**10), "version": self.version.split()[0]}
        fields = "".join(f"{key}={len(str(value))}:{value};" for key, value in values.items())
        token = f"0_{secrets.token_hex(20)}_{fields.encode().hex()}"
        with self.lock:
            self.data["tokens"][token] = expires
            self._save()
        return token, expires - now_ms() - random.randint(1, 5)

    def token_state(self, token):
        """"valid", "expired" (unknown, revoked or past its time) or "unreadable"
        (not a token at all: the server then ignores it)."""
        if not TOKEN_SHAPE.fullmatch(token):
            return "unreadable"
        return "valid" if self.data["tokens"].get(token, 0) > now_ms() else "expired"

    def revoke(self, token):
        with self.lock:
            self.data["tokens"].pop(token, None)
            self._save()

    def expire_tokens(self):
        with self.lock:
            self.data["tokens"].clear()
            self._save()

    # ---- sessions and notifications ----

    def session(self, requested_id):
        """The session with that id; an unknown id silently gets a new session."""
        found = self.sessions.get(requested_id)
        if found is None:
            # type 1 (SOAP) then a running counter, kept across restarts so ids are not reused
            self.data["last_session"] += 1
            found = Session(f"1{self.data['last_session']}")
            self.sessions[found.id] = found
            self._save()
        return found

    def drop_sessions(self, only=None):
        with self.lock:
            for sid in [only] if only is not None else list(self.sessions):
                self.sessions.pop(sid, None)

    def _publish(self, deleted=(), created=(), modified=(), raw=()):
        for session in self.sessions.values():
            session.changes.add(list(deleted), list(created), dict(modified), list(raw))

    def notify_raw(self, xml):
        """A scenario's own notify content (e.g. a modified appointment) for every session."""
        with self.lock:
            self._bump()
            self._publish(raw=[xml])

    def refresh_element(self):
        return zitems.refresh_element(self.version, self.data["size"], self.data["tags"], self.data["folders"])

    # ---- items ----

    def folder(self, folder_id):
        return next((f for f in self.data["folders"] if str(f["id"]) == str(folder_id)), None)

    def tag_names(self, tag_ids):
        names = {str(tag["id"]): tag["name"] for tag in self.data["tags"]}
        return ",".join(names[t] for t in str(tag_ids or "").split(",") if t in names)

    def _store_message(self, given):
        folder = self.folder(given.get("folder", 2))
        if folder is None:
            raise ValueError(f"no folder {given.get('folder')}")
        flags = given.get("flags", "u")
        message = {"id": self._new_id(), "folder": folder["id"], "flags": flags, "tags": given.get("tags", ""),
                   "subject": given.get("subject", ""), "from": given.get("from", "bob@example.com"),
                   "to": self._recipients(given.get("to", [self.address])), "fragment": given.get("fragment", ""),
                   "size": given.get("size", 2048), "date": given.get("date", now_ms()), "rev": self._bump()}
        self.data["messages"].append(message)
        self.data["size"] += message["size"]
        self._count(folder, message, +1)
        return message, folder

    @staticmethod
    def _recipients(given):
        return [given] if isinstance(given, str) else list(given)

    def _count(self, folder, message, sign):
        folder["n"] = folder.get("n", 0) + sign
        folder["s"] = folder.get("s", 0) + sign * message["size"]
        if "u" in message["flags"]:
            folder["u"] = folder.get("u", 0) + sign

    def add_message(self, given):
        """Stores a message (delivered mail, saved draft, sent copy) and tells every session."""
        with self.lock:
            message, folder = self._store_message(given)
            created = zitems.message_element(message, self.tag_names(message["tags"]))
            self._publish(created=[created], modified=self._counts_changed(folder))
            self._save()
            return message

    def _counts_changed(self, folder):
        return {("folder", folder["id"]): zitems.folder_counts_element(folder),
                ("mbx",): E("mbx", {"s": self.data["size"]})}

    def _store_appointment(self, given):
        ids = (self._new_id(), self._new_id())
        appt = zitems.make_appointment(given, ids, self._bump(), self.address, now_ms())
        self.data["appointments"].append(appt)
        return appt

    def appointment(self, appt_id):
        return next((a for a in self.data["appointments"] if str(a["id"]) == str(appt_id)), None)

    def appointments_between(self, start, end, folder=None):
        """[(appt, instances, alarm instance)] with at least one instance in [start, end), by first instance."""
        found = []
        for appt in self.data["appointments"]:
            if folder is not None and str(appt["folder"]) != str(folder):
                continue
            insts, alarm = zitems.instances_in(appt, start, end, now_ms())
            if insts:
                found.append((appt, insts, alarm))
        return sorted(found, key=lambda entry: entry[1][0])

    def cancel_instance(self, appt, inst):
        with self.lock:
            appt["cancelled"].append(inst)
            appt["rev"] = self._bump()
            self._publish(modified={("appt", appt["id"]): zitems.appointment_changed_element(appt)})
            self._save()

    def delete(self, ids):
        """Removes messages, appointments, user folders and tags; returns the ids that existed."""
        with self.lock:
            gone, modified = [], {}
            for item_id in ids:
                if self._delete_one(str(item_id), modified):
                    gone.append(item_id)
            if gone:
                self._bump()
                self._publish(deleted=gone, modified=modified)
                self._save()
            return gone

    def _delete_one(self, key, modified):
        data = self.data
        for message in data["messages"]:
            if str(message["id"]) == key:
                data["messages"].remove(message)
                data["size"] -= message["size"]
                folder = self.folder(message["folder"])
                self._count(folder, message, -1)
                modified.update(self._counts_changed(folder))
                return True
        for kind in ("appointments", "tags", "folders"):
            for item in data[kind]:
                if str(item["id"]) == key and not (kind == "folders" and isinstance(item["id"], int)
                                                   and item["id"] < zitems.FIRST_USER_ID):
                    data[kind].remove(item)
                    return True
        return False

    def add_upload(self, name, data, content_type):
        """Keeps the bytes' digest, and the bytes themselves up to 1 MB, so a test can compare them with the file."""
        with self.lock:
            aid = f"{self.account_id}:{uuid.uuid4()}"
            self.data["uploads"][aid] = {"name": name, "size": len(data), "ct": content_type,
                                         "sha256": hashlib.sha256(data).hexdigest(),
                                         **({"b64": base64.b64encode(data).decode("ascii")} if len(data) <= 1 << 20
                                            else {})}
            self._save()
            return aid

    # ---- for tests ----

    def snapshot(self):
        with self.lock:
            data = self.data
            return {
                "account": self.address, "change": data["change"],
                "folders": [{k: f.get(k) for k in ("id", "name", "u", "n")} for f in data["folders"]],
                "tags": data["tags"], "messages": data["messages"], "appointments": data["appointments"],
                "uploads": data["uploads"], "tokens": len(data["tokens"]),
                "sessions": {sid: {"seq": s.seq, "pending": [n for n, _ in s.pending]}
                             for sid, s in self.sessions.items()},
            }
