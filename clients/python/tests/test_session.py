"""Requests, batches and events over an opened session, against scripted servers."""
import asyncio
import json
import unittest

import zyl_engine
from fake_engine import FakeEngine, ok, run_client, send


class Requests(unittest.TestCase):
    def test_result_and_typed_failure(self):
        def answer(request):
            if request["method"] == "sequence.get":
                return ok({"timelineID": request["params"]["timeline"]})
            return {"ok": False, "error": {"code": "host_error", "message": "the host refused", "status": 7,
                                           "param": "ticks"}}

        async def script(engine, socket):
            await engine.greet(socket)
            await engine.answer_all(socket, answer)

        async def session():
            async with zyl_engine.connect(engine.url) as connection:
                self.assertEqual(await connection.request("sequence.get", timeline=3), {"timelineID": 3})
                with self.assertRaises(zyl_engine.ZylError) as failed:
                    await connection.request("angle.get", ticks=0)
                error = failed.exception
                self.assertEqual((error.code, error.message, error.status, error.param),
                                 ("host_error", "the host refused", 7, "ticks"))

        with FakeEngine(script) as engine:
            run_client(session)
        self.assertEqual(engine.received[1], {"op": "request", "method": "sequence.get", "params": {"timeline": 3},
                                              "id": engine.received[1]["id"]})

    def test_concurrent_requests_are_matched_by_id(self):
        async def script(engine, socket):
            await engine.greet(socket)
            requests = [await engine.receive(socket) for _ in range(3)]
            for request in reversed(requests):
                await send(socket, {"op": "response", "id": request["id"], **ok({"echo": request["params"]["n"]})})
            await socket.wait_closed()

        async def session():
            async with zyl_engine.connect(engine.url) as connection:
                results = await asyncio.gather(*(connection.request("echo", n=n) for n in range(3)))
                self.assertEqual(results, [{"echo": 0}, {"echo": 1}, {"echo": 2}])

        with FakeEngine(script) as engine:
            run_client(session)

    def test_a_late_answer_is_not_taken_for_the_next_request(self):
        async def script(engine, socket):
            await engine.greet(socket)
            slow = await engine.receive(socket)
            second = await engine.receive(socket)
            await send(socket, {"op": "response", "id": slow["id"], **ok({"which": "slow"})})
            await send(socket, {"op": "response", "id": second["id"], **ok({"which": "second"})})
            await socket.wait_closed()

        async def session():
            async with zyl_engine.connect(engine.url, timeout=0.3) as connection:
                with self.assertRaises(zyl_engine.ZylTimeoutError):
                    await connection.request("debug.timelineScan")
                connection.timeout = 10
                self.assertEqual(await connection.request("version"), {"which": "second"})

        with FakeEngine(script) as engine:
            run_client(session)

    def test_messages_beyond_the_client_limit_and_within_the_server_limit(self):
        # The engine's answers may reach 16 MiB; a request over 65535 bytes would end the connection.
        big = "x" * (2 * 1024 * 1024)

        async def script(engine, socket):
            await engine.greet(socket)
            await engine.answer_all(socket, lambda request: ok({"names": big}))

        async def session():
            async with zyl_engine.connect(engine.url) as connection:
                with self.assertRaises(zyl_engine.ZylMessageTooLargeError):
                    await connection.request("angle.atMarker", name="m" * 65536)
                self.assertEqual(len((await connection.request("markers.list"))["names"]), len(big))

        with FakeEngine(script) as engine:
            run_client(session)
        self.assertEqual([request["method"] for request in engine.received[1:]], ["markers.list"])


