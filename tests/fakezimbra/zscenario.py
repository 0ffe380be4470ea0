"""A scenario file: mailbox settings, a script of answers that take precedence over the
emulation, and mailbox events triggered by the traffic. See README.md for the format."""

import json
import os
import threading


def matches(match, request):
    """method: exact; path: prefix of the path with its query; contains: text (or list of
    texts) that must all appear in the body."""
    if "method" in match and match["method"] != request.method:
        return False
    if "path" in match and not request.path.startswith(match["path"]):
        return False
    contains = match.get("contains", [])
    return all(text in request.text for text in ([contains] if isinstance(contains, str) else contains))


class Scenario:
    def __init__(self, path=None):
        self.base = os.path.dirname(os.path.abspath(path)) if path else os.getcwd()
        self.config = {}
        if path:
            with open(path, encoding="utf-8") as stream:
                self.config = json.load(stream)
        self.lock = threading.Lock()
        self.rewind()

    def rewind(self):
        """Back to the start: every script entry unused, every event pending."""
        with self.lock:
            self.used = [False] * len(self.config.get("script", []))
            self.events = [dict(event) for event in self.config.get("deliver", [])]
            self.fired = [False] * len(self.events)
            self.armed = [False] * len(self.events)
            self.answered_count = 0

    def pick(self, request):
        """The respond object of the first unused entry whose match fits, or None (emulate).
        An entry with "always": true is never used up."""
        with self.lock:
            for index, entry in enumerate(self.config.get("script", [])):
                if not self.used[index] and matches(entry.get("match", {}), request):
                    self.used[index] = not entry.get("always", False)
                    return entry.get("respond", {})
        return None

    def answered(self, request):
        """Counts an answered request and arms the events waiting for one like it."""
        with self.lock:
            self.answered_count += 1
            for index, event in enumerate(self.events):
                if "after_match" in event and matches(event["after_match"], request):
                    self.armed[index] = True

    def due(self):
        """Events to apply now: armed by a match, or after_requests answers reached.
        Applied when the next request arrives, so that request already sees them."""
        with self.lock:
            ready = []
            for index, event in enumerate(self.events):
                count = event.get("after_requests")
                if not self.fired[index] and (self.armed[index] or (count is not None and count <= self.answered_count)):
                    self.fired[index] = True
                    ready.append(event)
            return ready

    def read_file(self, relative):
        with open(os.path.join(self.base, relative), "rb") as stream:
            return stream.read()
