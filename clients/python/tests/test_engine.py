"""The client against the engine inside the host simulator, with the interop tests' project.
The engine binds 127.0.0.1:7890: run inside scripts/isolated-net (the interop leg does)."""
import asyncio
import json
import os
import subprocess
import sys
import unittest

from websockets.legacy.client import connect

import zyl_engine
from fake_engine import run_client
from readme_example import readme_example

CLIENT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(CLIENT, "..", "..", "tests", "interop"))
from python_websockets_test import URL, WAIT, Simulator  # noqa: E402  (the interop tests' simulator)

PASSWORD = "a long secret"
FAR_TICKS = 100 * 254016000000  # past the project's only segment


def speaks_protocol_2() -> bool:
    async def handshake() -> bool:
        async with connect(URL, subprotocols=["zyl.v2"], open_timeout=WAIT) as socket:
            return socket.subprotocol == "zyl.v2"
    return asyncio.run(handshake())


class EngineInterop(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = Simulator()
        if not speaks_protocol_2():
            cls.sim.quit()
            raise unittest.SkipTest("the engine does not speak protocol 2 yet: its handshake does not "
                                    "accept the zyl.v2 subprotocol")

    @classmethod
    def tearDownClass(cls):
        code, ledger = cls.sim.quit()
        assert code == 0 and ledger and ledger["balanced"], (code, ledger)

    def test_requests(self):
        async def session():
            async with zyl_engine.connect(timeout=WAIT) as engine:
                self.assertEqual((await engine.request("version"))["version"], "1.2.4")
                sequence = await engine.request("sequence.get")
                self.assertEqual((sequence["timelineID"], sequence["width"], sequence["height"],
                                  sequence["ticksPerFrame"]), (3, 1280, 720, 10160640000))
                with self.assertRaises(zyl_engine.ZylError) as missing:
                    await engine.request("sequence.get", timeline=999)
                self.assertEqual(missing.exception.code, "not_found")
                with self.assertRaises(zyl_engine.ZylError) as mistyped:
                    await engine.request("sequence.get", timeline="3")
                self.assertEqual((mistyped.exception.code, mistyped.exception.param), ("invalid_params", "timeline"))
        run_client(session)

    def test_batch_of_angles(self):
        async def session():
            async with zyl_engine.connect(timeout=WAIT) as engine:
                found, nothing, bad = await engine.batch([
                    ("angle.get", {"ticks": 0, "track": -1}), ("angle.get", {"ticks": FAR_TICKS}),
                    ("angle.get", {"ticks": 1.5})])
                self.assertEqual((found["angle"], found["timelineID"]), (2, 3))
                self.assertIsNone(nothing["angle"])
                self.assertIsInstance(bad, zyl_engine.ZylError)
                self.assertEqual((bad.code, bad.param), ("invalid_params", "ticks"))
        run_client(session)

    def test_transport_event(self):
        async def session():
            loop = asyncio.get_running_loop()
            async with zyl_engine.connect(timeout=WAIT) as engine:
                async with engine.events("transport") as stream:
                    await loop.run_in_executor(None, self.sim.command, "timecode 00:00:01:00")
                    await loop.run_in_executor(None, self.sim.command, "play on")
                    event = await asyncio.wait_for(stream.__anext__(), WAIT)
                    self.assertEqual(event, ("transport", {"type": "play", "on": True}))
                self.assertTrue((await engine.request("transport.get"))["playing"])
            await loop.run_in_executor(None, self.sim.command, "play off")
        run_client(session)

    def test_password(self):
        folder = os.path.join(self.sim.settings, "ZYL Engine")
        os.makedirs(folder, exist_ok=True)
        settings = os.path.join(folder, "settings.json")
        with open(settings, "w", encoding="utf-8") as file:
            json.dump({"password": PASSWORD}, file)

        async def sessions():
            loop = asyncio.get_running_loop()
            async with zyl_engine.connect(password=PASSWORD, timeout=WAIT) as engine:
                self.assertEqual((await engine.request("version"))["version"], "1.2.4")
                found, bad = await engine.batch([("angle.get", {"ticks": 0}), ("angle.get", {"ticks": "0"})])
                self.assertEqual((found["angle"], found["timelineID"]), (2, 3))
                self.assertEqual((bad.code, bad.param), ("invalid_params", "ticks"))
                async with engine.events("transport") as stream:
                    await loop.run_in_executor(None, self.sim.command, "record on")
                    event = await asyncio.wait_for(stream.__anext__(), WAIT)
                    self.assertEqual(event, ("transport", {"type": "record", "on": True}))
                await loop.run_in_executor(None, self.sim.command, "record off")
            # The engine closes a wrong answer with its code; a client without a password gives up
            # on the challenge by itself.
            for wrong, close_code in (("a long secreT", 4004), (None, None)):
                with self.subTest(password=wrong), self.assertRaises(zyl_engine.ZylAuthenticationError) as refused:
                    async with zyl_engine.connect(password=wrong, timeout=WAIT):
                        self.fail("opened")
                self.assertEqual(refused.exception.close_code, close_code)
        try:
            run_client(sessions)
        finally:
            os.remove(settings)

    def test_nothing_listening_while_detached(self):
        async def attempt():
            with self.assertRaises(zyl_engine.ZylConnectionError) as failed:
                async with zyl_engine.connect(timeout=WAIT):
                    self.fail("opened")
            self.assertNotIsInstance(failed.exception, zyl_engine.ZylAuthenticationError)

        async def reached():
            async with zyl_engine.connect(timeout=WAIT) as engine:
                self.assertEqual((await engine.request("version"))["version"], "1.2.4")

        self.sim.command("detach")
        try:
            run_client(attempt)
        finally:
            self.sim.command("attach")
        run_client(reached)

    def test_readme_example_runs_as_shown(self):
        ran = subprocess.run([sys.executable, "-c", readme_example()], env=dict(os.environ, PYTHONPATH=CLIENT),
                             capture_output=True, text=True, timeout=WAIT)
        self.assertEqual(ran.returncode, 0, ran.stderr)
        self.assertIn("engine 1.2.4\ntimeline 3 at", ran.stdout)
        self.assertIn("no such timeline: not_found", ran.stdout)


if __name__ == "__main__":
    unittest.main()
