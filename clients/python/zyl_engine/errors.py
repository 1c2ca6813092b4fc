"""Everything the client raises derives from ZylException, so one except clause catches it all."""
from typing import Any, Mapping, Optional


class ZylException(Exception):
    """The common base of the client's exceptions."""


class ZylRequestError(ZylException):
    """The engine answered a request with a failure (the JavaScript client's ZylRequestError).

    `code` is one of the engine's error codes (`invalid_params`, `not_found`, `host_error`, ...),
    `param` names the param at fault when the engine says which, and `status` holds the host's
    status code for a `host_error` that carries one.
    """

    def __init__(self, code: str, message: str, *, param: Optional[str] = None,
                 status: Optional[int] = None, method: Optional[str] = None) -> None:
        self.code = code
        self.message = message
        self.param = param
        self.status = status
        self.method = method
        where = method + ": " if method else ""
        super().__init__(where + code + ": " + message)

    @classmethod
    def from_reply(cls, error: Any, method: Optional[str] = None) -> "ZylRequestError":
        """Builds the error from the `error` member of a response; a malformed one is said as such."""
        if not isinstance(error, Mapping):
            return cls("malformed_error", "the engine's error was %r" % (error,), method=method)
        param = error.get("param")
        status = error.get("status")
        return cls(str(error.get("code")), str(error.get("message", "")),
                   param=param if isinstance(param, str) else None,
                   status=status if isinstance(status, int) and not isinstance(status, bool) else None,
                   method=method)


# The name this error had before both clients used one set of names.
ZylError = ZylRequestError


class ZylConnectionError(ZylException):
    """The connection could not be opened: nothing listens, the handshake failed or the server is
    not an engine speaking protocol 2."""


class ZylRefusedError(ZylConnectionError):
    """The engine refused the handshake with an HTTP status: 403 for a refused origin, 500 for a
    settings file it cannot read."""

    def __init__(self, message: str, http_status: int) -> None:
        super().__init__(message)
        self.http_status = http_status


class ZylAuthenticationError(ZylConnectionError):
    """The password was wrong, the engine wants one we do not have, or the server could not prove
    that it knows ours (another program may hold the port while the engine is down).

    `close_code` is the engine's close code (4004) when it refused the password, and None when
    the client itself gave up on the server."""

    def __init__(self, message: str, close_code: Optional[int] = None) -> None:
        super().__init__(message)
        self.close_code = close_code


class ZylClosedError(ZylException):
    """The connection ended, or was already closed, before the answer came. A request in flight
    when it ended may or may not have taken effect. `code` and `reason` are the close frame's,
    1006 when the connection was lost without one."""

    def __init__(self, message: str, code: Optional[int] = None, reason: str = "") -> None:
        super().__init__(message)
        self.code = code
        self.reason = reason


class ZylTimeoutError(ZylException):
    """No answer within the connection's time-out. The request may still take effect."""


class ZylProtocolError(ZylException):
    """The server sent something protocol 2 does not allow; the client closes the connection."""


class ZylMessageTooLargeError(ZylException, ValueError):
    """A request would exceed the engine's limit for one message (the engine would close the
    connection, failing every request in flight); it was not sent."""
