"""The packer run as the program runs it, one group after another, its archive checked by Debian's unzip.

Usage: zip_test.py PACKER   (the native build of tools/zip)
"""
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

PACKER = None
UTF8 = dict(os.environ, LC_ALL="C.UTF-8")  # unzip writes non-ASCII names as escapes in the C locale


def pack(folder, *words):
    return subprocess.run([PACKER, *words], cwd=folder, capture_output=True, text=True, timeout=60)


def unpacked(archive, into):
    """Every file of the archive, by its name, as unzip writes it out; no name twice."""
    with zipfile.ZipFile(archive) as packed:
        names = packed.namelist()
    assert len(names) == len(set(names)), names
    subprocess.run(["unzip", "-q", archive, "-d", into], check=True, env=UTF8, stdin=subprocess.DEVNULL, timeout=60)
    return {p.relative_to(into).as_posix(): p.read_bytes() for p in Path(into).rglob("*") if p.is_file()}


class Packer(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = Path(self.tmp.name)
        self.files = {  # the name inside the archive: the bytes
            "photos/README": b"no dot in this name\n",
            "photos/.hidden": b"packed with -S\n",
            "photos/big.bin": os.urandom(200_000),  # several reads and several deflate outputs
            "photos/sub/deeper/a.txt": b"nested\n",
            "photos/\u00f1u/\u00e9.txt": "carpeta \u00f1u\n".encode(),
            "a b.txt": b"blanks in the name\n",
            "A\u00f1o 1.txt": "a\u00f1o\n".encode(),
            "-dash.txt": b"looks like an option\n",
            "x[1].txt": b"a bracket the program turns into ?\n",
        }
        for name, data in self.files.items():
            path = self.root / (name if name.startswith("photos/") else "docs/" + name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        (self.root / "photos" / "empty").mkdir()
        self.archive = str(self.root / "out" / "job.zip")
        (self.root / "out").mkdir()
        with zipfile.ZipFile(self.archive, "w") as stale:  # a file of the same name from an earlier job
            stale.writestr("stale.txt", b"old")

    def tearDown(self):
        self.tmp.cleanup()

    def pack_groups(self):
        folder = pack(self.root, "-SXr", self.archive, "photos/*.*")
        self.assertEqual(folder.returncode, 0, folder.stderr)
        files = pack(self.root / "docs", "-SXju", self.archive, "a b.txt", "A?o 1.txt", "-dash.txt", "x?1].txt")
        self.assertEqual(files.returncode, 0, files.stderr)

    def test_groups_unpack_to_the_same_bytes(self):
        self.pack_groups()
        tested = subprocess.run(["unzip", "-t", self.archive], capture_output=True, env=UTF8, timeout=60)
        self.assertEqual(tested.returncode, 0, tested.stdout)
        self.assertEqual(unpacked(self.archive, self.root / "check"), self.files)
        with zipfile.ZipFile(self.archive) as archive:  # read as UTF-8 only with the flag; else as code page 437
            self.assertIn("photos/empty/", archive.namelist())
            self.assertIn("A\u00f1o 1.txt", archive.namelist())

    def test_update_replaces_one_entry_and_keeps_the_others(self):
        self.pack_groups()
        (self.root / "docs" / "a b.txt").write_bytes(b"second version\n")
        changed = pack(self.root / "docs", "-SXju", self.archive, "a b.txt")
        self.assertEqual(changed.returncode, 0, changed.stderr)
        self.assertEqual(subprocess.run(["unzip", "-tq", self.archive], capture_output=True, timeout=60).returncode, 0)
        self.assertEqual(unpacked(self.archive, self.root / "check"), self.files | {"a b.txt": b"second version\n"})

    def test_a_missing_file_fails_and_leaves_the_archive_alone(self):
        self.pack_groups()
        before = Path(self.archive).read_bytes()
        with open(self.root / "docs" / "huge.bin", "wb") as huge:  # sparse: no disk space, no time
            huge.truncate(4 << 30)
        for words in (["-SXju", self.archive, "a b.txt", "missing.txt"], ["-SXju", self.archive, "nothing*.txt"],
                      ["-SXjw", self.archive, "a b.txt"],
                      ["-SXju", self.archive, "a b.txt", "/proc/self/mem"],  # opens, then fails in the middle
                      ["-SXju", self.archive, "a b.txt", "huge.bin"]):  # would need ZIP64
            failed = pack(self.root / "docs", *words)
            self.assertNotEqual(failed.returncode, 0, words)
            self.assertIn("zip error", failed.stderr, words)
            self.assertEqual(Path(self.archive).read_bytes(), before, words)
            self.assertEqual(os.listdir(self.root / "out"), ["job.zip"], words)  # no half-written file beside it


if __name__ == "__main__":
    PACKER = os.path.abspath(sys.argv.pop(1))
    unittest.main()
