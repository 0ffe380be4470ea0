"""The layer check itself: each planted include is caught or let through as the layers say."""
import importlib.util
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
spec = importlib.util.spec_from_file_location("check_layers", ROOT / "tools" / "check_layers.py")
check_layers = importlib.util.module_from_spec(spec)
spec.loader.exec_module(check_layers)

CASES = [
    # file, the include planted in it, whether the check must refuse it
    ("platform/Tray.h", '#include "presentation/TrayModel.h"', True),
    ("platform/Tray.h", '#include "platform/TrayRecord.h"', False),
    ("platform/win32/TrayIcon.h", '#include "app/frmMain.h"', True),
    ("platform/win32/TrayIcon.h", '#include "session/XPath.h"', True),
    ("platform/win32/TrayIcon.h", '#include "platform/win32/Utf.h"', False),
    ("platform/fake/Fakes.h", '#include "platform/win32/Utf.h"', True),
    ("session/AnswerReader.cpp", '#include "app/frmMain.h"', True),
    ("session/AnswerReader.cpp", '#include "presentation/MainIcon.h"', True),
    ("session/AnswerReader.cpp", "#include <windows.h>", True),
    ("session/AnswerReader.cpp", '#include "platform/win32/Win32.h"', True),
    ("session/AnswerReader.cpp", "#include <pugixml.hpp>", False),
    ("webmail/Webmail.cpp", '#include "platform/Shell.h"', False),
    ("app/frmMain.cpp", '#include "session/ServerSession.h"', False),
    ("app/frmMain.cpp", '#include "platform/win32/TrayIcon.h"', True),
    ("app/WinMain.cpp", '#include "platform/win32/TrayIcon.h"', False),
    ("app/WinMain.cpp", "#include <shellapi.h>", False),
]


class LayerCheck(unittest.TestCase):
    def test_each_planted_include(self):
        for file, include, refused in CASES:
            with self.subTest(file=file, include=include), tempfile.TemporaryDirectory() as folder:
                path = Path(folder) / file
                path.parent.mkdir(parents=True)
                path.write_text(f"// planted\n{include}\n", encoding="utf-8")
                problems = check_layers.check(Path(folder))
                self.assertEqual(bool(problems), refused, problems)
                if refused:
                    self.assertTrue(problems[0].startswith(f"{file}:2: "), problems)

    def test_the_tree_keeps_its_layers(self):
        self.assertEqual(check_layers.check(ROOT), [])


if __name__ == "__main__":
    unittest.main()
