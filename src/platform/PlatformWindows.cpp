// The Windows side of the platform layer: Winsock 2, CNG for SHA-1, SHA-256 and random bytes,
// the user's last input
// time and %APPDATA%.
#include "platform/Platform.h"

// Order matters: winsock2.h before windows.h (which would pull in the old winsock.h), and
// bcrypt.h after windows.h, whose types it uses.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <climits>
#include <limits>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace ZYL::platform {

namespace {

// Winsock handles are kernel handles, whose significant bits fit in 32 and which are
// never negative as int; INVALID_SOCKET narrows to -1 and widens back unchanged.
Socket Narrow(SOCKET raw) noexcept { return static_cast<Socket>(raw); }
SOCKET Widen(Socket socket) noexcept { return static_cast<SOCKET>(socket); }

Socket Adopt(SOCKET raw) noexcept {
  if (raw == INVALID_SOCKET) return kNoSocket;
  const Socket narrowed = Narrow(raw);
  if (narrowed < 0) {
    ::closesocket(raw);
    return kNoSocket;
  }
  return narrowed;
}

// Winsock counts bytes in int.
int ClampedLength(std::size_t size) noexcept {
  return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

bool Succeeded(NTSTATUS status) noexcept { return status >= 0; }

// Sockets that ShutdownBoth was called on and that are not closed yet. A wait or receive
// that is already inside the system is not ended by a shutdown from another thread under
// Wine, so waits run in short slices and look here between them.
class ShutDownSockets {
public:
  void Add(Socket socket) {
    const std::lock_guard<std::mutex> lock(mutex_);
    sockets_.insert(socket);
  }
  void Remove(Socket socket) noexcept {
    const std::lock_guard<std::mutex> lock(mutex_);
    sockets_.erase(socket);
  }
  bool Contains(Socket socket) const noexcept {
    const std::lock_guard<std::mutex> lock(mutex_);
    return sockets_.count(socket) != 0;
  }

private:
  mutable std::mutex mutex_;
  std::set<Socket> sockets_;
};

ShutDownSockets& ShutDown() noexcept {
  static ShutDownSockets sockets;
  return sockets;
}

using Clock = std::chrono::steady_clock;
// How late a shutdown from another thread is noticed by a waiting reader at most.
constexpr std::chrono::milliseconds kWakeCheckSlice(100);

// A socket shut down here is over: no caller may block on it again (an accept on a shut
// listener blocks under Wine), so the wait fails.
enum class Readiness { Read, Write };
WaitResult WaitInSlices(std::span<const Socket> sockets, std::optional<Clock::time_point> deadline,
                        Readiness readiness, std::size_t& readyIndex) noexcept {
  // Winsock's fd_set is a list of handles, not a bitmap, so any handle value fits, and it
  // holds FD_SETSIZE (64) of them.
  if (sockets.empty() || sockets.size() > FD_SETSIZE) return WaitResult::Failed;
  for (;;) {
    for (const Socket socket : sockets)
      if (ShutDown().Contains(socket)) return WaitResult::Failed;
    auto slice = kWakeCheckSlice;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
      slice = std::clamp(left, std::chrono::milliseconds(0), kWakeCheckSlice);
    }
    fd_set ready;
    FD_ZERO(&ready);
    for (const Socket socket : sockets)
      FD_SET(Widen(socket), &ready);
    timeval limit{};
    limit.tv_usec = static_cast<long>(slice.count() * 1000);
    const bool reading = readiness == Readiness::Read;
    const int found =
        ::select(0, reading ? &ready : nullptr, reading ? nullptr : &ready, nullptr, &limit);
    if (found < 0) return WaitResult::Failed;
    if (found > 0) {
      for (std::size_t i = 0; i < sockets.size(); ++i) {
        if (!FD_ISSET(Widen(sockets[i]), &ready)) continue;
        readyIndex = i;
        return WaitResult::Ready;
      }
      return WaitResult::Failed;
    }
    if (deadline && Clock::now() >= *deadline) return WaitResult::TimedOut;
  }
}

WaitResult WaitInSlices(Socket socket, std::optional<Clock::time_point> deadline,
                        Readiness readiness = Readiness::Read) noexcept {
  std::size_t ignored = 0;
  return WaitInSlices(std::span<const Socket>(&socket, 1), deadline, readiness, ignored);
}

// The digest of `data` by the CNG algorithm `algorithmId`; nothing when a step fails.
// Whatever was opened is destroyed and closed on every path.
template <std::size_t Size>
std::optional<std::array<std::uint8_t, Size>> CngDigest(LPCWSTR algorithmId,
                                                        std::string_view data) noexcept {
  std::array<std::uint8_t, Size> digest{};
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  const bool opened = Succeeded(::BCryptOpenAlgorithmProvider(&algorithm, algorithmId, nullptr, 0));
  const bool created =
      opened && Succeeded(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  const bool hashed =
      created && data.size() <= std::numeric_limits<ULONG>::max() &&
      Succeeded(::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                 static_cast<ULONG>(data.size()), 0));
  const bool finished =
      hashed && Succeeded(::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(Size), 0));
  if (created) ::BCryptDestroyHash(hash);
  if (opened) ::BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!finished) return std::nullopt;
  return digest;
}

} // namespace

