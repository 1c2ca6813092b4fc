// The suite lists a module builds with the Plugin Suites Suite, as the host reads them.
#pragma once

#include "HostState.h"
#include "hostsdk/Types.h"

#include <string>

namespace zylsim {

// The table the module registered in `list` under that name and version; null when none.
const void* FindRegisteredSuite(HostState& host, hostsdk::SuiteList list, const std::string& name,
                                std::int32_t version);

} // namespace zylsim
