// Everything the engine needs from the operating system: IPv4 sockets, SHA-1 and SHA-256,
// random bytes, the user's idle time, the settings folder and its files, threads that keep
// the module loaded, and the heap's free memory. One POSIX and one Windows source implement
// it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ZYL::platform {

// Socket numbers are 32-bit; the Windows handle is narrowed to int. -1 means none.
using Socket = int;
inline constexpr Socket kNoSocket = -1;

// Starts the socket library once per process (WSAStartup 2.2 on Windows) and reports the
// outcome recorded at the first attempt; it is never retried.
bool StartNetworking() noexcept;

// An IPv4 address in host byte order: 127.0.0.1 is 0x7F000001.
using Ipv4Address = std::uint32_t;
inline constexpr Ipv4Address kLoopbackAddress = 0x7F000001;
inline constexpr Ipv4Address kAnyAddress = 0;

// socket + address reuse rule + bind to address:port + listen(backlog). The reuse rule
// never lets a second program take the same address and port while this one listens.
// Returns kNoSocket when the socket cannot be created or bound, with the system's reason in
// `failure` when one is given.
Socket OpenListener(Ipv4Address address, std::uint16_t port, int backlog,
                    std::string* failure = nullptr) noexcept;
inline Socket OpenLoopbackListener(std::uint16_t port, int backlog,
                                   std::string* failure = nullptr) noexcept {
  return OpenListener(kLoopbackAddress, port, backlog, failure);
}

// One line for whoever watches the process: standard error on POSIX, the debugger's output
// (OutputDebugStringW) on Windows. The host offers no log of its own.
void WriteDiagnostic(std::string_view line) noexcept;

enum class WaitResult { Ready, TimedOut, Failed };
// A time-out for the waits below that never runs out: only readiness, a failure or a
// shutdown of the socket (ShutdownBoth, from any thread) ends the wait.
inline constexpr int kWaitForever = -1;
// Waits until the socket is readable (or has a pending connection).
WaitResult WaitReadable(Socket socket, int timeoutMilliseconds) noexcept;
// Waits until one of `sockets` is readable, as WaitReadable does; `ready` is then its index.
WaitResult WaitReadableAny(std::span<const Socket> sockets, int timeoutMilliseconds,
                           std::size_t& ready) noexcept;
// Waits until the socket takes more bytes to send.
WaitResult WaitWritable(Socket socket, int timeoutMilliseconds) noexcept;

// accept; kNoSocket on failure. `peer`, when given, receives the peer's IPv4 address, or
// nothing when the system cannot tell it (as PeerAddress).
Socket Accept(Socket listener, std::optional<Ipv4Address>* peer = nullptr) noexcept;

// Waits up to `timeoutMilliseconds` for a connection on `listener` and accepts it;
// kNoSocket when none came, on failure, or once the listener is shut down. Several threads
// may wait on one listener at once: each connection goes to one of them, and on POSIX only
// that one wakes. Every caller on a listener must give the same time-out.
Socket AcceptWithin(Socket listener, int timeoutMilliseconds,
                    std::optional<Ipv4Address>* peer = nullptr) noexcept;

// The IPv4 address of a connected socket's peer; nothing when the system cannot tell (the
// peer is gone, or it is not IPv4).
std::optional<Ipv4Address> PeerAddress(Socket socket) noexcept;

// A client connection to address:port with Nagle's delay off (for tools and tests that
// talk to the server). `beforeConnect`, when given, is called with the new socket before it
// connects, for options that only take full effect from the start of a connection; it must
// not throw. kNoSocket when the socket cannot be made or nothing accepts.
Socket ConnectTo(Ipv4Address address, std::uint16_t port,
                 const std::function<void(Socket)>& beforeConnect = {}) noexcept;
inline Socket ConnectLoopback(std::uint16_t port,
                              const std::function<void(Socket)>& beforeConnect = {}) noexcept {
  return ConnectTo(kLoopbackAddress, port, beforeConnect);
}

// recv; with waitAll the call blocks until `size` bytes arrived or the connection failed.
// Returns the byte count, 0 at orderly close, negative on failure.
std::ptrdiff_t Receive(Socket socket, void* buffer, std::size_t size, bool waitAll) noexcept;

// One receive of what has arrived, without waiting: the byte count, 0 at orderly close,
// negative when nothing has arrived yet or on failure.
std::ptrdiff_t ReceiveWithoutWaiting(Socket socket, void* buffer, std::size_t size) noexcept;

// One send call; never raises SIGPIPE. Returns bytes sent or negative on failure.
std::ptrdiff_t SendSome(Socket socket, const void* data, std::size_t size) noexcept;

// One send that never waits for room in the socket's buffer; never raises SIGPIPE. Returns
// the bytes taken, 0 when the buffer is full, negative on failure.
std::ptrdiff_t SendWithoutWaiting(Socket socket, const void* data, std::size_t size) noexcept;

