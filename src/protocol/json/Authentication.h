// Password authentication of a JSON-protocol client: the server's challenge, the answer it
// expects, and the proof that it knows the password too. The password never crosses the
// connection; both sides derive the same digests from it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ZYL {

// A fresh challenge and salt for one connection, each the base64 text of 32 random bytes.
struct AuthenticationChallenge {
  std::string challenge;
  std::string salt;
};

// Nothing when the system's random source fails: the connection must then be refused, as a
// predictable challenge would let a recorded answer be replayed.
std::optional<AuthenticationChallenge> NewAuthenticationChallenge() noexcept;

// With K = base64(SHA-256(password + salt)): the client's expected answer
// base64(SHA-256(K + challenge)) and the server's proof base64(SHA-256(K + answer +
// challenge)). Salt and challenge take part in their base64 text form.
struct AuthenticationDigests {
  std::string answer;
  std::string serverProof;
};

// Nothing when the digest cannot be computed: the client must then be refused.
std::optional<AuthenticationDigests>
DeriveAuthenticationDigests(std::string_view password,
                            const AuthenticationChallenge& challenge) noexcept;

// Whether `given` is the expected answer, in time independent of where they differ and of
// the given text's length.
bool AnswerMatches(std::string_view given, std::string_view expected) noexcept;

} // namespace ZYL
