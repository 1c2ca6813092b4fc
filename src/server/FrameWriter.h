// The engine's outgoing frames: every text a client receives goes through SendTextFrame.
#pragma once

#include <string>
#include <string_view>

namespace ZYL {

class ClientConnection;

// One unmasked, unfragmented text frame holding `text`: a 7-bit length below 126 bytes, a
// 16-bit length up to 65535, and the 64-bit length form from 65536 bytes on.
std::string EncodeTextFrame(std::string_view text);
// The same frame, made in the place of `text`: a text with room for the header left in its
// buffer costs no second one.
std::string EncodeTextFrameInPlace(std::string text);

// Writes `text` as one text frame, whole and unmixed with frames of other threads. Failures
// are not reported: a connection whose send fails is shut down and ends at its next read.
void SendTextFrame(ClientConnection& connection, std::string_view text);
// The same for a text the caller is done with, framed in its place (EncodeTextFrameInPlace).
void SendOwnedTextFrame(ClientConnection& connection, std::string text);

} // namespace ZYL
