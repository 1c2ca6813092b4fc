"""Event streams: each holds the pushes of its topics, from its subscription until it or its
connection closes."""
import asyncio
from typing import TYPE_CHECKING, Any, Callable, Dict, NamedTuple, Optional, Tuple, Union

from .errors import ZylException

if TYPE_CHECKING:
    from .connection import Connection


class Event(NamedTuple):
    """One push: `topic` is `transport`, `marker`, `vitals`, `playhead` or `sequence`; `data` the
    event's members."""
    topic: str
    data: Dict[str, Any]


class _End(NamedTuple):
    """Queued after the last event; `error` builds what the iteration raises (None: it just ends)."""
    error: Optional[Callable[[], ZylException]]


class EventStream:
    """`async for event in connection.events("transport")` subscribes at the first step and then
    yields every event of the stream's topics; `async with connection.events(...) as stream`
    subscribes on entering, so that what the block does next is seen, and unsubscribes on leaving.
    The iteration ends when the stream or the connection is closed by this program, and raises
    ZylClosedError when the connection is lost. A stream dropped without `aclose()` stops
    receiving, but its topics stay subscribed on the engine."""

    def __init__(self, connection: "Connection", topics: Tuple[str, ...]) -> None:
        self.topics = topics
        self._connection = connection
        self._queue: "asyncio.Queue[Union[Event, _End]]" = asyncio.Queue()
        self._subscribed = False
        self._closed = False

    def __aiter__(self) -> "EventStream":
        return self

    async def __anext__(self) -> Event:
        await self._subscribe()
        item = await self._queue.get()
        if isinstance(item, Event):
            return item
        # Left in the queue so that every later step ends the same way.
        self._queue.put_nowait(item)
        if item.error is None:
            raise StopAsyncIteration
        raise item.error()

    async def aclose(self) -> None:
        """Ends the iteration and unsubscribes the topics that no other open stream holds."""
        if self._closed:
            return
        self._closed = True
        self._queue.put_nowait(_End(None))
        if self._subscribed:
            await self._connection._unsubscribe(self)

    async def __aenter__(self) -> "EventStream":
        await self._subscribe()
        return self

    async def __aexit__(self, *exc_info: object) -> None:
        await self.aclose()

    async def _subscribe(self) -> None:
        if not self._subscribed and not self._closed:
            self._subscribed = True
            await self._connection._subscribe(self)

    def _deliver(self, event: Event) -> None:
        if not self._closed and event.topic in self.topics:
            self._queue.put_nowait(event)

    def _end(self, error: Optional[Callable[[], ZylException]]) -> None:
        if not self._closed:
            self._closed = True
            self._queue.put_nowait(_End(error))