bool StartNetworking() noexcept {
  // Attempted once per process; the outcome stands for the life of the process, and the
  // library is never shut down because the host may still use Winsock after we unload.
  static const bool started = [] {
    WSADATA details{};
    return ::WSAStartup(MAKEWORD(2, 2), &details) == 0;
  }();
  return started;
}

namespace {

void NoteFailure(std::string* failure, int error) noexcept {
  if (failure == nullptr) return;
  try {
    *failure = error == WSAEADDRINUSE ? "address already in use"
                                      : "Winsock error " + std::to_string(error);
  } catch (...) {
  }
}

} // namespace

Socket OpenListener(Ipv4Address host, std::uint16_t port, int backlog,
                    std::string* failure) noexcept {
  const Socket listener = Adopt(::socket(AF_INET, SOCK_STREAM, 0));
  if (listener == kNoSocket) {
    NoteFailure(failure, ::WSAGetLastError());
    return kNoSocket;
  }
  // SO_REUSEADDR on Windows would let another process bind the same port while we listen
  // and take our clients; exclusive use makes that second bind fail instead.
  const BOOL exclusive = TRUE;
  ::setsockopt(Widen(listener), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  address.sin_addr.s_addr = ::htonl(host);
  if (::bind(Widen(listener), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(Widen(listener), backlog) != 0) {
    NoteFailure(failure, ::WSAGetLastError());
    ::closesocket(Widen(listener));
    return kNoSocket;
  }
  return listener;
}

void WriteDiagnostic(std::string_view line) noexcept {
  try {
    std::string text(line);
    text += "\n";
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    ::OutputDebugStringW(wide.c_str());
  } catch (...) {
  }
}

namespace {

std::optional<Clock::time_point> Deadline(int timeoutMilliseconds) noexcept {
  if (timeoutMilliseconds == kWaitForever) return std::nullopt;
  return Clock::now() + std::chrono::milliseconds(std::max(timeoutMilliseconds, 0));
}

} // namespace

WaitResult WaitReadable(Socket socket, int timeoutMilliseconds) noexcept {
  return WaitInSlices(socket, Deadline(timeoutMilliseconds));
}

WaitResult WaitReadableAny(std::span<const Socket> sockets, int timeoutMilliseconds,
                           std::size_t& ready) noexcept {
  return WaitInSlices(sockets, Deadline(timeoutMilliseconds), Readiness::Read, ready);
}

WaitResult WaitWritable(Socket socket, int timeoutMilliseconds) noexcept {
  return WaitInSlices(socket, Deadline(timeoutMilliseconds), Readiness::Write);
}

Socket Accept(Socket listener) noexcept {
  if (ShutDown().Contains(listener)) return kNoSocket;
  return Adopt(::accept(Widen(listener), nullptr, nullptr));
}

std::optional<Ipv4Address> PeerAddress(Socket socket) noexcept {
  sockaddr_in address{};
  int length = sizeof address;
  if (::getpeername(Widen(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.sin_family != AF_INET)
    return std::nullopt;
  return ::ntohl(address.sin_addr.s_addr);
}

Socket ConnectTo(Ipv4Address host, std::uint16_t port,
                 const std::function<void(Socket)>& beforeConnect) noexcept {
  if (!StartNetworking()) return kNoSocket;
  const Socket client = Adopt(::socket(AF_INET, SOCK_STREAM, 0));
  if (client == kNoSocket) return kNoSocket;
  if (beforeConnect) beforeConnect(client);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  address.sin_addr.s_addr = ::htonl(host);
  if (::connect(Widen(client), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::closesocket(Widen(client));
    return kNoSocket;
  }
  SetNoDelay(client);
  return client;
}

std::ptrdiff_t Receive(Socket socket, void* buffer, std::size_t size, bool waitAll) noexcept {
  // Not MSG_WAITALL: Wine ignores it and returns what has arrived, and a receive blocked in
  // the system could not be woken by a shutdown. Each recv below finds data or an end
  // waiting, and the loop gathers the whole size.
  auto* bytes = static_cast<char*>(buffer);
  std::size_t total = 0;
  while (total < size) {
    const bool failed = WaitInSlices(socket, std::nullopt) == WaitResult::Failed;
    // Ends as a receive after a local shutdown does on POSIX: as an orderly close.
    if (ShutDown().Contains(socket)) break;
    const int got = failed ? SOCKET_ERROR
                           : ::recv(Widen(socket), bytes + total, ClampedLength(size - total), 0);
    if (got == SOCKET_ERROR) return total > 0 ? static_cast<std::ptrdiff_t>(total) : -1;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
    if (!waitAll) break;
  }
  return static_cast<std::ptrdiff_t>(total);
}

std::ptrdiff_t Peek(Socket socket, void* buffer, std::size_t size) noexcept {
  // Waits in slices first, as Receive does, so a shutdown from another thread ends it.
  if (WaitInSlices(socket, std::nullopt) == WaitResult::Failed) return -1;
  if (ShutDown().Contains(socket)) return 0;
  const int got = ::recv(Widen(socket), static_cast<char*>(buffer), ClampedLength(size), MSG_PEEK);
  return got == SOCKET_ERROR ? -1 : got;
}

std::ptrdiff_t SendSome(Socket socket, const void* data, std::size_t size) noexcept {
  const int sent = ::send(Widen(socket), static_cast<const char*>(data), ClampedLength(size), 0);
  return sent == SOCKET_ERROR ? -1 : sent;
}

std::ptrdiff_t SendWithoutWaiting(Socket socket, const void* data, std::size_t size) noexcept {
  // Winsock has no per-call flag for this: the socket is non-blocking for this one send
  // only. Its reader is not disturbed: every receive here waits for readiness first.
  u_long nonBlocking = 1;
  if (::ioctlsocket(Widen(socket), FIONBIO, &nonBlocking) != 0) return -1;
  const int sent = ::send(Widen(socket), static_cast<const char*>(data), ClampedLength(size), 0);
  const int error = sent == SOCKET_ERROR ? ::WSAGetLastError() : 0;
  u_long blocking = 0;
  ::ioctlsocket(Widen(socket), FIONBIO, &blocking);
  if (sent != SOCKET_ERROR) return sent;
  return error == WSAEWOULDBLOCK ? 0 : -1;
}

void SetNoDelay(Socket socket) noexcept {
  const BOOL noDelay = TRUE;
  ::setsockopt(Widen(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
}

void ShutdownBoth(Socket socket) noexcept {
  try {
    ShutDown().Add(socket);
  } catch (...) {
    // Out of memory: the shutdown below still ends the connection, only later.
  }
  ::shutdown(Widen(socket), SD_BOTH);
}

// Not one of the shut-down sockets: its reads go on.
void ShutdownSend(Socket socket) noexcept { ::shutdown(Widen(socket), SD_SEND); }

void CloseSocket(Socket socket) noexcept {
  // Forgotten before the number can be handed to a new socket.
  ShutDown().Remove(socket);
  ::closesocket(Widen(socket));
}

std::array<std::uint8_t, 20> Sha1(std::string_view data) noexcept {
  return CngDigest<20>(BCRYPT_SHA1_ALGORITHM, data).value_or(std::array<std::uint8_t, 20>{});
}

std::optional<std::array<std::uint8_t, 32>> Sha256(std::string_view data) noexcept {
  return CngDigest<32>(BCRYPT_SHA256_ALGORITHM, data);
}

bool RandomBytes(std::span<std::uint8_t> bytes) noexcept {
  if (bytes.size() > std::numeric_limits<ULONG>::max()) return false;
  return Succeeded(::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                     BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

std::optional<std::uint32_t> IdleMilliseconds() noexcept {
  LASTINPUTINFO lastInput{};
  lastInput.cbSize = sizeof lastInput;
  static_assert(sizeof lastInput == 8, "the structure size the system expects");
  if (!::GetLastInputInfo(&lastInput)) return std::nullopt;
  // Both are 32-bit tick counts; the unsigned difference stays right across the wrap
  // after 49.7 days.
  return static_cast<std::uint32_t>(::GetTickCount() - lastInput.dwTime);
}

std::string SettingsFolder() {
  // The process environment itself (the host may have changed it since start-up), in the
  // ANSI code page that narrow file paths use.
  const char* const name = "APPDATA";
  DWORD needed = ::GetEnvironmentVariableA(name, nullptr, 0);
  while (needed > 0) {
    std::string value(needed, '\0');
    const DWORD written = ::GetEnvironmentVariableA(name, value.data(), needed);
    if (written < needed) {
      value.resize(written);
      return value;
    }
    needed = written; // grew in between: try again with the new size
  }
  return {};
}

char PathSeparator() noexcept { return '\\'; }

} // namespace ZYL::platform
