// The Windows side of the platform layer: Winsock 2, CNG for SHA-1, SHA-256 and random bytes,
// the user's last input time, %APPDATA% and its files, module threads and the C runtime's
// heap.
#include "platform/Platform.h"

// Order matters: winsock2.h before windows.h (which would pull in the old winsock.h), and
// bcrypt.h after windows.h, whose types it uses.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <limits>
#include <malloc.h>
#include <mutex>
#include <new>
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

// The IPv4 address in `address` (from accept or getpeername); nothing for another family.
std::optional<Ipv4Address> Ipv4Of(const sockaddr_storage& address) noexcept {
  if (address.ss_family != AF_INET) return std::nullopt;
  return ::ntohl(reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr);
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
  // Several threads may wait on the listener: one that finds its connection taken by
  // another must not block in accept (see AcceptWithin).
  u_long nonBlocking = 1;
  ::ioctlsocket(Widen(listener), FIONBIO, &nonBlocking);
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

Socket Accept(Socket listener, std::optional<Ipv4Address>* peer) noexcept {
  return AcceptWithin(listener, kWaitForever, peer);
}

Socket AcceptWithin(Socket listener, int timeoutMilliseconds,
                    std::optional<Ipv4Address>* peer) noexcept {
  const auto deadline = Deadline(timeoutMilliseconds);
  for (;;) {
    // Ends at once for a shut listener, on which an accept would block under Wine.
    if (WaitInSlices(listener, deadline) != WaitResult::Ready) return kNoSocket;
    sockaddr_storage address{};
    int length = sizeof address;
    const SOCKET raw = ::accept(Widen(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (raw == INVALID_SOCKET) {
      // Another thread waiting on the listener took the connection.
      if (::WSAGetLastError() == WSAEWOULDBLOCK) continue;
      return kNoSocket;
    }
    // The accepted socket takes the listener's mode; every read and send here blocks.
    u_long blocking = 0;
    ::ioctlsocket(raw, FIONBIO, &blocking);
    if (peer) *peer = Ipv4Of(address);
    return Adopt(raw);
  }
}

std::optional<Ipv4Address> PeerAddress(Socket socket) noexcept {
  sockaddr_storage address{};
  int length = sizeof address;
  if (::getpeername(Widen(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return std::nullopt;
  return Ipv4Of(address);
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

std::ptrdiff_t ReceiveWithoutWaiting(Socket socket, void* buffer, std::size_t size) noexcept {
  // A wait that ends at once: a receive on a socket that is not ready would block.
  if (WaitInSlices(socket, Clock::now()) != WaitResult::Ready) return -1;
  if (ShutDown().Contains(socket)) return 0;
  const int got = ::recv(Widen(socket), static_cast<char*>(buffer), ClampedLength(size), 0);
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

namespace {

FileRead Unreadable(std::string problem) {
  FileRead result;
  result.status = FileRead::Status::Unreadable;
  result.problem = std::move(problem);
  return result;
}

FileRead TooLarge(std::size_t maxBytes) {
  return Unreadable("is larger than " + std::to_string(maxBytes) + " bytes");
}

std::string SystemReason(const char* what, DWORD error) {
  return std::string(what) + " (system error " + std::to_string(error) + ")";
}

bool IsNotFound(DWORD error) noexcept {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether the file or folder at `path` opens, following links.
bool Opens(const std::string& path) {
  const HANDLE opened = ::CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(opened);
  return true;
}

// Whether `path`, which cannot be found, or one of its folders is listed in its folder but
// does not open: a symbolic link or junction whose target is gone. Only a name listed
// nowhere is a file the user removed. Listings, not attributes: Windows gives a link's own
// attributes, Wine those of its target. Any failure of the listing but "not found" (Wine
// answers a Unix link whose target is gone with "no more files") counts as such a link.
bool LeadsNowhere(std::string at) {
  for (;;) {
    WIN32_FIND_DATAA entry;
    const HANDLE listed = ::FindFirstFileA(at.c_str(), &entry);
    if (listed != INVALID_HANDLE_VALUE) {
      ::FindClose(listed);
      return !Opens(at);
    }
    if (!IsNotFound(::GetLastError())) return true;
    const std::size_t separator = at.find_last_of("\\/");
    // A drive ("C:") or a share's root is as far as a folder goes.
    if (separator == std::string::npos || separator <= 2) return false;
    at.resize(separator);
  }
}

FileRead OpenFailure(const std::string& path, DWORD error) {
  if (!IsNotFound(error)) return Unreadable(SystemReason("cannot be opened", error));
  if (LeadsNowhere(path)) return Unreadable("is a link that leads nowhere");
  return FileRead{};
}

// Reads an opened file on a disk to its end, or one byte past `maxBytes`.
FileRead ReadOpenedFile(HANDLE file, std::size_t maxBytes) {
  FileRead result;
  result.status = FileRead::Status::Read;
  char chunk[16384];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, chunk, sizeof chunk, &got, nullptr))
      return Unreadable(SystemReason("cannot be read", ::GetLastError()));
    if (got == 0) return result;
    result.bytes.append(chunk, got);
    if (result.bytes.size() > maxBytes) return TooLarge(maxBytes);
  }
}

} // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes) noexcept {
  try {
    // Folders and devices are told apart before anything is opened. A placeholder that the
    // cloud synchronisation of a profile folder left is a reparse point that opens as its
    // file (the synchronisation fetches it), so it is opened like any file.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return OpenFailure(path, ::GetLastError());
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
      return Unreadable("is not a regular file");
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return OpenFailure(path, ::GetLastError());
    // A link may lead to a pipe or a device, which opens at once but may never answer a
    // read: only files on a disk are read.
    FileRead result;
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK)
      result = Unreadable("is not a regular file");
    else if (!::GetFileSizeEx(file, &size))
      result = Unreadable(SystemReason("cannot be read", ::GetLastError()));
    else if (static_cast<unsigned long long>(size.QuadPart) > maxBytes)
      result = TooLarge(maxBytes);
    else
      result = ReadOpenedFile(file, maxBytes);
    ::CloseHandle(file);
    return result;
  } catch (...) {
    return Unreadable("cannot be read: out of memory");
  }
}

// Windows does not promise a folder's change notification to be signalled by the time the write
// that causes it returns (under Wine it comes later), so a handshake right after an edit could
// miss it: every reading is made anew.
FileChangeWatch::~FileChangeWatch() = default;

FileChangeWatch::FileChangeWatch(FileChangeWatch&& other) noexcept
    : descriptor_(other.descriptor_), changed_(other.changed_) {}

FileChangeWatch& FileChangeWatch::operator=(FileChangeWatch&& other) noexcept {
  descriptor_ = other.descriptor_;
  changed_ = other.changed_;
  return *this;
}

bool FileChangeWatch::Arm(const std::string&) noexcept { return false; }

bool FileChangeWatch::MayHaveChanged() noexcept { return true; }

namespace {

struct ModuleThreadStart {
  void (*body)(void*) noexcept;
  void* context;
  HMODULE module; // a reference of the thread's own to the module holding this code
};

DWORD WINAPI RunModuleThread(LPVOID raw) {
  const ModuleThreadStart start = *static_cast<ModuleThreadStart*>(raw);
  delete static_cast<ModuleThreadStart*>(raw);
  start.body(start.context);
  // Releases the module and ends the thread in one call, so no instruction of a module that
  // this release unloads is left to run.
  if (start.module != nullptr) ::FreeLibraryAndExitThread(start.module, 0);
  return 0;
}

} // namespace

bool StartModuleThread(void (*body)(void*) noexcept, void* context) noexcept {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&RunModuleThread), &module))
    module = nullptr;
  auto* start = new (std::nothrow) ModuleThreadStart{body, context, module};
  const HANDLE thread =
      start != nullptr ? ::CreateThread(nullptr, 0, &RunModuleThread, start, 0, nullptr) : nullptr;
  if (thread == nullptr) {
    delete start;
    if (module != nullptr) ::FreeLibrary(module);
    return false;
  }
  ::CloseHandle(thread);
  return true;
}

void ReturnFreeMemory() noexcept {
  // The C runtime's heap gives its free blocks back to the system.
  _heapmin();
}

void KeepHeapTopsSmall() noexcept {
  // The C runtime offers no such setting; ReturnFreeMemory's _heapmin is all it has.
}

} // namespace ZYL::platform
