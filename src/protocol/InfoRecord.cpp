#include "protocol/InfoRecord.h"

#include "protocol/RecordMembers.h"
#include "protocol/text/CommandTable.h"

#ifndef ZYL_MAKER_SITE
#error "ZYL_MAKER_SITE (the maker's web site, scheme and host) must be defined by the build"
#endif

namespace ZYL {

namespace {

// A JSON list of the names of the commands that pass `filter`, in the table's order.
template <typename Filter> std::string CommandNames(Filter filter) {
  std::string list = "[";
  for (const Command& command : Commands()) {
    if (!filter(command)) continue;
    if (list.size() > 1) list += ',';
    list.append("\"").append(command.name).append("\"");
  }
  return list + "]";
}

// Clients parse this record by member order as well as by name, so it stays byte for byte.
std::string BuildInfoRecord() {
  return RecordText(InfoMembers(),
                    {"\"ZYL Engine\"", "\"" ZYL_ENGINE_VERSION "\"", "1", "\"win\"",
                     CommandNames([](const Command& command) { return command.listed; }),
                     CommandNames([](const Command& command) { return command.unstable; }),
                     "[\"vitals\",\"event:transport\"]",
                     "\"" ZYL_MAKER_SITE "/zyl-engine/latest.json\"",
                     "\"" ZYL_MAKER_SITE "/zyl-engine\"", "\"" ZYL_MAKER_SITE "/zyl-engine/api\"",
                     "\"" ZYL_MAKER_SITE "/zyl-engine/license\"", "\"allowlist\"", "false"});
}

} // namespace

const std::string& InfoRecord() {
  static const std::string record = BuildInfoRecord();
  return record;
}

} // namespace ZYL
