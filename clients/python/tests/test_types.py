"""The client's type hints, and the README example's use of them, pass `mypy --strict`."""
import os
import subprocess
import sys
import tempfile
import unittest

from readme_example import readme_example

CLIENT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))


def has_mypy() -> bool:
    return subprocess.run([sys.executable, "-c", "import mypy"], capture_output=True).returncode == 0


@unittest.skipUnless(has_mypy(), "mypy is not installed (Debian's mypy package; the interop leg installs it)")
class TypeHints(unittest.TestCase):
    def test_the_package_and_the_readme_example_pass_strict_checking(self):
        with tempfile.TemporaryDirectory() as folder:
            example = os.path.join(folder, "readme_example.py")
            with open(example, "w", encoding="utf-8") as file:
                file.write(readme_example())
            checked = subprocess.run(
                [sys.executable, "-m", "mypy", "--strict", "--no-incremental",
                 "--cache-dir", os.path.join(folder, "cache"), os.path.join(CLIENT, "zyl_engine"), example],
                cwd=CLIENT, env=dict(os.environ, MYPYPATH=CLIENT), capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)


if __name__ == "__main__":
    unittest.main()
