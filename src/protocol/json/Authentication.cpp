#include "protocol/json/Authentication.h"

#include "platform/Platform.h"
#include "server/Base64.h"

#include <array>
#include <cstdint>

namespace ZYL {

namespace {

constexpr std::size_t kRandomBytes = 32;

std::optional<std::string> Base64Sha256(std::string_view text) {
  const std::optional<std::array<std::uint8_t, 32>> digest = platform::Sha256(text);
  if (!digest) return std::nullopt;
  return Base64Encode(*digest);
}

std::optional<std::string> RandomBase64() {
  std::array<std::uint8_t, kRandomBytes> bytes{};
  if (!platform::RandomBytes(bytes)) return std::nullopt;
  return Base64Encode(bytes);
}

} // namespace

std::optional<AuthenticationChallenge> NewAuthenticationChallenge() noexcept {
  try {
    std::optional<std::string> challenge = RandomBase64();
    std::optional<std::string> salt = RandomBase64();
    if (!challenge || !salt) return std::nullopt;
    return AuthenticationChallenge{std::move(*challenge), std::move(*salt)};
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<AuthenticationDigests>
DeriveAuthenticationDigests(std::string_view password,
                            const AuthenticationChallenge& challenge) noexcept {
  try {
    const std::optional<std::string> key = Base64Sha256(std::string(password) + challenge.salt);
    if (!key) return std::nullopt;
    std::optional<std::string> answer = Base64Sha256(*key + challenge.challenge);
    if (!answer) return std::nullopt;
    std::optional<std::string> proof = Base64Sha256(*key + *answer + challenge.challenge);
    if (!proof) return std::nullopt;
    return AuthenticationDigests{std::move(*answer), std::move(*proof)};
  } catch (...) {
    return std::nullopt;
  }
}

bool AnswerMatches(std::string_view given, std::string_view expected) noexcept {
  // Comparing digests of both texts gives two inputs of one fixed length, so neither the
  // length of the client's text nor the place of the first difference shows in the time.
  const std::optional<std::array<std::uint8_t, 32>> givenDigest = platform::Sha256(given);
  const std::optional<std::array<std::uint8_t, 32>> expectedDigest = platform::Sha256(expected);
  if (!givenDigest || !expectedDigest) return false;
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < givenDigest->size(); ++i)
    difference |= static_cast<std::uint8_t>((*givenDigest)[i] ^ (*expectedDigest)[i]);
  // volatile: keeps the compiler from turning the loop into an early-exit comparison.
  const volatile std::uint8_t result = difference;
  return result == 0;
}

} // namespace ZYL
