#include "server/ServerErrorReply.h"

namespace ZYL {

std::string ServerErrorReply(std::string_view body) {
  std::string reply = "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n"
                      "Content-Type: text/plain; charset=utf-8\r\nContent-Length: ";
  reply += std::to_string(body.size());
  reply += "\r\n\r\n";
  reply += body;
  return reply;
}

} // namespace ZYL
