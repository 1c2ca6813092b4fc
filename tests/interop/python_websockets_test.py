"""Interop with the Python `websockets` package (Debian's python3-websockets)."""
import asyncio
import base64
import hashlib
import json
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import unittest

import websockets
from websockets.exceptions import ConnectionClosed, InvalidStatusCode

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, "..", ".."))
PROJECT = os.path.join(HERE, "fixtures", "project.json")
URL = "ws://127.0.0.1:7890"
WAIT = 20.0  # generous: the machine is shared
PLAY_EVENT = 'event:transport:{"type":"play","on":true}'
PASSWORD = "correct horse \u2014 battery staple"


def simulator_path():
    build = os.environ.get("ZYL_BUILD_DIR") or os.path.join(REPO, "build")
    return os.path.join(os.path.abspath(build), "bin", "zyl-hostsim")


class Simulator:
    """The host simulator on a stdin pipe we own; its stdout is one JSON object per line."""

    def __init__(self):
        self.settings = tempfile.mkdtemp(prefix="zyl-settings-")
        env = dict(os.environ, APPDATA=self.settings)
        try:
            self.process = subprocess.Popen(
                [simulator_path(), "--project", PROJECT], stdin=subprocess.PIPE,
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        except OSError:
            shutil.rmtree(self.settings, ignore_errors=True)
            raise
        self.lines = []
        self.changed = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        self.until(lambda line: line.get("event") == "ready")
        self._wait_for_listener()

    def _wait_for_listener(self):
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", 7890), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise AssertionError("the engine does not listen on 7890")

    def _read(self):
        for raw in self.process.stdout:
            try:
                line = json.loads(raw)
            except ValueError:
                line = {"event": "unparsed", "raw": raw}
            with self.changed:
                self.lines.append(line)
                self.changed.notify_all()
        with self.changed:
            self.changed.notify_all()

    def until(self, test, start=0):
        deadline = time.monotonic() + WAIT
        with self.changed:
            while True:
                for line in self.lines[start:]:
                    if test(line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0 or self.process.poll() is not None:
                    raise AssertionError("simulator line not seen; stderr: %s" % self.process.stderr.read())
                self.changed.wait(left)

    def command(self, text):
        start = len(self.lines)
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()
        line = self.until(lambda l: l.get("command") == text and l.get("event") in ("ok", "error"), start)
        if line["event"] != "ok":
            raise AssertionError("simulator refused %r: %s" % (text, line))

    def write_settings(self, settings):
        """The engine's settings file; it is read anew at every handshake."""
        folder = os.path.join(self.settings, "ZYL Engine")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "settings.json"), "w", encoding="utf-8") as file:
            json.dump(settings, file)

    def quit(self):
        self.process.stdin.write("quit\n")
        self.process.stdin.close()
        code = self.process.wait(timeout=WAIT)
        shutil.rmtree(self.settings, ignore_errors=True)
        ledger = next((l for l in self.lines if l.get("event") == "ledger"), None)
        return code, ledger


async def next_frame(socket, test):
    """The next text frame that passes `test`; others are skipped."""
    while True:
        text = await asyncio.wait_for(socket.recv(), WAIT)
        if test(text):
            return text


def is_reply(text):
    return not text.startswith(("vitals:", "event:"))


