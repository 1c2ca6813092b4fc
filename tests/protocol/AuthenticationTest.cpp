// Password authentication from bytes to digests, against values computed independently of
// the engine, and the base64 the digests travel in.
#include "protocol/json/Authentication.h"

#include "server/Base64.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ZYL {
namespace {

std::string Base64Of(std::string_view text) {
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  return Base64Encode(bytes);
}

TEST(Base64, EncodesTheStandardVectorsWithPadding) {
  // RFC 4648, section 10.
  EXPECT_EQ(Base64Of(""), "");
  EXPECT_EQ(Base64Of("f"), "Zg==");
  EXPECT_EQ(Base64Of("fo"), "Zm8=");
  EXPECT_EQ(Base64Of("foo"), "Zm9v");
  EXPECT_EQ(Base64Of("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Of("fooba"), "Zm9vYmE=");
  EXPECT_EQ(Base64Of("foobar"), "Zm9vYmFy");
  // The last two letters of the standard alphabet, not the URL-safe ones.
  EXPECT_EQ(Base64Of("\xFB\xFF"), "+/8=");
}

// The challenge and salt are the base64 of bytes 32..63 and 0..31. The expected digests
// were computed once with Python's hashlib and base64, independently of the engine:
//   K = b64(sha256(password + S)); A = b64(sha256(K + C)); P = b64(sha256(K + A + C))
const AuthenticationChallenge kChallenge{"ICEiIyQlJicoKSorLC0uLzAxMjM0NTY3ODk6Ozw9Pj8=",
                                         "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8="};

TEST(Authentication, DigestsMatchAnIndependentComputation) {
  const std::optional<AuthenticationDigests> digests =
      DeriveAuthenticationDigests("a long secret", kChallenge);
  ASSERT_TRUE(digests);
  EXPECT_EQ(digests->answer, "GXJ1OL7RyIF9F/l2mpBDgwnz5BFcRz461Th02neHHko=");
  EXPECT_EQ(digests->serverProof, "3u2365ybIUsdnQMMSHpt15GECIwyBr6gq/rMK4BJR8E=");
}

TEST(Authentication, PasswordIsTakenAsItsUtf8BytesWithoutNormalisation) {
  // "pässwörd" with precomposed letters; the same word with combining marks differs.
  const auto exact = DeriveAuthenticationDigests("p\xC3\xA4ssw\xC3\xB6rd", kChallenge);
  const auto combining = DeriveAuthenticationDigests("pa\xCC\x88ssw\xC3\xB6rd", kChallenge);
  ASSERT_TRUE(exact && combining);
  EXPECT_EQ(exact->answer, "6EDZa7Q2bqFqMKESZIFZ8zGaYDpYpu7nUpOyNJtI/2g=");
  EXPECT_NE(combining->answer, exact->answer);
}

TEST(Authentication, OnlyTheExactAnswerMatches) {
  const std::string expected = "GXJ1OL7RyIF9F/l2mpBDgwnz5BFcRz461Th02neHHko=";
  EXPECT_TRUE(AnswerMatches(expected, expected));
  for (const std::string& wrong :
       {std::string(), expected.substr(0, 43), expected + "=", "H" + expected.substr(1),
        expected.substr(0, 42) + "k=", std::string(expected.size(), 'A')})
    EXPECT_FALSE(AnswerMatches(wrong, expected)) << wrong;
}

TEST(Authentication, EachChallengeIsFreshBase64OfThirtyTwoBytes) {
  const std::optional<AuthenticationChallenge> first = NewAuthenticationChallenge();
  const std::optional<AuthenticationChallenge> second = NewAuthenticationChallenge();
  ASSERT_TRUE(first && second);
  for (const std::string& text : {first->challenge, first->salt, second->challenge}) {
    EXPECT_EQ(text.size(), 44U) << text;
    EXPECT_EQ(text.back(), '=') << text;
  }
  EXPECT_NE(first->challenge, first->salt);
  EXPECT_NE(first->challenge, second->challenge);
  EXPECT_NE(first->salt, second->salt);
}

} // namespace
} // namespace ZYL
