"""What the development server remembers between requests: its switches and its counters."""
import threading

DEFAULTS = {
    "update": b"",
    "count_body": b"OK\n",
    "mode": b"normal",
    "delay": b"30",
    "huge_mib": b"256",
    "trickle_interval": b"1",
    "files_mode": b"normal",
}


class State:
    def __init__(self, files_dir, update=None):
        self.lock = threading.Lock()
        self.files_dir = files_dir
        self.defaults = dict(DEFAULTS)
        if update is not None:
            self.defaults["update"] = update
        self.reset()

    def reset(self):
        with self.lock:
            self.config = dict(self.defaults)
            self.counts = {}
            self.requests = {}

    def get(self, key):
        with self.lock:
            return self.config[key]

    def text(self, key):
        return self.get(key).decode("ascii", "replace").strip()

    def number(self, key):
        return float(self.text(key))

    def set(self, key, value):
        with self.lock:
            if key not in self.config:
                return False
            self.config[key] = value
            return True

    def count_request(self, path):
        with self.lock:
            self.requests[path] = self.requests.get(path, 0) + 1

    def count_report(self, flag):
        with self.lock:
            self.counts[flag] = self.counts.get(flag, 0) + 1

    def report_count(self, flag):
        with self.lock:
            return self.counts.get(flag, 0)

    def stats(self):
        with self.lock:
            return {"counts": dict(self.counts), "requests": dict(self.requests)}
