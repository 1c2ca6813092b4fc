// The plain request read without a document: wherever it answers, it must answer as the full
// reader does, and the common request must take that way.
#include "protocol/json/PlainRequest.h"

#include <gtest/gtest.h>
#include <string>
#include <variant>

namespace ZYL {
namespace {

// The full reader's answer for `text`: a leading member that no plain request has (and that
// a request passes by) sends the text past the plain reading.
ReadResult FullRead(const std::string& text) {
  const std::size_t brace = text.find('{');
  return ReadMessage(text.substr(0, brace + 1) + "\"zz\":[true]," + text.substr(brace + 1));
}

TEST(PlainRequest, AnswersAsTheFullReaderWhereverItAnswers) {
  const std::string texts[] = {
      R"({"op":"request","id":1,"method":"version"})",
      R"( { "op" : "request" ,	"id" : -42 , "method" : "version" , "params" : { } }
)",
      R"({"id":"abc","method":"playhead.get","op":"request","params":{}})",
      R"({"op":"request","id":9007199254740991,"method":"m"})",
      R"({"op":"request","id":-9007199254740991,"method":"m"})",
      R"({"op":"request","id":"x","id":7,"method":"a","method":"b","extra":"y","n":3})",
      R"({"op":"batch","op":"request","id":0,"method":"version","other":{}})",
      // Each below leaves the plain form somewhere, or would be refused.
      R"({"op":"request","id":9007199254740992,"method":"m"})",
      R"({"op":"request","id":-0,"method":"m"})",
      R"({"op":"request","id":01,"method":"m"})",
      R"({"op":"request","id":1.0,"method":"m"})",
      R"({"op":"request","id":1e3,"method":"m"})",
      R"({"op":"request","id":1,"method":"m","params":{"a":1}})",
      R"({"op":"request","id":1,"method":"m","params":"x"})",
      R"({"op":"request","id":1,"method":"m","params":7})",
      R"({"op":"request","id":1,"method":7})",
      R"({"op":"request","id":1,"method":{}})",
      R"({"op":"request","id":{},"method":"m"})",
      R"({"op":"request","method":"m"})",
      R"({"op":"request","id":1})",
      R"({"op":"request","id":"\u0041","method":"m"})",
      R"({"op":"request","id":1,"method":"v\u00e9"})",
      "{\"op\":\"request\",\"id\":\"\xc3\xa9\",\"method\":\"m\"}",
      R"({"op":"request","id":1,"method":"m",})",
      R"({"op":"request","id":1,"method":"m"} x)",
      R"({"op":"request","id":1,"method":"m")",
      R"({"op":"request","id":1,"method":"m","flag":true})",
      R"({"op":"identify","id":1,"method":"m"})",
      "{\"op\":\"request\",\"id\":\"" + std::string(kMaxRequestIdBytes, 'i') +
          "\",\"method\":\"m\"}",
      "{\"op\":\"request\",\"id\":\"" + std::string(kMaxRequestIdBytes + 1, 'i') +
          "\",\"method\":\"m\"}",
  };
  int answered = 0;
  for (const std::string& text : texts) {
    const std::optional<Request> plain = ReadPlainRequest(text);
    if (!plain) continue;
    ++answered;
    const ReadResult full = FullRead(text);
    ASSERT_TRUE(std::holds_alternative<Request>(full)) << text;
    const Request& expected = std::get<Request>(full);
    EXPECT_EQ(plain->id, expected.id) << text;
    EXPECT_EQ(plain->method, expected.method) << text;
    EXPECT_EQ(plain->params, expected.params) << text;
  }
  // The seven plain requests at the head of the list and the longest id allowed.
  EXPECT_EQ(answered, 8);
}

TEST(PlainRequest, TheCommonRequestIsReadWithoutADocument) {
  const std::optional<Request> request =
      ReadPlainRequest(R"({"op":"request","id":3,"method":"version"})");
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(request->id, RequestId{std::int64_t{3}});
  EXPECT_EQ(request->method, "version");
  EXPECT_EQ(request->params, nlohmann::json::object());
}

} // namespace
} // namespace ZYL
