"""The WebSocket subprotocol that names protocol 2 in the handshake."""
from websockets.typing import Subprotocol

SUBPROTOCOL = Subprotocol("zyl.v2")
