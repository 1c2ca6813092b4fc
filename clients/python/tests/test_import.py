"""Importing the client where the websockets package is missing says what to install."""
import os
import subprocess
import sys
import unittest

HIDE_WEBSOCKETS = "import sys; sys.modules['websockets'] = None; import zyl_engine"


class MissingWebsockets(unittest.TestCase):
    def test_the_import_error_names_the_package_and_both_ways_to_install_it(self):
        client = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
        run = subprocess.run([sys.executable, "-c", HIDE_WEBSOCKETS], capture_output=True, text=True,
                             env=dict(os.environ, PYTHONPATH=client), timeout=60)
        self.assertNotEqual(run.returncode, 0)
        last = run.stderr.strip().splitlines()[-1]
        self.assertTrue(last.startswith("ImportError: zyl_engine needs the websockets package"), last)
        self.assertIn("pip install websockets", last)
        self.assertIn("python3-websockets", last)


if __name__ == "__main__":
    unittest.main()
