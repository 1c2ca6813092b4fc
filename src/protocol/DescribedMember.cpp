#include "protocol/DescribedMember.h"

namespace ZYL {

nlohmann::json DescribeMember(const Member& member) {
  nlohmann::json described = {{"name", member.name},
                              {"type", member.type},
                              {"nullable", member.nullable},
                              {"summary", member.summary}};
  if (member.type == "array") {
    nlohmann::json items = {{"type", member.items}};
    if (!member.members.empty()) items["members"] = DescribeMembers(member.members);
    described["items"] = items;
  } else if (!member.members.empty()) {
    described["members"] = DescribeMembers(member.members);
  }
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
