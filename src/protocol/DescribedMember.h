// One member of a result, an event's data or an op, as the protocol description lists it.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

namespace ZYL {

struct Member {
  std::string_view name;
  std::string_view type; // one of the description's value types
  bool nullable = false;
  std::string_view summary;
  // An object's members; for an array, the members of its items when they are objects.
  std::vector<Member> members = {};
  std::string_view items = {}; // an array's item type
  // The closed set of strings it takes (for an array, its items take), if any.
  std::vector<std::string_view> values = {};
  // The engine works it out from what the host tells (the host gives no such value).
  bool derived = false;
};

// A member that is always there and never null.
inline Member Always(std::string_view name, std::string_view type, std::string_view summary,
                     std::vector<Member> members = {}) {
  return {name, type, false, summary, std::move(members)};
}

// A member that is always there and null when the host cannot give it.
inline Member OrNull(std::string_view name, std::string_view type, std::string_view summary,
                     std::vector<Member> members = {}) {
  return {name, type, true, summary, std::move(members)};
}

// A member the engine derives, null when it cannot.
inline Member Derived(std::string_view name, std::string_view type, std::string_view summary) {
  Member member = OrNull(name, type, summary);
  member.derived = true;
  return member;
}

// An array member whose items are of `items` (with `members` when they are objects).
inline Member ListOf(std::string_view name, std::string_view items, std::string_view summary,
                     std::vector<Member> members = {}) {
  return {name, "array", false, summary, std::move(members), items};
}

// {"name","type","nullable","summary"} and, as they apply, "members", "items", "values",
// "derived".
// An array's "items" is a type for plain values, or a member listing the items' members.
nlohmann::json DescribeMember(const Member& member);
nlohmann::json DescribeMembers(const std::vector<Member>& members);

} // namespace ZYL
