// Temporary: lets the tree link until the POSIX platform lands. Delete when replaced.
#include "platform/Platform.h"

namespace ZYL::platform {
bool StartNetworking() noexcept { return true; }
Socket OpenLoopbackListener(std::uint16_t, int) noexcept { return kNoSocket; }
WaitResult WaitReadable(Socket, int) noexcept { return WaitResult::Failed; }
Socket Accept(Socket) noexcept { return kNoSocket; }
std::ptrdiff_t Receive(Socket, void*, std::size_t, bool) noexcept { return -1; }
std::ptrdiff_t SendSome(Socket, const void*, std::size_t) noexcept { return -1; }
void SetSendTimeout(Socket, int) noexcept {}
void ShutdownBoth(Socket) noexcept {}
void CloseSocket(Socket) noexcept {}
std::array<std::uint8_t, 20> Sha1(std::string_view) noexcept { return {}; }
std::optional<std::uint32_t> IdleMilliseconds() noexcept { return std::nullopt; }
std::string SettingsFolder() { return {}; }
char PathSeparator() noexcept { return '/'; }
} // namespace ZYL::platform