class Batches(unittest.TestCase):
    def test_outcomes_in_order_and_a_refused_batch(self):
        async def script(engine, socket):
            await engine.greet(socket)
            batch = await engine.receive(socket)
            await send(socket, {"op": "batchResponse", "id": batch["id"], "ok": True, "results": [
                ok({"angle": 2}),
                {"ok": False, "error": {"code": "invalid_params", "message": "ticks", "param": "ticks"}}]})
            refused = await engine.receive(socket)
            await send(socket, {"op": "batchResponse", "id": refused["id"], "ok": False,
                                "error": {"code": "too_many", "message": "at most 64"}})
            await socket.wait_closed()

        async def session():
            async with zyl_engine.connect(engine.url) as connection:
                outcomes = await connection.batch([("angle.get", {"ticks": 0}), ("angle.get", None)],
                                                  halt_on_failure=True)
                self.assertEqual(outcomes[0], {"angle": 2})
                self.assertIsInstance(outcomes[1], zyl_engine.ZylError)
                self.assertEqual((outcomes[1].code, outcomes[1].param), ("invalid_params", "ticks"))
                with self.assertRaises(zyl_engine.ZylError) as refused:
                    await connection.batch([("version", None)] * 65)
                self.assertEqual(refused.exception.code, "too_many")

        with FakeEngine(script) as engine:
            run_client(session)
        sent = engine.received[1]
        self.assertEqual((sent["op"], sent["haltOnFailure"], sent["requests"]),
                         ("batch", True, [{"method": "angle.get", "params": {"ticks": 0}}, {"method": "angle.get"}]))


class Events(unittest.TestCase):
    def test_a_stream_yields_its_topics_and_unsubscribes_when_closed(self):
        async def script(engine, socket):
            await engine.greet(socket)
            subscribe = await engine.receive(socket)
            await send(socket, {"op": "response", "id": subscribe["id"], **ok({"subscriptions": subscribe["topics"]})})
            await send(socket, {"op": "event", "topic": "marker", "data": {"type": "changed"}})
            for on in (True, False):
                await send(socket, {"op": "event", "topic": "transport", "data": {"type": "play", "on": on}})
            unsubscribe = await engine.receive(socket)
            await send(socket, {"op": "response", "id": unsubscribe["id"], **ok({"subscriptions": []})})
            await socket.wait_closed()

        async def session():
            async with zyl_engine.connect(engine.url) as connection:
                async with connection.events("transport", "vitals") as stream:
                    seen = []
                    async for event in stream:
                        seen.append(event)
                        if len(seen) == 2:
                            break
                self.assertEqual(seen, [("transport", {"type": "play", "on": True}),
                                        ("transport", {"type": "play", "on": False})])

        with FakeEngine(script) as engine:
            run_client(session)
        self.assertEqual([(m["op"], m["topics"]) for m in engine.received[1:]],
                         [("subscribe", ["transport", "vitals"]), ("unsubscribe", ["transport", "vitals"])])


class LostConnections(unittest.TestCase):
    def test_a_drop_fails_the_request_in_flight_the_stream_and_later_calls(self):
        async def script(engine, socket):
            await engine.greet(socket)
            subscribe = await engine.receive(socket)
            await send(socket, {"op": "response", "id": subscribe["id"], **ok({"subscriptions": ["vitals"]})})
            await send(socket, {"op": "event", "topic": "vitals", "data": {"v": "1.2.4"}})
            await engine.receive(socket)
            socket.transport.abort()

        async def session():
            async with zyl_engine.connect(engine.url) as connection:
                stream = connection.events("vitals")
                self.assertEqual(await stream.__anext__(), ("vitals", {"v": "1.2.4"}))
                waiting = asyncio.ensure_future(stream.__anext__())
                with self.assertRaises(zyl_engine.ZylClosedError) as lost:
                    await connection.request("version")
                self.assertEqual(lost.exception.code, 1006)
                with self.assertRaises(zyl_engine.ZylClosedError):
                    await waiting
                with self.assertRaises(zyl_engine.ZylClosedError):
                    await connection.request("version")

        with FakeEngine(script) as engine:
            run_client(session)

    def test_a_message_that_breaks_the_protocol_closes_the_connection(self):
        # Nesting too deep for Python's parser must not kill the reader and leave requests hanging.
        for garbage in ("version:1.2.4", "[" * 100000 + "]" * 100000):
            async def script(engine, socket, garbage=garbage):
                await engine.greet(socket)
                await engine.receive(socket)
                await socket.send(garbage)
                await socket.wait_closed()
                engine.close_code = socket.close_code

            async def session():
                async with zyl_engine.connect(engine.url) as connection:
                    with self.assertRaises(zyl_engine.ZylProtocolError):
                        await connection.request("version")

            with self.subTest(garbage=garbage[:20]), FakeEngine(script) as engine:
                run_client(session)
            self.assertEqual(engine.close_code, 1002)

if __name__ == "__main__":
    unittest.main()
