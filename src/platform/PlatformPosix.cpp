// The POSIX side of the platform layer: BSD sockets, OpenSSL's libcrypto for SHA-1, SHA-256 and
// random bytes, the XDG settings folder and its files, module threads and glibc's heap.
#include "platform/Platform.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#if defined(__linux__)
#include <sys/inotify.h>
#include <sys/statfs.h>
#endif
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// Under a sanitizer the heap is the sanitizer's own: glibc's trimming has nothing to give
// back there, and its calls only disturb the sanitizer's leak check at exit.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZYL_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZYL_SANITIZER_HEAP 1
#endif
#endif

// The plain SHA routines, kept in OpenSSL 3 but marked deprecated there: see Sha1.
#define OPENSSL_API_COMPAT 10101
#include <openssl/rand.h>
#include <openssl/sha.h>

namespace ZYL::platform {

namespace {

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// The IPv4 address in `address` (from accept or getpeername); nothing for another family.
std::optional<Ipv4Address> Ipv4Of(const sockaddr_storage& address) noexcept {
  if (address.ss_family != AF_INET) return std::nullopt;
  return ntohl(reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr);
}

} // namespace

bool StartNetworking() noexcept {
  // POSIX sockets need no start-up; the outcome is still recorded once, as on Windows.
  static const bool started = true;
  return started;
}

namespace {

void NoteFailure(std::string* failure, int error) noexcept {
  if (failure == nullptr) return;
  try {
    *failure = std::strerror(error);
  } catch (...) {
  }
}

} // namespace

Socket OpenListener(Ipv4Address host, std::uint16_t port, int backlog,
                    std::string* failure) noexcept {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) {
    NoteFailure(failure, errno);
    return kNoSocket;
  }
  // Lets a restarted server bind again while old connections linger in TIME_WAIT.
  const int one = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(host);
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, backlog) != 0) {
    NoteFailure(failure, errno);
    ::close(listener);
    return kNoSocket;
  }
  return listener;
}

void WriteDiagnostic(std::string_view line) noexcept {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  std::fflush(stderr);
}

namespace {

// The listeners a server waits on at once: loopback and the one address it was told.
constexpr std::size_t kMostWaitedSockets = 4;

WaitResult WaitFor(std::span<const Socket> sockets, short events, int timeoutMilliseconds,
                   std::size_t& readyIndex) noexcept {
  // poll, not select: socket numbers above FD_SETSIZE must work inside a busy host.
  using Clock = std::chrono::steady_clock;
  if (sockets.empty() || sockets.size() > kMostWaitedSockets) return WaitResult::Failed;
  const bool forever = timeoutMilliseconds < 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMilliseconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    std::array<pollfd, kMostWaitedSockets> entries{};
    for (std::size_t i = 0; i < sockets.size(); ++i)
      entries[i] = pollfd{sockets[i], events, 0};
    // A shutdown of the socket from another thread ends a wait without end (POLLHUP).
    const int ready = ::poll(entries.data(), static_cast<nfds_t>(sockets.size()),
                             forever    ? -1
                             : left > 0 ? static_cast<int>(left)
                                        : 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return WaitResult::Failed;
    if (ready == 0) return WaitResult::TimedOut;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
      if (entries[i].revents == 0) continue;
      readyIndex = i;
      // A hang-up or error is "ready": the next receive or send reports it.
      return (entries[i].revents & POLLNVAL) ? WaitResult::Failed : WaitResult::Ready;
    }
    return WaitResult::Failed;
  }
}

WaitResult WaitFor(Socket socket, short events, int timeoutMilliseconds) noexcept {
  std::size_t ignored = 0;
  return WaitFor(std::span<const Socket>(&socket, 1), events, timeoutMilliseconds, ignored);
}

} // namespace

WaitResult WaitReadable(Socket socket, int timeoutMilliseconds) noexcept {
  return WaitFor(socket, POLLIN, timeoutMilliseconds);
}

WaitResult WaitReadableAny(std::span<const Socket> sockets, int timeoutMilliseconds,
                           std::size_t& ready) noexcept {
  return WaitFor(sockets, POLLIN, timeoutMilliseconds, ready);
}

WaitResult WaitWritable(Socket socket, int timeoutMilliseconds) noexcept {
  return WaitFor(socket, POLLOUT, timeoutMilliseconds);
}

