"""A scripted protocol-2 server for the client's tests: 127.0.0.1 on a free port, in a thread and
event loop of its own, so that the test's loop holds only the client's tasks. Each test gives the
coroutine that plays one connection; `greet` plays the usual opening."""
import asyncio
import base64
import http
import json
import os
import threading
from typing import Any, Awaitable, Callable, Dict, List, Optional

import websockets
from websockets.exceptions import ConnectionClosed
from websockets.legacy.server import WebSocketServerProtocol

from zyl_engine.auth import client_answer, password_key, server_proof

Script = Callable[["FakeEngine", WebSocketServerProtocol], Awaitable[None]]


def run_client(test: Callable[[], Awaitable[None]]) -> None:
    """Runs a client coroutine and fails when it leaves a task running."""
    async def checked() -> None:
        await test()
        left = asyncio.all_tasks() - {asyncio.current_task()}
        assert not left, "tasks left running: %r" % left
    asyncio.run(checked())


class FakeEngine:
    def __init__(self, script: Script, *, refuse: Optional[int] = None, protocol_2: bool = True,
                 refusal_body: bytes = b"refused\n") -> None:
        self.script = script
        self.refuse = refuse
        self.refusal_body = refusal_body
        self.protocol_2 = protocol_2
        self.received: List[Dict[str, Any]] = []
        self.faults: List[BaseException] = []
        self.port = 0
        self._ready = threading.Event()
        self._thread = threading.Thread(target=lambda: asyncio.run(self._serve()), daemon=True)

    @property
    def url(self) -> str:
        return "ws://127.0.0.1:%d" % self.port

    def __enter__(self) -> "FakeEngine":
        self._thread.start()
        assert self._ready.wait(10), "the fake engine did not start"
        return self

    def __exit__(self, *exc_info: object) -> None:
        self._loop.call_soon_threadsafe(self._stop.set)
        self._thread.join(10)
        # A fault in the script (a message it did not expect) fails the test too.
        if self.faults and exc_info[0] is None:
            raise self.faults[0]

    async def _serve(self) -> None:
        self._loop = asyncio.get_running_loop()
        self._stop = asyncio.Event()
        async with websockets.serve(  # type: ignore[attr-defined]
                self._handle, "127.0.0.1", 0, max_size=65535, ping_interval=None,
                subprotocols=["zyl.v2"] if self.protocol_2 else None,
                process_request=self._process_request) as server:
            self.port = server.sockets[0].getsockname()[1]
            self._ready.set()
            await self._stop.wait()

    async def _process_request(self, path: str, headers: Any) -> Any:
        if self.refuse is None:
            return None
        return http.HTTPStatus(self.refuse), [], self.refusal_body

    async def _handle(self, socket: WebSocketServerProtocol) -> None:
        try:
            await self.script(self, socket)
        except ConnectionClosed:
            pass
        except BaseException as fault:
            self.faults.append(fault)

    async def receive(self, socket: WebSocketServerProtocol) -> Dict[str, Any]:
        message = json.loads(await socket.recv())
        self.received.append(message)
        return message

    async def greet(self, socket: WebSocketServerProtocol, password: Optional[str] = None,
                    proof: Optional[str] = None) -> None:
        """Plays hello, identify, identified; with a password, closes 4004 on a wrong answer.
        `proof` replaces the right server proof (an impostor's)."""
        hello: Dict[str, Any] = {"op": "hello", "engine": "ZYL Engine", "version": "1.2.4",
                                 "protocol": 2, "authentication": None}
        if password is not None:
            challenge, salt = (base64.b64encode(os.urandom(32)).decode() for _ in range(2))
            hello["authentication"] = {"challenge": challenge, "salt": salt}
        await send(socket, hello)
        identify = await self.receive(socket)
        assert identify["op"] == "identify" and identify["protocol"] == 2, identify
        identified: Dict[str, Any] = {"op": "identified", "protocol": 2, "subscriptions": []}
        if password is not None:
            key = password_key(password, salt)
            if identify.get("authentication") != client_answer(key, challenge):
                await socket.close(4004, "authentication failed")
                return
            identified["serverProof"] = proof or server_proof(key, identify["authentication"], challenge)
        await send(socket, identified)

    async def answer_all(self, socket: WebSocketServerProtocol,
                         answer: Callable[[Dict[str, Any]], Dict[str, Any]]) -> None:
        """Answers each request with `answer(request)` until the client closes."""
        async for text in socket:
            request = json.loads(text)
            self.received.append(request)
            await send(socket, {"op": "response", "id": request["id"], **answer(request)})


async def send(socket: WebSocketServerProtocol, message: Dict[str, Any]) -> None:
    await socket.send(json.dumps(message))


def ok(result: Dict[str, Any]) -> Dict[str, Any]:
    return {"ok": True, "result": result}
