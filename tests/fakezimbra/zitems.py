"""How mailbox items look on the wire: the refresh block, created and modified items,
appointment lists. Items are plain dicts so that the mailbox can be saved as JSON."""

import email.utils
import time
import uuid

from zwire import E

HIDDEN_ROOT = 11  # parent of USER_ROOT; the server never sends it
FIRST_USER_ID = 257
MINUTE_MS = 60000
DAY_MS = 86400000


def item_uuid(item_id):
    # stable across runs, so recorded answers can be compared byte for byte
    return str(uuid.uuid5(uuid.NAMESPACE_URL, f"fakezimbra/{item_id}"))


# ---- folders and tags ----

def folder_element(folder, path, kids=()):
    fid = folder["id"]
    parent = folder.get("parent", HIDDEN_ROOT)
    system = isinstance(fid, int) and fid < FIRST_USER_ID
    attrs = {
        "id": fid, "uuid": item_uuid(fid), "deletable": "0" if system else None,
        "name": folder["name"], "absFolderPath": path, "l": parent, "luuid": item_uuid(parent),
        "f": folder.get("f") or None, "color": folder.get("color"), "rgb": folder.get("rgb"),
        "u": folder.get("u") or None,  # omitted when 0, except in modified blocks
        "view": folder.get("view"), "rev": folder.get("rev", 1), "ms": folder.get("ms", 1),
        "n": folder.get("n", 0), "s": folder.get("s", 0),
    }
    link = folder.get("link")
    if link:
        attrs.update(link)
    else:
        attrs.update({"i4ms": attrs["ms"], "i4next": folder.get("n", 0) + 1})
    return E("link" if link else "folder", attrs, kids)


def folder_tree(folders):
    """The one USER_ROOT element with everything nested below it."""
    by_parent = {}
    for folder in folders:
        by_parent.setdefault(folder.get("parent", HIDDEN_ROOT), []).append(folder)

    def build(folder, path):
        kids = [build(kid, path.rstrip("/") + "/" + kid["name"]) for kid in by_parent.get(folder["id"], [])]
        return folder_element(folder, path, kids)

    return build(by_parent[HIDDEN_ROOT][0], "/")


def folder_counts_element(folder):
    """A folder in a modified block: only what changed, u written even when 0."""
    return E("folder", {"id": folder["id"], "uuid": item_uuid(folder["id"]),
                        "u": folder.get("u", 0), "n": folder.get("n", 0), "s": folder.get("s", 0)})


def tag_element(tag):
    return E("tag", {"id": tag["id"], "name": tag["name"], "color": tag.get("color"), "rgb": tag.get("rgb"),
                     "u": tag.get("u") or None, "n": tag.get("n") or None})


def refresh_element(version, mbx_size, tags, folders):
    kids = [E("version", text=version), E("mbx", {"s": mbx_size})]
    if tags:
        kids.append(E("tags", kids=[tag_element(tag) for tag in tags]))
    kids.append(folder_tree(folders))
    return E("refresh", kids=kids)


# ---- messages ----

def address_element(text, kind):
    name, address = email.utils.parseaddr(text)
    short = name.split()[0] if name else address.split("@")[0]
    return E("e", {"a": address or None, "d": short or None, "p": name or None, "t": kind})


def message_element(message, tag_names):
    """A created message as notifications carry it: recipients first, then the sender."""
    kids = [address_element(to, "t") for to in message["to"]]
    kids += [address_element(message["from"], "f"), E("su", text=message["subject"])]
    if message.get("fragment"):
        kids.append(E("fr", text=message["fragment"]))
    return E("m", {"s": message["size"], "d": message["date"], "l": message["folder"],
                   "cid": f"-{message['id']}", "f": message.get("flags") or None,
                   "tn": tag_names or None, "t": message.get("tags") or None,
                   "rev": message["rev"], "id": message["id"]}, kids)


# ---- appointments ----