class PythonWebsocketsInterop(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = Simulator()

    @classmethod
    def tearDownClass(cls):
        code, ledger = cls.sim.quit()
        assert code == 0 and ledger and ledger["balanced"], (code, ledger)

    def test_session(self):
        async def session():
            async with websockets.connect(URL, origin="http://127.0.0.1:5173", open_timeout=WAIT) as socket:
                await socket.send("get.version")
                self.assertEqual(await next_frame(socket, is_reply), "version:1.2.4")

                await socket.send("get.info")
                info = json.loads((await next_frame(socket, is_reply))[len("info:"):])
                self.assertEqual(info["engine"], "ZYL Engine")
                self.assertEqual(len(info["commands"]), 14)
                self.assertEqual(info["unstable"], ["dump.angle", "debug.tlscan"])

                await socket.send("get.clipsize:1000")
                self.assertEqual(await next_frame(socket, is_reply), "clipsize.error:parse")
                await socket.send("get.angle:0:-1")
                self.assertEqual(await next_frame(socket, is_reply), "angle:2")

                await socket.send("vitals.subscribe")
                vitals = json.loads((await next_frame(socket, lambda t: t.startswith("vitals:")))[len("vitals:"):])
                self.assertEqual(vitals["v"], "1.2.4")
                self.assertFalse(vitals["playing"])
                await asyncio.get_running_loop().run_in_executor(None, self.sim.command, "play on")
                self.assertEqual(await next_frame(socket, lambda t: t.startswith("event:")), PLAY_EVENT)
                await asyncio.get_running_loop().run_in_executor(None, self.sim.command, "play off")

                pong = await socket.ping(b"py-ping")
                await asyncio.wait_for(pong, WAIT)

                await socket.close(code=1000, reason="done")
                self.assertEqual(socket.close_code, 1000)

        asyncio.run(session())

    def test_refused_origin(self):
        async def attempt():
            with self.assertRaises(InvalidStatusCode) as refused:
                async with websockets.connect(URL, origin="http://evil.test", open_timeout=WAIT):
                    pass
            self.assertEqual(refused.exception.status_code, 403)

        asyncio.run(attempt())



def sha256_base64(text):
    return base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode("ascii")


async def identify(socket, password, subscriptions):
    """Answers the hello's challenge with `password`; returns the proof the engine must give."""
    hello = json.loads(await asyncio.wait_for(socket.recv(), WAIT))
    assert hello["op"] == "hello", hello
    challenge, salt = hello["authentication"]["challenge"], hello["authentication"]["salt"]
    assert len(base64.b64decode(challenge, validate=True)) == 32 and len(base64.b64decode(salt, validate=True)) == 32
    key = sha256_base64(password + salt)
    answer = sha256_base64(key + challenge)
    await socket.send(json.dumps({"op": "identify", "protocol": 2, "authentication": answer,
                                  "subscriptions": subscriptions}))
    return sha256_base64(key + answer + challenge)


async def next_message(socket, op):
    """The next JSON message whose op is `op`; others are skipped."""
    return json.loads(await next_frame(socket, lambda text: json.loads(text)["op"] == op))


class PythonWebsocketsPassword(unittest.TestCase):
    """A password in the settings file, answered by hand with hashlib."""

    @classmethod
    def setUpClass(cls):
        cls.sim = Simulator()
        cls.sim.write_settings({"password": PASSWORD})

    @classmethod
    def tearDownClass(cls):
        code, ledger = cls.sim.quit()
        assert code == 0 and ledger and ledger["balanced"], (code, ledger)

    def structured(self):
        return websockets.connect(URL, subprotocols=["zyl.v2"], origin="http://localhost:8000", open_timeout=WAIT)

    def test_batch_and_event_with_the_password(self):
        async def session():
            async with self.structured() as socket:
                self.assertEqual(socket.subprotocol, "zyl.v2")
                proof = await identify(socket, PASSWORD, ["transport"])
                identified = json.loads(await asyncio.wait_for(socket.recv(), WAIT))
                self.assertEqual(identified, {"op": "identified", "protocol": 2, "subscriptions": ["transport"],
                                              "serverProof": proof})
                await socket.send(json.dumps({"op": "batch", "id": 7, "haltOnFailure": True, "requests": [
                    {"method": "version"}, {"method": "angle.get", "params": {"ticks": "0"}},
                    {"method": "version"}]}))
                batch = await next_message(socket, "batchResponse")
                self.assertEqual((batch["id"], batch["ok"]), (7, True))
                self.assertEqual(batch["results"][0], {"ok": True, "result": {"version": "1.2.4"}})
                # Halted at the ill-typed item: the third is not run.
                self.assertEqual(len(batch["results"]), 2)
                self.assertEqual((batch["results"][1]["error"]["code"], batch["results"][1]["error"]["param"]),
                                 ("invalid_params", "ticks"))
                await asyncio.get_running_loop().run_in_executor(None, self.sim.command, "play on")
                event = await next_message(socket, "event")
                self.assertEqual(event, {"op": "event", "topic": "transport", "data": {"type": "play", "on": True}})
                await asyncio.get_running_loop().run_in_executor(None, self.sim.command, "play off")
                await socket.close(code=1000, reason="done")
                self.assertEqual(socket.close_code, 1000)

        asyncio.run(session())

    def test_wrong_password_is_closed_with_4004(self):
        async def session():
            async with self.structured() as socket:
                await identify(socket, PASSWORD + " ", [])
                with self.assertRaises(ConnectionClosed) as closed:
                    await asyncio.wait_for(socket.recv(), WAIT)
                self.assertEqual(closed.exception.rcvd.code, 4004)

        asyncio.run(session())

    def test_text_protocol_is_refused_with_403(self):
        async def attempt():
            with self.assertRaises(InvalidStatusCode) as refused:
                async with websockets.connect(URL, origin="http://localhost:8000", open_timeout=WAIT):
                    pass
            self.assertEqual(refused.exception.status_code, 403)

        asyncio.run(attempt())


if __name__ == "__main__":
    unittest.main(verbosity=2)
