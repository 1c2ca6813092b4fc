// The single-threaded floors: all of a process's serving on its one thread, with no thread
// per connection and no hand-over between threads. The bench starts each in a process of
// its own (`zyl-bench --floor ...`), so that its memory can be read apart from the bench's.
#pragma once

#include <string_view>

namespace zylbench {

// Serves every connection from one thread waiting in poll: reads each request to its blank
// line, sends a fixed 101, then answers every chunk a client sends with `replyFrame`, and
// closes a connection when its client ends it. Never returns.
[[noreturn]] void RunOneThreadFloor(int listener, std::string_view replyFrame);

// The least a server can do for one connection's set-up, one connection after another:
// accept, read to the blank line, send a fixed 101, read one frame, answer it with
// `replyFrame`, close. Never returns.
[[noreturn]] void RunOneFrameFloor(int listener, std::string_view replyFrame);

} // namespace zylbench
