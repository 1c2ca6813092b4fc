#include "protocol/DescribedMember.h"

#include <string>

namespace ZYL {

namespace {

// An array's items: their type when they are plain values, else a member of their own
// (named after the array, as "markers[]") with their members or the values they take.
nlohmann::json DescribeItems(const Member& array) {
  if (array.members.empty() && array.values.empty()) return array.items;
  const std::string name = std::string(array.name) + "[]";
  nlohmann::json items = {{"name", name},
                          {"type", array.items},
                          {"nullable", false},
                          {"summary", "one item of " + std::string(array.name)}};
  if (!array.members.empty()) items["members"] = DescribeMembers(array.members);
  if (!array.values.empty()) items["values"] = array.values;
  return items;
}

} // namespace

nlohmann::json DescribeMember(const Member& member) {
  nlohmann::json described = {{"name", member.name},
                              {"type", member.type},
                              {"nullable", member.nullable},
                              {"summary", member.summary}};
  if (member.derived) described["derived"] = true;
  // An array's members and values are its items'.
  if (member.type == "array") {
    described["items"] = DescribeItems(member);
    return described;
  }
  if (!member.members.empty()) described["members"] = DescribeMembers(member.members);
  if (!member.values.empty()) described["values"] = member.values;
  return described;
}

nlohmann::json DescribeMembers(const std::vector<Member>& members) {
  nlohmann::json described = nlohmann::json::array();
  for (const Member& member : members)
    described.push_back(DescribeMember(member));
  return described;
}

} // namespace ZYL
