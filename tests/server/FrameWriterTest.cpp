// The engine's outgoing frames, byte for byte, at each length boundary.
#include "server/FrameWriter.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace ZYL {
namespace {

std::string Header(const std::string& frame, std::size_t size) { return frame.substr(0, size); }

TEST(FrameWriter, UsesTheShortestLengthFormAtEachBoundary) {
  const std::string short125 = EncodeTextFrame(std::string(125, 'a'));
  EXPECT_EQ(Header(short125, 2), std::string("\x81\x7D"));
  EXPECT_EQ(short125.size(), 127u);

  const std::string medium126 = EncodeTextFrame(std::string(126, 'b'));
  EXPECT_EQ(Header(medium126, 4), std::string("\x81\x7E\x00\x7E", 4));
  EXPECT_EQ(medium126.size(), 130u);

  const std::string medium65535 = EncodeTextFrame(std::string(65535, 'c'));
  EXPECT_EQ(Header(medium65535, 4), std::string("\x81\x7E\xFF\xFF", 4));
  EXPECT_EQ(medium65535.size(), 65539u);

  EXPECT_EQ(EncodeTextFrame(""), std::string("\x81\x00", 2));
  EXPECT_EQ(EncodeTextFrame("version:1.2.4"), std::string("\x81\x0D") + "version:1.2.4");
}

// Regression: a 16-bit length field wraps for such texts and desynchronises the client.
TEST(FrameWriter, TextsOf65536BytesOrMoreUseThe64BitLengthForm) {
  for (const std::uint64_t size : {65536u, 70000u}) {
    const std::string frame = EncodeTextFrame(std::string(size, 'd'));
    ASSERT_EQ(frame.size(), size + 10);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[0]), 0x81);
    EXPECT_EQ(static_cast<std::uint8_t>(frame[1]), 0x7F);
    std::uint64_t length = 0;
    for (int i = 2; i < 10; ++i)
      length = (length << 8) | static_cast<std::uint8_t>(frame[i]);
    EXPECT_EQ(length, size);
    EXPECT_EQ(frame.substr(10), std::string(size, 'd'));
  }
}

} // namespace
} // namespace ZYL
