#!/usr/bin/env python3
"""Writes the large seed inputs of the fuzz targets, which are too big to keep in the repository.

Usage: make_seeds.py OUT_DIR
Creates OUT_DIR/process_response, OUT_DIR/filter, OUT_DIR/copy_data and OUT_DIR/mapi_text, each input under
1 MB.
"""
import struct
import sys
from pathlib import Path

HEAD = ('<soap:Envelope xmlns:soap="http://www.w3.org/2003/05/soap-envelope"><soap:Header>'
        '<context xmlns="urn:zimbra"><session id="1842">1842</session>')
TAIL = ('<change token="4272"/></context></soap:Header><soap:Body><BatchResponse xmlns="urn:zimbra">'
        '<SearchResponse xmlns="urn:zimbraMail"/></BatchResponse></soap:Body></soap:Envelope>')
LIMIT = 1 << 20


def answer(header):
    return HEAD + header + TAIL


def refresh(folders, tags=""):
    return '<refresh><version>8.8.15_GA</version><tags>' + tags + '</tags><folder id="1" name="USER_ROOT">' + \
        folders + '</folder></refresh>'


def folders(count, name=lambda i: f"Folder {i} Εισερχόμενα"):
    return "".join(f'<folder id="{257 + i}" name="{name(i)}" u="{i % 4}" view="message"/>' for i in range(count))


def message(i, folder):
    return (f'<m id="{100000 + i}" l="{folder}" f="u"><e a="s{i}@example.com" p="Sender {i}" t="f"/>'
            f'<su>Subject {i}</su></m>')


def appointments(count):
    """A search page of the week, due and running items among them, with every kind of trigger."""
    triggers = ['<rel neg="1" m="15"/>', '<rel neg="1" h="1" related="END"/>', '<rel neg="1" w="1"/>',
                '<abs d="20260101T000500Z"/>', '<abs d="20260101T000500"/>', '']
    items = []
    for i in range(count):
        start = 1767225600000 + (i - 20) * 180000
        trigger = triggers[i % len(triggers)]
        alarm = f'<alarmData><alarm action="DISPLAY"><trigger>{trigger}</trigger></alarm></alarmData>' if trigger else ""
        all_day = ' allDay="1"' if i % 7 == 0 else ""
        items.append(f'<appt id="{5000 + i}" invId="{5000 + i}-1" name="Meeting {i}" l="10" t="" d="1709300000000"'
                     f' dur="1800000"{all_day}><inst s="{start}" tzo="-10800000"/>{alarm}</appt>')
    return ('<SearchResponse sortBy="dateAsc" offset="0" more="1" xmlns="urn:zimbraMail">' + "".join(items) +
            "</SearchResponse>")


def changed_appointment(i):
    zone = ('<tz id="Z" stdoff="-300" dayoff="-240"><standard week="1" wkday="1" mon="11" hour="2"/>'
            '<daylight week="2" wkday="1" mon="3" hour="2"/></tz>')
    return (f'<appt id="{5000 + i}" l="10" nextAlarm="1767225600000"><inv>{zone}<comp name="Moved {i}"'
            f' allDay="{i % 2}"><s d="20260309T100000" tz="Z"/><e d="20260309T103000Z"/></comp></inv></appt>')


def process_response_seeds():
    tags = "".join(f'<tag id="{20000 + i}" name="Tag {i}" u="{i % 3}"/>' for i in range(500))
    yield "thousands_of_folders.xml", answer(refresh(folders(5000), tags))
    ids = ",".join(str(257 + i) for i in range(3000)) + "," + ",".join(str(900000 + i) for i in range(17000))
    yield "long_deleted_list.xml", answer(refresh(folders(3000)) + f'<notify seq="2"><deleted id="{ids}"/></notify>')
    nested = "".join('<notify seq="%d"><created>' % i for i in range(16000)) + message(1, 257) + \
        "</created></notify>" * 16000
    yield "nested_notify.xml", answer(refresh(folders(10)) + nested)
    blocks = "".join(f'<notify seq="{i}"><created>{message(i, 257 + i % 50)}</created>'
                     f'<modified><folder id="{257 + i % 50}" name="Renamed {i}"/></modified></notify>'
                     for i in range(2000))
    yield "many_notify_blocks.xml", answer(refresh(folders(50)) + blocks)
    yield "week_of_appointments.xml", answer(refresh(folders(10))).replace(
        '<SearchResponse xmlns="urn:zimbraMail"/>', appointments(2000))
    # The second reading of an answer meets the items its first reading made: the changes then apply.
    yield "changed_appointments.xml", answer(refresh(folders(10)) + "".join(
        f'<notify seq="{i}"><modified>{changed_appointment(i)}</modified></notify>' for i in range(500))).replace(
        '<SearchResponse xmlns="urn:zimbraMail"/>', appointments(500))
    long_name = "Inbox " + "ab" * 20000 + "x"
    yield "long_names.xml", answer(refresh(folders(8, lambda i: long_name + str(i))) +
                                   '<notify seq="3"><created>' + message(1, 258) + "</created></notify>")


def filter_seeds():
    # Pattern, a zero byte, then the name.
    yield "runaway.bin", b"(a|b)*c|.*x\0" + b"ab" * 5000
    yield "nested_parentheses.bin", b"Inbox|" + b"(" * 5000 + b"x" + b")" * 5000 + b"\0My inbox"
    yield "classes.bin", "^\\w+\\s\\d{4}$|[a-z]*[0-9]\0".encode() + "été 2024".encode() + b"a" * 3000
    yield "escapes.bin", "\\u00e9t\\xe9|\\u{41}\0ÉTÉ".encode()
    yield "scripts.bin", "știri|əlaqə|οδος|входящие\0ȘTIRI ƏLAQƏ ΟΔΟΣ".encode()
    yield "invalid_utf8.bin", b"caf\xe9|[\0CAF\xc3\xa9 \xff\xfe"


def copy_data_seeds():
    # Code (8 bytes), stated byte count (4 bytes), callback lParam (4 bytes), then the payload.
    def record(code, stated, lparam, payload):
        return struct.pack("<QII", code, stated, lparam) + payload
    yield "open_mail.bin", record(1, 24, 0x202, b"mailto:ana@example.com\0")
    yield "files.bin", record(2, 40, 0x205, b'"C:\\a b\\one.txt" "C:\\two.pdf"\0')
    yield "unterminated.bin", record(2, 5000, 0x201, b"x" * 5000)
    yield "mapi.bin", record(3, 64, 0x405, bytes(range(64)))
    yield "settings.bin", record(4, 0, 0x203, b"")


def mapi_text_seeds():
    yield "message.txt", "|@|1|@|Ann|@|2|@|ann@x.org|@|3|@|Bob|smtp:bob@x.org|@|4|@||@|5|@|Hi|@|6|@|Body|@|7|@|C:\\a.txt|a"
    yield "many_files.txt", "|@|7|@|" + "|".join(f"C:\\f{i}.txt|f{i}" for i in range(20000))
    yield "markers.txt", "|@|7|@|" * 100000 + "|@|5|@|" * 40000


def main():
    out = Path(sys.argv[1])
    for folder, seeds in (("process_response", process_response_seeds()), ("filter", filter_seeds()),
                          ("copy_data", copy_data_seeds()), ("mapi_text", mapi_text_seeds())):
        (out / folder).mkdir(parents=True, exist_ok=True)
        for name, data in seeds:
            data = data.encode() if isinstance(data, str) else data
            assert len(data) <= LIMIT, (name, len(data))
            (out / folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
