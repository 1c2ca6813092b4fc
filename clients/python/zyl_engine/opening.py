"""Opening a protocol-2 session: the WebSocket handshake offering `zyl.v2`, then hello, identify
and identified, with the password proofs both ways when the client has a password."""
import asyncio
import json
from typing import Any, Dict, Optional

from websockets.exceptions import ConnectionClosed, InvalidHandshake, InvalidStatusCode, InvalidURI
from websockets.legacy.client import WebSocketClientProtocol, connect
from websockets.typing import Origin

from .auth import client_answer, password_key, proofs_match, server_proof
from .errors import (ZylAuthenticationError, ZylConnectionError, ZylException, ZylRefusedError,
                     ZylTimeoutError)
from .refusal import is_local_url, refusal_reason, refusal_text
from .subprotocol import SUBPROTOCOL

PROTOCOL = 2
# The engine may send one message of up to 16 MiB (long command or marker lists).
MAX_RECEIVED_BYTES = 16 * 1024 * 1024
AUTHENTICATION_FAILED = 4004


async def open_session(url: str, password: Optional[str], timeout: float,
                       origin: Optional[str]) -> WebSocketClientProtocol:
    """Returns a socket on which the engine has sent `identified`, or raises a ZylConnectionError
    (or ZylTimeoutError) after closing whatever it opened."""
    socket = await _handshake(url, timeout, origin)
    try:
        await asyncio.wait_for(_identify(socket, url, password), timeout)
    except asyncio.TimeoutError:
        await socket.close()
        raise ZylTimeoutError("%s: the engine did not finish opening within %g s" % (url, timeout)) from None
    except BaseException:
        await socket.close()
        raise
    return socket


async def _handshake(url: str, timeout: float, origin: Optional[str]) -> WebSocketClientProtocol:
    try:
        # No keep-alive pings: the engine answers them, but a long host call (a timeline scan)
        # holds the connection's answers for seconds, and each request has its own time-out.
        socket = await connect(
            url, subprotocols=[SUBPROTOCOL], origin=Origin(origin) if origin is not None else None,
            open_timeout=timeout, close_timeout=timeout, ping_interval=None,
            max_size=MAX_RECEIVED_BYTES)
    except InvalidStatusCode as refused:
        reason = await refusal_reason(url, refused.status_code, origin, timeout)
        raise ZylRefusedError(reason, refused.status_code) from refused
    except asyncio.TimeoutError:
        raise ZylTimeoutError("%s: no handshake within %g s" % (url, timeout)) from None
    except (OSError, InvalidHandshake, InvalidURI) as failure:
        raise ZylConnectionError("cannot connect to %s: %s" % (url, failure)) from failure
    if socket.subprotocol != SUBPROTOCOL:
        await socket.close()
        raise ZylConnectionError("%s does not speak protocol 2 (its handshake did not accept %s)"
                                 % (url, SUBPROTOCOL))
    return socket


async def _identify(socket: WebSocketClientProtocol, url: str, password: Optional[str]) -> None:
    hello = await _receive(socket, "hello")
    if hello.get("protocol") != PROTOCOL:
        raise ZylConnectionError("%s greets with protocol %r, not %d" % (url, hello.get("protocol"), PROTOCOL))
    challenge = hello.get("authentication")
    identify: Dict[str, Any] = {"op": "identify", "protocol": PROTOCOL}
    expected_proof = None
    if challenge is None:
        if password:
            raise ZylAuthenticationError(
                "%s asks for no password, so it cannot prove that it knows ours: another program "
                "may hold the port" % url)
    else:
        if not isinstance(challenge, dict) or not isinstance(challenge.get("challenge"), str) \
                or not isinstance(challenge.get("salt"), str):
            raise ZylConnectionError("%s sent a malformed authentication in its hello" % url)
        if not password:
            raise ZylAuthenticationError("%s requires a password: pass the one its settings.json "
                                         "sets (connect(password=...))" % url)
        key = password_key(password, challenge["salt"])
        answer = client_answer(key, challenge["challenge"])
        identify["authentication"] = answer
        expected_proof = server_proof(key, answer, challenge["challenge"])
    await _send(socket, identify)
    identified = await _receive(socket, "identified")
    if expected_proof is not None and not proofs_match(expected_proof, identified.get("serverProof")):
        raise ZylAuthenticationError(
            "%s accepted our password without proving that it knows it: another program may "
            "hold the port" % url)


async def _send(socket: WebSocketClientProtocol, message: Dict[str, Any]) -> None:
    try:
        await socket.send(json.dumps(message))
    except ConnectionClosed as closed:
        raise _closed_while_opening(closed) from None


async def _receive(socket: WebSocketClientProtocol, op: str) -> Dict[str, Any]:
    try:
        text = await socket.recv()
    except ConnectionClosed as closed:
        raise _closed_while_opening(closed) from None
    try:
        message = json.loads(text) if isinstance(text, str) else None
    except (ValueError, RecursionError):
        message = None
    if not isinstance(message, dict) or message.get("op") != op:
        raise ZylConnectionError("expected the engine's %s, received %.80r" % (op, text))
    return message


def _closed_while_opening(closed: ConnectionClosed) -> ZylException:
    code = closed.rcvd.code if closed.rcvd else 1006
    reason = closed.rcvd.reason if closed.rcvd else ""
    if code == AUTHENTICATION_FAILED:
        return ZylAuthenticationError("the engine refused the password (%d %s): pass the one its "
                                      "settings.json sets (connect(password=...))" % (code, reason), code)
    return ZylConnectionError("the engine closed the connection while opening (%d %s)" % (code, reason))
