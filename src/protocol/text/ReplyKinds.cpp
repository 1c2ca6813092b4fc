#include "protocol/text/ReplyKinds.h"

namespace ZYL {

std::string ReplyText(std::string_view kind, std::string_view payload) {
  std::string text;
  text.reserve(kind.size() + 1 + payload.size());
  return text.append(kind).append(":").append(payload);
}

std::string ErrorReplyText(std::string_view family, std::string_view token) {
  return ReplyText(std::string(family).append(".error"), token);
}

} // namespace ZYL
