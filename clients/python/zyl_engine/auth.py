"""The password proofs of the opening exchange. Every hash input is text joined as text: the
password, then the base64 texts the engine sends (salt, challenge) and those computed here."""
import base64
import hashlib
import hmac


def _digest(text: str) -> str:
    return base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode("ascii")


def password_key(password: str, salt: str) -> str:
    """K: what both sides derive from the password and this connection's salt."""
    return _digest(password + salt)


def client_answer(key: str, challenge: str) -> str:
    """A: the answer to the engine's challenge, which shows that the client knows the password."""
    return _digest(key + challenge)


def server_proof(key: str, answer: str, challenge: str) -> str:
    """The engine's proof that it knows the password too."""
    return _digest(key + answer + challenge)


def proofs_match(expected: str, received: object) -> bool:
    """Compares in constant time, so the time taken tells nothing about the expected proof."""
    return isinstance(received, str) and hmac.compare_digest(expected.encode("ascii"),
                                                             received.encode("utf-8"))