def make_appointment(given, ids, rev, organizer, now_ms):
    """Stored form of a scenario appointment. Start times given relative to now
    ("start_in_min", "day_offset") become absolute once, when the item is made."""
    all_day = bool(given.get("all_day"))
    if all_day:
        tzo = given.get("tzo_min", 0) * MINUTE_MS
        day = (now_ms + tzo) // DAY_MS + given.get("day_offset", 0)
        start, dur = day * DAY_MS - tzo, given.get("days", 1) * DAY_MS
    else:
        tzo = None
        # whole minutes, as calendars make them; cancelling an instance names it to the second
        start = given.get("start", (now_ms // MINUTE_MS + given.get("start_in_min", 60)) * MINUTE_MS)
        dur = given.get("dur_min", 30) * MINUTE_MS
    invite_id, item_id = ids  # the invite is a message stored just before its item
    appt_id = given.get("id", item_id)
    return {
        "id": appt_id, "inv": given.get("inv", invite_id),
        "uid": given.get("uid", item_uuid(f"appt/{appt_id}")),
        "name": given.get("name", "Meeting"), "loc": given.get("loc", ""), "fragment": given.get("fragment", ""),
        "folder": given.get("folder", 10), "tags": given.get("tags", ""),
        "start": start, "dur": dur, "all_day": all_day, "tzo": tzo,
        "every": given.get("every_days", 0) * DAY_MS, "count": given.get("count", 1), "cancelled": [],
        "alarm_min": given.get("alarm_min"), "zone_min": given.get("zone_min", 0),
        "status": given.get("status", "CONF"), "class": given.get("class", "PUB"), "ptst": given.get("ptst", "AC"),
        "fba": given.get("fba", "B"), "fb": given.get("fb", "B"), "transp": given.get("transp", "O"),
        "is_org": given.get("is_org", True), "private": given.get("private", False),
        "organizer": given.get("organizer", organizer), "rev": rev, "date": now_ms,
        "attrs": given.get("attrs", {}),
    }


def instance_starts(appt):
    starts = [appt["start"] + i * appt["every"] for i in range(appt["count"])]
    return [start for start in starts if start not in appt["cancelled"]]


def instances_in(appt, start, end, now_ms):
    """(instances the server lists for [start, end), start of the instance with the pending
    alarm or None). An instance counts when it runs in the window, or when its alarm does."""
    starts = instance_starts(appt)
    alarm_inst = None
    if appt["alarm_min"] is not None:
        alarm_inst = next((s for s in starts if s + appt["dur"] > now_ms), None)

    def wanted(inst):
        first = inst - appt["alarm_min"] * MINUTE_MS if inst == alarm_inst else inst
        return first < end and inst + appt["dur"] > start

    return [s for s in starts if wanted(s)], alarm_inst


def recurrence_id(appt, inst):
    if appt["all_day"]:
        return time.strftime("%Y%m%d", time.gmtime((inst + appt["tzo"]) / 1000))
    return time.strftime("%Y%m%dT%H%M%SZ", time.gmtime(inst / 1000))


def appointment_element(appt, insts, alarm_inst, tag_names, legacy):
    """One appt of a SearchResponse, or of a GetApptSummariesResponse when legacy
    (which writes the default duration as d). Private items hide what the user may not see."""
    shown = not appt["private"]
    series = appt["count"] > 1
    attrs = {
        "x_uid": appt["uid"], "uid": appt["uid"],
        "f": None if legacy else "", "tn": None if legacy else tag_names,
        "t": (appt["tags"] or None) if legacy else appt["tags"],
        "l": appt["folder"], "s": 0, "d": appt["dur"] if legacy else appt["date"],
        "md": appt["date"] // 1000, "ms": appt["rev"], "rev": appt["rev"],
        "dur": None if legacy else appt["dur"], "ptst": appt["ptst"], "fba": appt["fba"],
        "priority": 5 if shown and not legacy else None,
        "fb": appt["fb"] if shown else None, "transp": appt["transp"] if shown else None,
        "name": appt["name"] if shown else None, "loc": appt["loc"] if shown else None,
        "alarm": "1" if appt["alarm_min"] is not None else None, "isOrg": "1" if appt["is_org"] else "0",
        "id": appt["id"], "invId": f"{appt['id']}-{appt['inv']}", "compNum": 0,
        "status": appt["status"], "class": appt["class"],
        "recur": "1" if series else None, "allDay": "1" if appt["all_day"] else None,
        "sf": None if legacy else insts[0], "cm": None if legacy else 1,
    }
    attrs.update(appt["attrs"])  # scenario overrides; null removes an attribute
    kids = []
    if shown and not legacy:
        short = appt["organizer"].split("@")[0]
        kids.append(E("or", {"a": appt["organizer"], "url": appt["organizer"], "d": short}))
    if shown and appt["fragment"]:
        kids.append(E("fr", text=appt["fragment"]))
    for inst in insts:
        kids.append(E("inst", {"s": inst, "tzo": appt["tzo"] if appt["all_day"] else None,
                               "ridZ": recurrence_id(appt, inst) if series else None}))
    if alarm_inst is not None and alarm_inst in insts:
        kids.append(alarm_data_element(appt, alarm_inst, shown))
    return E("appt", attrs, kids)


def alarm_data_element(appt, inst, shown):
    minutes = appt["alarm_min"]
    rel = E("rel", {"s": 0} if minutes == 0 else {"neg": "1", "m": minutes, "related": "START"})
    alarm = E("alarm", {"action": "DISPLAY"}, [E("trigger", kids=[rel]), E("desc")])
    return E("alarmData", {"nextAlarm": inst - minutes * MINUTE_MS, "alarmInstStart": inst,
                           "invId": appt["inv"], "compNum": 0,
                           "name": appt["name"] if shown else None, "loc": appt["loc"] if shown else None},
             [alarm])


def appointment_changed_element(appt):
    """A modified appointment: the item with its invite. Timed events in UTC ("...Z"),
    all-day ones as dates with an inclusive end."""
    if appt["all_day"]:
        first = recurrence_id(appt, appt["start"])
        last = recurrence_id(appt, appt["start"] + appt["dur"] - DAY_MS)
        start, end = E("s", {"d": first}), E("e", {"d": last})
    else:
        start, end = (E(tag, {"d": time.strftime("%Y%m%dT%H%M%SZ", time.gmtime(ms / 1000)), "u": ms})
                      for tag, ms in (("s", appt["start"]), ("e", appt["start"] + appt["dur"])))
    comp = E("comp", {"method": "PUBLISH", "compNum": 0, "name": appt["name"], "loc": appt["loc"],
                      "x_uid": appt["uid"], "uid": appt["uid"], "calItemId": appt["id"], "apptId": appt["id"],
                      "ciFolder": appt["folder"], "status": appt["status"], "class": appt["class"],
                      "fb": appt["fb"], "fba": appt["fba"], "transp": appt["transp"],
                      "allDay": "1" if appt["all_day"] else None, "isOrg": "1" if appt["is_org"] else "0"},
             [start, end])
    inv = E("inv", {"type": "appt", "id": appt["inv"], "compNum": 0}, [comp])
    return E("appt", {"f": "", "uid": appt["uid"], "id": appt["id"], "l": appt["folder"], "rev": appt["rev"],
                      "s": 0, "d": appt["date"], "md": appt["date"] // 1000, "ms": appt["rev"]}, [inv])
