"""Event streams: each holds the pushes of its topics, from its subscription until it or its
connection closes. A stream and its connection meet through two small interfaces: the stream's
StreamFeed, through which the connection delivers events and ends the stream, and the
connection's TopicHolder, which holds and releases a feed's topics on the engine."""
import asyncio
from typing import Any, Callable, Dict, NamedTuple, Optional, Protocol, Tuple, Union

from .errors import ZylException


class Event(NamedTuple):
    """One push: `topic` is `transport`, `marker`, `vitals`, `playhead` or `sequence`; `data` the
    event's members."""
    topic: str
    data: Dict[str, Any]


class _End(NamedTuple):
    """Queued after the last event; `error` builds what the iteration raises (None: it just ends)."""
    error: Optional[Callable[[], ZylException]]


class StreamFeed:
    """The connection's side of one stream: the events of the stream's topics go in, and the
    end goes in last."""

    def __init__(self, topics: Tuple[str, ...]) -> None:
        self.topics = topics
        self.queue: "asyncio.Queue[Union[Event, _End]]" = asyncio.Queue()
        self.closed = False

    def deliver(self, event: Event) -> None:
        if not self.closed and event.topic in self.topics:
            self.queue.put_nowait(event)

    def end(self, error: Optional[Callable[[], ZylException]]) -> None:
        """Ends the stream; the iteration then raises what `error` builds, or just stops."""
        if not self.closed:
            self.closed = True
            self.queue.put_nowait(_End(error))


class TopicHolder(Protocol):
    """What a stream asks of its connection."""

    async def hold(self, feed: StreamFeed) -> None:
        """Subscribes the feed's topics; from then on the feed receives their events."""

    async def release(self, feed: StreamFeed) -> None:
        """The feed receives nothing more; its topics that no other feed holds are unsubscribed."""


class EventStream:
    """`async for event in connection.events("transport")` subscribes at the first step and then
    yields every event of the stream's topics; `async with connection.events(...) as stream`
    subscribes on entering, so that what the block does next is seen, and unsubscribes on leaving.
    The iteration ends when the stream or the connection is closed by this program, and raises
    ZylClosedError when the connection is lost. A stream dropped without `aclose()` stops
    receiving, but its topics stay subscribed on the engine."""

    def __init__(self, holder: TopicHolder, topics: Tuple[str, ...]) -> None:
        self.topics = topics
        self._holder = holder
        self._feed = StreamFeed(topics)
        self._subscribed = False

    def __aiter__(self) -> "EventStream":
        return self

    async def __anext__(self) -> Event:
        await self._subscribe()
        item = await self._feed.queue.get()
        if isinstance(item, Event):
            return item
        # Left in the queue so that every later step ends the same way.
        self._feed.queue.put_nowait(item)
        if item.error is None:
            raise StopAsyncIteration
        raise item.error()

    async def aclose(self) -> None:
        """Ends the iteration and unsubscribes the topics that no other open stream holds."""
        if self._feed.closed:
            return
        self._feed.end(None)
        if self._subscribed:
            await self._holder.release(self._feed)

    async def __aenter__(self) -> "EventStream":
        await self._subscribe()
        return self

    async def __aexit__(self, *exc_info: object) -> None:
        await self.aclose()

    async def _subscribe(self) -> None:
        if not self._subscribed and not self._feed.closed:
            self._subscribed = True
            await self._holder.hold(self._feed)
