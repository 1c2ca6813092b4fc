"""A protocol-2 session: requests and batches matched to their answers by id, so that any number
may be in flight, and pushes routed to the event streams that hold their topic."""
import asyncio
import itertools
import json
import weakref
from typing import Any, Callable, Dict, List, Mapping, Optional, Sequence, Tuple, Union

from websockets.exceptions import ConnectionClosed
from websockets.legacy.client import WebSocketClientProtocol

from .errors import (ZylClosedError, ZylError, ZylException, ZylMessageTooLargeError,
                     ZylProtocolError, ZylTimeoutError)
from .events import Event, EventStream

# The engine closes the connection on a longer message, failing every request in flight.
MAX_SENT_BYTES = 65535
PROTOCOL_ERROR = 1002

BatchItem = Tuple[str, Optional[Mapping[str, Any]]]
Outcome = Union[Dict[str, Any], ZylError]


class Connection:
    """Made by `zyl_engine.connect()`; every call waits at most `timeout` seconds."""

    def __init__(self, socket: WebSocketClientProtocol, timeout: float) -> None:
        self.timeout = timeout
        self._socket = socket
        self._ids = itertools.count(1)
        self._pending: Dict[int, "asyncio.Future[Dict[str, Any]]"] = {}
        self._streams: "weakref.WeakSet[EventStream]" = weakref.WeakSet()
        self._closing = False
        self._ended: Optional[Callable[[], ZylException]] = None
        self._reader = asyncio.create_task(self._read())

    async def request(self, method: str, /, **params: Any) -> Dict[str, Any]:
        """Runs one method and returns its result; a failure raises ZylError."""
        reply = await self._call({"op": "request", "method": method, "params": params}, method)
        return _result(reply, method)

    async def batch(self, requests: Sequence[BatchItem], halt_on_failure: bool = False) -> List[Outcome]:
        """Runs (method, params) pairs in one message; params may be None. Returns each item's
        result or ZylError in order; with `halt_on_failure` the list ends at the first failure.
        A batch the engine refuses as a whole (too many items) raises ZylError."""
        items: List[Dict[str, Any]] = [
            {"method": method} if params is None else {"method": method, "params": dict(params)}
            for method, params in requests]
        reply = await self._call({"op": "batch", "haltOnFailure": halt_on_failure, "requests": items}, "batch")
        if reply.get("ok") is not True:
            raise ZylError.from_reply(reply.get("error"), "batch")
        results = reply.get("results")
        if not isinstance(results, list) or len(results) > len(items) \
                or not all(isinstance(item, dict) for item in results):
            raise ZylProtocolError("batch: malformed results %.200r" % (results,))
        return [item["result"] if item.get("ok") is True else ZylError.from_reply(item.get("error"), method)
                for (method, _), item in zip(requests, results)]

    async def pin_timeline(self, timeline: Optional[int]) -> Optional[int]:
        """Pins the timeline this connection means (None unpins): methods that take `timeline`
        use it when it is left out, and the `playhead` and `sequence` topics derive on it.
        Returns the timeline pinned; the pin lasts as long as the connection."""
        pinned = (await self.request("timeline.pin", timeline=timeline)).get("timelineID")
        if pinned is not None and not isinstance(pinned, int):
            raise ZylProtocolError("timeline.pin: malformed timelineID %.200r" % (pinned,))
        return pinned

    def events(self, *topics: str) -> EventStream:
        """`async for event in connection.events("transport", "vitals")`: see EventStream."""
        return EventStream(self, topics)

    async def close(self) -> None:
        """Closes the connection and waits for its reader; requests in flight raise ZylClosedError."""
        self._closing = True
        await self._socket.close()
        await self._reader

    async def _subscribe(self, stream: EventStream) -> None:
        self._streams.add(stream)
        try:
            _result(await self._call({"op": "subscribe", "topics": list(stream.topics)}, "subscribe"), "subscribe")
        except BaseException:
            self._streams.discard(stream)
            raise

    async def _unsubscribe(self, stream: EventStream) -> None:
        self._streams.discard(stream)
        held = {topic for other in self._streams for topic in other.topics}
        unheld = [topic for topic in stream.topics if topic not in held]
        if unheld and self._ended is None:
            _result(await self._call({"op": "unsubscribe", "topics": unheld}, "unsubscribe"), "unsubscribe")

    async def _call(self, message: Dict[str, Any], label: str) -> Dict[str, Any]:
        if self._ended is not None:
            raise self._ended()
        call_id = next(self._ids)
        text = json.dumps({**message, "id": call_id}, ensure_ascii=False, allow_nan=False, separators=(",", ":"))
        size = len(text.encode("utf-8"))
        if size > MAX_SENT_BYTES:
            raise ZylMessageTooLargeError(
                "%s: %d bytes, more than the engine's %d" % (label, size, MAX_SENT_BYTES))
        answer: "asyncio.Future[Dict[str, Any]]" = asyncio.get_running_loop().create_future()
        self._pending[call_id] = answer
        try:
            return await asyncio.wait_for(self._exchange(text, answer), self.timeout)
        except asyncio.TimeoutError:
            raise ZylTimeoutError("%s: no answer within %g s" % (label, self.timeout)) from None
        finally:
            self._pending.pop(call_id, None)

    async def _exchange(self, text: str, answer: "asyncio.Future[Dict[str, Any]]") -> Dict[str, Any]:
        try:
            await self._socket.send(text)
        except ConnectionClosed:
            # The reader sees the same close and says why; wait for its word.
            pass
        return await answer

    async def _read(self) -> None:
        fault = None
        try:
            async for message in self._socket:
                fault = self._dispatch(message)
                if fault is not None:
                    break
        except ConnectionClosed:
            pass
        if fault is not None:
            await self._socket.close(PROTOCOL_ERROR, fault[:123])
            detail = "the engine sent %s; the connection is closed" % fault
            self._end(lambda: ZylProtocolError(detail))
        else:
            self._end(self._closed_error())

    def _closed_error(self) -> Callable[[], ZylException]:
        code = self._socket.close_code
        reason = self._socket.close_reason or ""
        if self._closing:
            return lambda: ZylClosedError("the connection is closed", code, reason)
        return lambda: ZylClosedError("the connection to the engine ended (%s %s)" % (code, reason), code, reason)

    def _end(self, error: Callable[[], ZylException]) -> None:
        self._ended = error
        for answer in self._pending.values():
            if not answer.done():
                answer.set_exception(error())
        for stream in list(self._streams):
            stream._end(None if self._closing else error)

    def _dispatch(self, message: Union[str, bytes]) -> Optional[str]:
        """Routes one message; returns what is wrong with it when it breaks the protocol."""
        if isinstance(message, bytes):
            return "a binary message"
        try:
            parsed = json.loads(message)
        # Python's parser recurses: nesting deep enough exhausts the stack.
        except (ValueError, RecursionError):
            return "a message that is not JSON, or nested too deeply"
        if not isinstance(parsed, dict) or not isinstance(parsed.get("op"), str):
            return "a message without an op"
        op = parsed["op"]
        if op in ("response", "batchResponse"):
            call_id = parsed.get("id")
            # A bool is an int to Python, but true is no id of ours.
            answer = self._pending.get(call_id) if type(call_id) is int else None
            # No answer waits for an id of a call that timed out.
            if answer is not None and not answer.done():
                answer.set_result(parsed)
        elif op == "event":
            topic, data = parsed.get("topic"), parsed.get("data")
            if not isinstance(topic, str) or not isinstance(data, dict):
                return "an event without a topic or data"
            for stream in list(self._streams):
                stream._deliver(Event(topic, data))
        # Other ops belong to later versions of the protocol and are left alone.
        return None


def _result(reply: Dict[str, Any], method: str) -> Dict[str, Any]:
    if reply.get("ok") is not True:
        raise ZylError.from_reply(reply.get("error"), method)
    result = reply.get("result")
    if not isinstance(result, dict):
        raise ZylProtocolError("%s: the result is not an object but %.200r" % (method, result))
    return result