// Sends small frames at once instead of holding them back for an acknowledgement (Nagle),
// which would stall every multi-frame reply by the peer's delayed-ACK time.
void SetNoDelay(Socket socket) noexcept;

void ShutdownBoth(Socket socket) noexcept;
// Ends the sending side only (the peer reads the end of the stream); receives go on.
void ShutdownSend(Socket socket) noexcept;
void CloseSocket(Socket socket) noexcept;

// SHA-1 digest through the system's crypto library. A failure yields what the digest buffer
// held at that point (20 zero bytes when nothing was hashed).
std::array<std::uint8_t, 20> Sha1(std::string_view data) noexcept;

// SHA-256 digest through the system's crypto library, or nothing when it fails: a digest
// that proves a password must never fall back to a predictable value.
std::optional<std::array<std::uint8_t, 32>> Sha256(std::string_view data) noexcept;

// Fills `bytes` from the system's cryptographic random source. False when the source fails;
// the bytes are then unusable and the caller must refuse what needed them.
bool RandomBytes(std::span<std::uint8_t> bytes) noexcept;

// Milliseconds since the user's last input, or nothing when the system cannot tell.
std::optional<std::uint32_t> IdleMilliseconds() noexcept;

// The user's settings folder: %APPDATA% on Windows; on POSIX APPDATA, else
// $XDG_CONFIG_HOME, else $HOME/.config. Empty when none is known.
std::string SettingsFolder();

// Separator for paths below SettingsFolder().
char PathSeparator() noexcept;

// A file of the user's, read whole.
struct FileRead {
  enum class Status {
    Read,       // `bytes` holds the file
    Missing,    // nothing by that name exists (a link that leads nowhere is Unreadable)
    Unreadable, // `problem` says why, in a few English words
  };
  Status status = Status::Missing;
  std::string bytes;
  std::string problem;
};

// Reads the file at `path` when it is a regular file of at most `maxBytes`, following links.
// Nothing here waits on another program: a pipe, a device, a folder or a link to one is
// Unreadable without a read (on POSIX it is opened without blocking, if at all; on Windows
// only files on a disk are read), and so are a larger file and a link that leads nowhere (its
// target on a drive that is not mounted is not a file the user removed). A read that the
// system itself holds up (a stalled network share) still waits: see StartModuleThread.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes) noexcept;

// Tells, without waiting, whether the file at a path may differ from what it was when the watch
// was armed: the folder that holds it and that folder's own folder are watched for any change
// of their entries, so a reading of the file may be used again until the user touches them.
// Only where every change is reported at once: on Linux, on a local file system (a network
// share does not report what another machine changes), for a file that is no link (a change of
// the target would go unseen). Elsewhere it cannot be armed, and every reading is made anew.
class FileChangeWatch {
public:
  FileChangeWatch() noexcept = default;
  ~FileChangeWatch();
  FileChangeWatch(FileChangeWatch&& other) noexcept;
  FileChangeWatch& operator=(FileChangeWatch&& other) noexcept;
  FileChangeWatch(const FileChangeWatch&) = delete;
  FileChangeWatch& operator=(const FileChangeWatch&) = delete;

  // Watches `path`'s folders from now on; false when no change there could be told. Looks the
  // path up, which a stalled folder may hold up like any read of it: not on a thread that must
  // not wait.
  bool Arm(const std::string& path) noexcept;
  // True once something may have changed since Arm (and for a watch that is not armed); never
  // waits. Not for two threads at once.
  bool MayHaveChanged() noexcept;

private:
  int descriptor_ = -1; // the watching descriptor where the system has one
  bool changed_ = true;
};

// Starts a detached thread that runs `body(context)` while holding a reference of its own to
// the module that holds this code, so that a host that unloads the module meanwhile cannot
// take the code from under it; the reference goes when the thread ends (Windows:
// FreeLibraryAndExitThread; POSIX: dlclose run by the C library as the thread ends, after the
// last instruction of the module). Code linked into a program needs no reference (POSIX takes
// none). False when no thread could be started; `body` then never runs.
bool StartModuleThread(void (*body)(void*) noexcept, void* context) noexcept;

// Gives the heap's free memory back to the system where the heap allows it (glibc's
// malloc_trim, the C runtime's _heapmin on Windows), after a large buffer was released:
// inside the host, memory the allocator keeps is memory the editor never gets back.
void ReturnFreeMemory() noexcept;

// Has every heap give back the free memory at its top as soon as a free leaves much there, for
// the whole process; set once before connections are served. Without it glibc keeps the top
// of each thread's heap up to twice the largest block ever freed, which ReturnFreeMemory does
// not reach: after a burst of large replies, megabytes in every arena.
void KeepHeapTopsSmall() noexcept;

} // namespace ZYL::platform
