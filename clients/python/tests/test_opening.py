"""Opening a session against scripted servers: the password proofs both ways, and each way an
opening can fail raising its own exception."""
import asyncio
import unittest

import zyl_engine
from fake_engine import FakeEngine, run_client, send
from zyl_engine.auth import client_answer, password_key, server_proof

PASSWORD = "a long secret"


async def greet_then_wait(engine, socket):
    await engine.greet(socket)
    await socket.wait_closed()


class PasswordProofs(unittest.TestCase):
    def test_proofs_match_values_computed_apart(self):
        # Computed with: printf '%s' TEXT | openssl dgst -sha256 -binary | base64
        key = password_key(PASSWORD, "c2FsdA==")
        self.assertEqual(key, "7uSwKB/sP6NsNLjqkExc8GHe94Kd7YSPdz66NsA8sec=")
        answer = client_answer(key, "Y2hhbGxlbmdl")
        self.assertEqual(answer, "SfhjoFwbf6efgwm/ma6VsrfiyfaFSu4aE2wE6pHc83M=")
        self.assertEqual(server_proof(key, answer, "Y2hhbGxlbmdl"), "Y41G4A+2cfkVGBSWKezkt+z4Zvep6RtiNBjBsoooiKg=")
        # The password's own UTF-8 bytes, not normalised.
        self.assertEqual(password_key("café🎬", "c2FsdA=="), "nYNqXR30pZ/2ZhC9XxYml2lHqQ4AAqJzQr8qAGvXWhg=")


class Opening(unittest.TestCase):
    def test_identifies_with_and_without_a_password(self):
        for password in (None, PASSWORD):
            async def script(engine, socket, password=password):
                await engine.greet(socket, password)
                await engine.answer_all(socket, lambda request: {"ok": True, "result": {"version": "1.2.4"}})

            async def session(engine, password=password):
                async with zyl_engine.connect(engine.url, password=password) as connection:
                    self.assertEqual(await connection.request("version"), {"version": "1.2.4"})

            with self.subTest(password=password), FakeEngine(script) as engine:
                run_client(lambda: session(engine))
                identify = engine.received[0]
                self.assertEqual(identify["protocol"], 2)
                self.assertEqual("authentication" in identify, password is not None)

    def test_each_failed_opening_raises_its_own_exception(self):
        async def wrong_password(engine, socket):
            await engine.greet(socket, "another secret")

        async def asks_no_password(engine, socket):
            await engine.greet(socket)

        async def wrong_proof(engine, socket):
            await engine.greet(socket, PASSWORD, proof="Y41G4A+2cfkVGBSWKezkt+z4Zvep6RtiNBjBsoooiKg=")
            await socket.wait_closed()

        async def no_proof(engine, socket):
            await send(socket, {"op": "hello", "protocol": 2, "authentication": {"challenge": "Yw==", "salt": "cw=="}})
            await engine.receive(socket)
            await send(socket, {"op": "identified", "protocol": 2, "subscriptions": []})
            await socket.wait_closed()

        async def silent(engine, socket):
            await socket.wait_closed()

        cases = [
            ("wrong password, closed 4004", FakeEngine(wrong_password), PASSWORD, zyl_engine.ZylAuthenticationError),
            ("impostor asking no password", FakeEngine(asks_no_password), PASSWORD, zyl_engine.ZylAuthenticationError),
            ("impostor with a wrong proof", FakeEngine(wrong_proof), PASSWORD, zyl_engine.ZylAuthenticationError),
            ("impostor without a proof", FakeEngine(no_proof), PASSWORD, zyl_engine.ZylAuthenticationError),
            ("engine wants a password we lack", FakeEngine(wrong_password), None, zyl_engine.ZylAuthenticationError),
            ("refused origin", FakeEngine(silent, refuse=403), None, zyl_engine.ZylRefusedError),
            ("broken settings file", FakeEngine(silent, refuse=500), None, zyl_engine.ZylRefusedError),
            ("a protocol-1 engine", FakeEngine(silent, protocol_2=False), None, zyl_engine.ZylConnectionError),
            ("no hello in time", FakeEngine(silent), None, zyl_engine.ZylTimeoutError),
        ]
        for name, fake, password, expected in cases:
            raised = []

            async def attempt(fake=fake, password=password, expected=expected):
                with self.assertRaises(expected) as context:
                    # Short only where the time-out is the point: a slow machine must not turn
                    # another failure into a time-out.
                    timeout = 0.5 if expected is zyl_engine.ZylTimeoutError else 10
                    async with zyl_engine.connect(fake.url, password=password, timeout=timeout):
                        self.fail("opened")
                raised.append(context.exception)

            with self.subTest(name), fake:
                run_client(attempt)
                if fake.refuse:
                    self.assertEqual(raised[0].http_status, fake.refuse)
        # The impostor that asked for no password got no identify at all.
        self.assertEqual(cases[1][1].received, [])

    def test_a_refusal_says_why_and_what_to_do(self):
        async def silent(engine, socket):
            await socket.wait_closed()

        async def wrong_password(engine, socket):
            await engine.greet(socket, "another secret")

        fault = b'settings file "C:\\Users\\ed\\settings.json": syntax error at line 2, column 18: x'
        cases = [
            ("broken settings file", FakeEngine(silent, refuse=500, refusal_body=fault), None, None,
             ["HTTP 500", 'settings.json": syntax error at line 2, column 18', "mend or remove"]),
            ("refused origin", FakeEngine(silent, refuse=403, refusal_body=b""), None, "http://studio.lan:8000",
             ["HTTP 403", "the origin http://studio.lan:8000 is not allowed", "origins.txt"]),
            ("wrong password", FakeEngine(wrong_password), PASSWORD, None,
             ["refused the password (4004", "settings.json", "password="]),
        ]
        for name, fake, password, origin, expected in cases:
            raised = []

            async def attempt(fake=fake, password=password, origin=origin):
                with self.assertRaises(zyl_engine.ZylConnectionError) as context:
                    async with zyl_engine.connect(fake.url, password=password, timeout=10, origin=origin):
                        self.fail("opened")
                raised.append(str(context.exception))

            with self.subTest(name), fake:
                run_client(attempt)
                for part in expected:
                    self.assertIn(part, raised[0])

    def test_nothing_listening(self):
        with FakeEngine(greet_then_wait) as engine:
            url = engine.url

        async def attempt():
            with self.assertRaises(zyl_engine.ZylConnectionError):
                async with zyl_engine.connect(url, timeout=2):
                    pass
        run_client(attempt)




class Refusals(unittest.TestCase):
    def test_a_403_from_another_computer_says_what_that_engine_admits(self):
        from zyl_engine.opening import is_local_url, refusal_text
        for url in ("ws://127.0.0.1:7890", "ws://LOCALHOST:7890", "ws://[::1]:7890", "ws://127.3.4.5/"):
            self.assertTrue(is_local_url(url), url)
        for url in ("ws://10.0.0.2:7890", "ws://127.0.0.1.evil.test/", "ws://panel.local/", "not a url"):
            self.assertFalse(is_local_url(url), url)
        self.assertIn("protocol 2 with its password only", refusal_text("ws://10.78.0.1:7890", 403))
        self.assertEqual(refusal_text("ws://127.0.0.1:7890", 403),
                         "ws://127.0.0.1:7890 refused the handshake with HTTP 403")
        self.assertEqual(refusal_text("ws://10.78.0.1:7890", 500),
                         "ws://10.78.0.1:7890 refused the handshake with HTTP 500")


if __name__ == "__main__":
    unittest.main()
