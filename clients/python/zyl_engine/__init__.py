"""A client of ZYL Engine's protocol 2: JSON requests with ids, typed errors, batches, per-topic
events and optional password authentication, over Debian's python3-websockets (asyncio).

    async with zyl_engine.connect() as engine:
        print(await engine.request("sequence.get"))
"""
import contextlib
from typing import AsyncIterator, Optional

from .connection import BatchItem, Connection, Outcome
from .errors import (ZylAuthenticationError, ZylClosedError, ZylConnectionError, ZylError,
                     ZylException, ZylMessageTooLargeError, ZylProtocolError, ZylRefusedError,
                     ZylTimeoutError)
from .events import Event, EventStream
from .opening import open_session
from .timecode import ticks_to_timecode, timecode_to_ticks

DEFAULT_URL = "ws://127.0.0.1:7890"

__all__ = [
    "DEFAULT_URL", "BatchItem", "Connection", "Event", "EventStream", "Outcome", "ZylAuthenticationError",
    "ZylClosedError", "ZylConnectionError", "ZylError", "ZylException", "ZylMessageTooLargeError",
    "ZylProtocolError", "ZylRefusedError", "ZylTimeoutError", "connect", "ticks_to_timecode",
    "timecode_to_ticks",
]


@contextlib.asynccontextmanager
async def connect(url: str = DEFAULT_URL, password: Optional[str] = None, timeout: float = 5.0,
                  origin: Optional[str] = None) -> AsyncIterator[Connection]:
    """Opens a protocol-2 session and closes it when the block ends.

    With a password the engine must prove that it knows it too; an empty password is no
    password, as in the engine's settings. `timeout` bounds the opening and every call after it.
    Local programs need no `origin`; pass one to connect as a page of that origin would.
    """
    connection = Connection(await open_session(url, password, timeout, origin), timeout)
    try:
        yield connection
    finally:
        await connection.close()
