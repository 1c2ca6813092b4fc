#include "protocol/TextProtocolDescription.h"

#include "protocol/text/CommandTable.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

std::string_view ArgumentKind(ArgumentShape arguments) noexcept {
  switch (arguments) {
  case ArgumentShape::None:
    return "none";
  case ArgumentShape::Required:
    return "required";
  case ArgumentShape::Optional:
    return "optional";
  }
  return "none";
}

Json Words(std::span<const std::string_view> words) {
  Json list = Json::array();
  for (const std::string_view word : words)
    list.push_back(word);
  return list;
}

Json RecordNames(const std::vector<Member>& members) {
  Json names = Json::array();
  for (const Member& member : members)
    names.push_back(member.name);
  return names;
}

} // namespace

Json DescribeTextProtocol() {
  Json commands = Json::array();
  for (const Command& command : Commands())
    commands.push_back(
        {{"name", command.name},
         {"arguments", ArgumentKind(command.arguments)},
         {"summary", command.summary},
         {"usage", command.usage},
         {"listed", command.listed},
         {"unstable", command.unstable},
         {"family", command.family.empty() ? Json(nullptr) : Json(command.family)},
         {"replies", Words(command.replies)},
         {"errors", Words(command.errors)},
         {"notes", command.notes},
         {"record", command.record ? RecordNames(command.record()) : Json(nullptr)}});
  return {{"commands", commands}};
}

} // namespace ZYL
