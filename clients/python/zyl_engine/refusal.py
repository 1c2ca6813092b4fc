"""Why the engine refused a handshake. The websockets client keeps only the refusal's status, so
the body (which names a settings fault, its file, line and column) is asked for again with a
plain upgrade request of our own; a 403 carries no body and means an origin the engine does not
admit."""
import asyncio
import base64
import os
import re
import urllib.parse
from typing import Optional

from .subprotocol import SUBPROTOCOL

# The engine's refusals are short; anything longer is not one of them.
MAX_REPLY_BYTES = 64 * 1024


def status_page(url: str) -> str:
    """The address of the engine's status page (for a browser's address bar) behind `url`."""
    parts = urllib.parse.urlsplit(url)
    return "%s://%s/" % ("https" if parts.scheme == "wss" else "http", parts.netloc)


async def _refusal_body(url: str, origin: Optional[str], timeout: float) -> Optional[str]:
    parts = urllib.parse.urlsplit(url)
    if parts.scheme != "ws" or not parts.hostname:
        return None
    reader, writer = await asyncio.wait_for(
        asyncio.open_connection(parts.hostname, parts.port or 80), timeout)
    try:
        lines = ["GET %s HTTP/1.1" % (parts.path or "/"), "Host: " + parts.netloc,
                 "Upgrade: websocket", "Connection: Upgrade",
                 "Sec-WebSocket-Key: " + base64.b64encode(os.urandom(16)).decode(),
                 "Sec-WebSocket-Version: 13", "Sec-WebSocket-Protocol: " + SUBPROTOCOL]
        if origin is not None:
            lines.append("Origin: " + origin)
        writer.write(("\r\n".join(lines) + "\r\n\r\n").encode())
        reply = b""
        while len(reply) < MAX_REPLY_BYTES:
            chunk = await asyncio.wait_for(reader.read(MAX_REPLY_BYTES), timeout)
            if not chunk:
                break
            reply += chunk
    finally:
        writer.close()
    head, _, body = reply.partition(b"\r\n\r\n")
    if not head.startswith(b"HTTP/1.1 5"):
        return None
    return body.decode("utf-8", "replace").strip() or None


def is_local_url(url: str) -> bool:
    """Whether the URL names this computer (localhost, 127.x, [::1])."""
    try:
        host = (urllib.parse.urlsplit(url).hostname or "").lower()
    except ValueError:
        return False
    return host in ("localhost", "::1") or re.fullmatch(r"127(\.\d{1,3}){3}", host) is not None


def refusal_text(url: str, status: int) -> str:
    """What a refused handshake says; beyond this computer, what the engine there admits."""
    text = "%s refused the handshake with HTTP %d" % (url, status)
    if status == 403 and not is_local_url(url):
        text += (": an engine on another computer admits protocol 2 with its password only, and "
                 "pages only from origins its origins.txt lists")
    return text


async def refusal_reason(url: str, status: int, origin: Optional[str], timeout: float) -> str:
    """One message naming `status`, the reason as far as it can be read, and what to do."""
    said = refusal_text(url, status)
    if status == 403 and not is_local_url(url):
        return said  # another computer's status page is not served to this one
    page = status_page(url)
    if status == 403 and origin is not None:
        return ("%s: the origin %s is not allowed; add it to origins.txt in the engine's settings "
                "folder (shown on %s)" % (said, origin, page))
    if status == 500:
        try:
            body = await _refusal_body(url, origin, timeout)
        except (OSError, asyncio.TimeoutError):
            body = None
        if body:
            return "%s: %s; mend or remove that file (no restart needed)" % (said, body)
    return "%s (the engine's status page %s says why)" % (said, page)