Socket Accept(Socket listener, std::optional<Ipv4Address>* peer) noexcept {
  for (;;) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int accepted =
        ::accept4(listener, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    if (accepted < 0 && errno == EINTR) continue;
    if (accepted < 0) return kNoSocket;
    if (peer) *peer = Ipv4Of(address);
    // An accepted socket inherits the listener's receive time-out (see AcceptWithin);
    // a connection's reads wait as long as its reader decides.
    const timeval none{};
    ::setsockopt(accepted, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
    return accepted;
  }
}

Socket AcceptWithin(Socket listener, int timeoutMilliseconds,
                    std::optional<Ipv4Address>* peer) noexcept {
  // A blocking accept rather than a poll, since a poll wakes every thread waiting on the
  // listener for each connection. The time-out is the listener's own, hence one for all;
  // a thread sets it again only for another listener (or time-out) than the one it set it
  // on last, which saves a system call on every connection of a reused thread.
  thread_local Socket timedListener = kNoSocket;
  thread_local int timedMilliseconds = -1;
  if (listener != timedListener || timeoutMilliseconds != timedMilliseconds) {
    const timeval limit{timeoutMilliseconds / 1000, (timeoutMilliseconds % 1000) * 1000};
    if (::setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0) {
      timedListener = listener;
      timedMilliseconds = timeoutMilliseconds;
    }
  }
  return Accept(listener, peer);
}

std::optional<Ipv4Address> PeerAddress(Socket socket) noexcept {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return std::nullopt;
  return Ipv4Of(address);
}

Socket ConnectTo(Ipv4Address host, std::uint16_t port,
                 const std::function<void(Socket)>& beforeConnect) noexcept {
  const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (client < 0) return kNoSocket;
  if (beforeConnect) beforeConnect(client);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(host);
  int connected = -1;
  do {
    connected = ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (connected != 0 && errno == EINTR);
  if (connected != 0) {
    ::close(client);
    return kNoSocket;
  }
  SetNoDelay(client);
  return client;
}

std::ptrdiff_t Receive(Socket socket, void* buffer, std::size_t size, bool waitAll) noexcept {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t total = 0;
  // A signal can cut a MSG_WAITALL receive short; the loop finishes what it started.
  while (total < size) {
    const ssize_t got = ::recv(socket, bytes + total, size - total, waitAll ? MSG_WAITALL : 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return total > 0 ? static_cast<std::ptrdiff_t>(total) : -1;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
    if (!waitAll) break;
  }
  return static_cast<std::ptrdiff_t>(total);
}

std::ptrdiff_t ReceiveWithoutWaiting(Socket socket, void* buffer, std::size_t size) noexcept {
  for (;;) {
    const ssize_t got = ::recv(socket, buffer, size, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

std::ptrdiff_t SendSome(Socket socket, const void* data, std::size_t size) noexcept {
  for (;;) {
    // MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE in the host process.
    const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    return sent;
  }
}

std::ptrdiff_t SendWithoutWaiting(Socket socket, const void* data, std::size_t size) noexcept {
  for (;;) {
    const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return sent;
  }
}

void SetNoDelay(Socket socket) noexcept {
  const int one = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void ShutdownBoth(Socket socket) noexcept { ::shutdown(socket, SHUT_RDWR); }

void ShutdownSend(Socket socket) noexcept { ::shutdown(socket, SHUT_WR); }

void CloseSocket(Socket socket) noexcept { ::close(socket); }

std::array<std::uint8_t, 20> Sha1(std::string_view data) noexcept {
  std::array<std::uint8_t, 20> digest{};
  // The direct routine rather than the EVP interface: EVP first starts OpenSSL's provider
  // machinery, which reads openssl.cnf inside the host and pages in about 2 MiB of the
  // library on the first handshake, and looks the algorithm up again on every call.
  SHA_CTX context;
  SHA1_Init(&context);
  SHA1_Update(&context, data.data(), data.size());
  SHA1_Final(digest.data(), &context);
  return digest;
}

std::optional<std::array<std::uint8_t, 32>> Sha256(std::string_view data) noexcept {
  // The direct routine, as in Sha1, to keep the provider machinery out of the host.
  std::array<std::uint8_t, 32> digest{};
  SHA256_CTX context;
  if (SHA256_Init(&context) != 1 || SHA256_Update(&context, data.data(), data.size()) != 1 ||
      SHA256_Final(digest.data(), &context) != 1)
    return std::nullopt;
  return digest;
}

bool RandomBytes(std::span<std::uint8_t> bytes) noexcept {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return false;
  return RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) == 1;
}

std::optional<std::uint32_t> IdleMilliseconds() noexcept {
  // A plug-in inside a POSIX host has no portable view of the user's input devices.
  return std::nullopt;
}

std::string SettingsFolder() {
  if (std::string appData = EnvironmentValue("APPDATA"); !appData.empty()) return appData;
  if (std::string xdg = EnvironmentValue("XDG_CONFIG_HOME"); !xdg.empty()) return xdg;
  if (std::string home = EnvironmentValue("HOME"); !home.empty()) return home + "/.config";
  return {};
}

char PathSeparator() noexcept { return '/'; }

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

std::string Reason(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

// Whether `path`, which cannot be found, or one of its folders is a symbolic link that leads
// nowhere. Only then the name exists and is not the user's to have removed.
bool LeadsNowhere(const std::string& path) {
  std::filesystem::path at(path);
  for (;;) {
    struct stat info {};
    if (::lstat(at.c_str(), &info) == 0)
      return S_ISLNK(info.st_mode) && ::stat(at.c_str(), &info) != 0;
    if (errno != ENOENT && errno != ENOTDIR) return true;
    if (!at.has_relative_path()) return false;
    at = at.parent_path();
  }
}

FileRead OpenFailure(const std::string& path, int error) {
  if ((error == ENOENT || error == ENOTDIR) && !LeadsNowhere(path)) return FileRead{};
  if (error == ENOENT || error == ENOTDIR) return Unreadable("is a link that leads nowhere");
  return Unreadable(Reason("cannot be opened", error));
}

bool IsRegularFile(const struct stat& info) noexcept { return S_ISREG(info.st_mode); }

// Reads an opened regular file to its end, or one byte past `maxBytes`.
FileRead ReadOpenedFile(int file, std::size_t maxBytes) {
  FileRead result;
  result.status = FileRead::Status::Read;
  char chunk[16384];
  for (;;) {
    const ssize_t got = ::read(file, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Unreadable(Reason("cannot be read", errno));
    if (got == 0) return result;
    result.bytes.append(chunk, static_cast<std::size_t>(got));
    if (result.bytes.size() > maxBytes) return TooLarge(maxBytes);
  }
}

} // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes) noexcept {
  try {
    // Looked at before it is opened: opening a device may do something of its own, and
    // opening a pipe without O_NONBLOCK waits for a writer.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return OpenFailure(path, errno);
    if (!IsRegularFile(info)) return Unreadable("is not a regular file");
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) return OpenFailure(path, errno);
    FileRead result;
    // The name may have been given to something else in between.
    if (::fstat(file, &info) != 0 || !IsRegularFile(info))
      result = Unreadable("is not a regular file");
    else if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
      result = TooLarge(maxBytes);
    else
      result = ReadOpenedFile(file, maxBytes);
    ::close(file);
    return result;
  } catch (...) {
    return Unreadable("cannot be read: out of memory");
  }
}

namespace {

#if defined(__linux__)
// File systems that report every change to a watch at once, as the change is made: those of a
// local disk and of memory. A network file system reports only what this machine changes.
bool ReportsEveryChange(const std::string& folder) {
  struct statfs info {};
  if (::statfs(folder.c_str(), &info) != 0) return false;
  constexpr unsigned long kLocal[] = {
      0xEF53,     // ext2, ext3, ext4
      0x58465342, // XFS
      0x9123683E, // Btrfs
      0xF2F52010, // F2FS
      0x2FC12FC1, // ZFS
      0x01021994, // tmpfs
      0x858458F6, // ramfs
      0x794C7630, // overlayfs
  };
  const auto type = static_cast<unsigned long>(info.f_type);
  return std::find(std::begin(kLocal), std::end(kLocal), type) != std::end(kLocal);
}
#endif

} // namespace

FileChangeWatch::~FileChangeWatch() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

FileChangeWatch::FileChangeWatch(FileChangeWatch&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      changed_(std::exchange(other.changed_, true)) {}

FileChangeWatch& FileChangeWatch::operator=(FileChangeWatch&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    changed_ = std::exchange(other.changed_, true);
  }
  return *this;
}

bool FileChangeWatch::Arm(const std::string& path) noexcept {
  *this = FileChangeWatch();
#if defined(__linux__)
  try {
    const std::filesystem::path file(path);
    const std::string folder = file.parent_path().string();
    const std::string outer = file.parent_path().parent_path().string();
    if (folder.empty() || outer.empty() || folder == outer) return false;
    descriptor_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0) return false;
    // The outer folder sees the folder itself made, removed, renamed or turned into a link
    // elsewhere; the folder sees the file written, made, removed or renamed.
    constexpr std::uint32_t kEntries = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE |
                                       IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                       IN_MOVE_SELF | IN_UNMOUNT;
    if (::inotify_add_watch(descriptor_, outer.c_str(), kEntries | IN_ONLYDIR) < 0 ||
        !ReportsEveryChange(outer))
      return false;
    // A folder not made yet is watched through the outer one, which sees it made.
    if (::inotify_add_watch(descriptor_, folder.c_str(), kEntries | IN_ONLYDIR) < 0) {
      if (errno != ENOENT) return false;
    } else if (!ReportsEveryChange(folder)) {
      return false;
    }
    // Looked at once watched, so that a link made in the name's place later is seen. A file
    // written through a second name in another folder, or a link's target, would change unseen.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && (S_ISLNK(info.st_mode) || info.st_nlink > 1))
      return false;
    changed_ = false;
    return true;
  } catch (...) {
    return false;
  }
#else
  (void)path;
  return false;
#endif
}

bool FileChangeWatch::MayHaveChanged() noexcept {
#if defined(__linux__)
  if (changed_ || descriptor_ < 0) return true;
  // Any event at all, or one too long for the buffer, counts; only an empty queue does not.
  alignas(inotify_event) char events[sizeof(inotify_event) + NAME_MAX + 1];
  const ssize_t got = ::read(descriptor_, events, sizeof events);
  if (got != 0 && !(got < 0 && (errno == EAGAIN || errno == EINTR))) changed_ = true;
#endif
  return changed_;
}

namespace {

struct ModuleThreadStart {
  void (*body)(void*) noexcept;
  void* context;
  void* module; // dlopen's handle on this code's own module; null inside a program
};

// A thread-specific value whose destructor gives a module thread's reference back. The C
// library runs that destructor once the thread's function has returned, so the module may
// be unmapped by it without any of the module's instructions left to run. The destructor is
// dlclose itself, called through the destructor's type: its int result is dropped, as every
// ABI this code is built for allows. The key goes with the module; a thread that cannot
// hand its reference over keeps it for good, which leaves the module loaded but never takes
// code from under a thread.
class ModuleReleaseKey {
public:
  ModuleReleaseKey() noexcept
      : made_(::pthread_key_create(&key_, reinterpret_cast<void (*)(void*)>(
                                              reinterpret_cast<void (*)()>(&::dlclose))) == 0) {}
  ~ModuleReleaseKey() {
    if (made_) ::pthread_key_delete(key_);
  }
  ModuleReleaseKey(const ModuleReleaseKey&) = delete;
  ModuleReleaseKey& operator=(const ModuleReleaseKey&) = delete;

  // Makes the calling thread's end release `module`.
  void ReleaseAtThreadEnd(void* module) noexcept {
    if (made_) ::pthread_setspecific(key_, module);
  }

private:
  pthread_key_t key_{};
  bool made_;
};

ModuleReleaseKey& ReleaseKey() noexcept {
  static ModuleReleaseKey key;
  return key;
}

void* RunModuleThread(void* raw) {
  const ModuleThreadStart start = *static_cast<ModuleThreadStart*>(raw);
  delete static_cast<ModuleThreadStart*>(raw);
  if (start.module != nullptr) ReleaseKey().ReleaseAtThreadEnd(start.module);
  start.body(start.context);
  return nullptr;
}

// Another reference to the module holding this code, or null when the code is part of the
// program itself (which is never unloaded).
void* ReferToOwnModule() noexcept {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&RunModuleThread), &info) == 0 || info.dli_fname == nullptr)
    return nullptr;
  void* const program = ::dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
  void* const module = ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (program != nullptr) ::dlclose(program);
  if (module == program && module != nullptr) {
    ::dlclose(module);
    return nullptr;
  }
  return module;
}

} // namespace

bool StartModuleThread(void (*body)(void*) noexcept, void* context) noexcept {
  void* const module = ReferToOwnModule();
  auto* start = new (std::nothrow) ModuleThreadStart{body, context, module};
  pthread_attr_t attributes;
  bool started = false;
  if (start != nullptr && ::pthread_attr_init(&attributes) == 0) {
    pthread_t thread;
    started = ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
              ::pthread_create(&thread, &attributes, &RunModuleThread, start) == 0;
    ::pthread_attr_destroy(&attributes);
  }
  if (!started) {
    delete start;
    if (module != nullptr) ::dlclose(module);
  }
  return started;
}

void ReturnFreeMemory() noexcept {
#if defined(__GLIBC__) && !defined(ZYL_SANITIZER_HEAP)
  // Every arena, its free pages in the middle included, not only the top of the main heap.
  ::malloc_trim(0);
  // malloc_trim leaves the top of every heap but the main one alone, where most of what a
  // thread freed ends; only a free of a large enough block trims it, that of the block's own
  // heap, which is the calling thread's. Below the mapping size, the block comes from that heap.
  constexpr std::size_t kTopTrimmingBlockBytes = 64 * 1024;
  void* volatile block = ::malloc(kTopTrimmingBlockBytes);
  ::free(block);
#endif
}

void KeepHeapTopsSmall() noexcept {
#if defined(__GLIBC__) && !defined(ZYL_SANITIZER_HEAP)
  // glibc's own starting bar, fixed: once set, a free no longer raises it (malloc_trim
  // trims only the main heap's top, the other threads' heaps trim theirs on a free alone).
  constexpr int kTrimThresholdBytes = 128 * 1024;
  ::mallopt(M_TRIM_THRESHOLD, kTrimThresholdBytes);
#endif
}

} // namespace ZYL::platform
