// "Plugin Suites Suite": the module's own suite lists. A list is a handle number in the
// ledger, so a stale or foreign list is refused instead of being dereferenced.
#include "PluginSuites.h"

#include "HostSuites.h"
#include "SuiteCall.h"

namespace zylsim {

namespace {

std::uint64_t ListHandle(hostsdk::SuiteList list) { return reinterpret_cast<std::uintptr_t>(list); }

hostsdk::ErrorCode NewSuiteList(void*, void*, hostsdk::SuiteList* out) noexcept {
  return Answer(SuiteId::PluginSuites, 0, [&](HostState& host, const Project&) {
    if (out == nullptr) return hostsdk::kBadParameter;
    const std::uint64_t handle = host.ledger.suiteLists.Add(std::make_shared<SuiteListContent>());
    *out = reinterpret_cast<hostsdk::SuiteList>(static_cast<std::uintptr_t>(handle));
    return hostsdk::kSuccess;
  });
}

hostsdk::ErrorCode FreeSuiteList(hostsdk::SuiteList list) noexcept {
  return Answer(SuiteId::PluginSuites, 1, [&](HostState& host, const Project&) {
    return host.ledger.suiteLists.Release(ListHandle(list)) ? hostsdk::kSuccess
                                                            : hostsdk::kBadParameter;
  });
}

hostsdk::ErrorCode AddSuite(hostsdk::SuiteList list, void*, const char* name,
                            std::int32_t apiVersion, std::int32_t, const void* table,
                            void** outSuiteReference) noexcept {
  return Answer(SuiteId::PluginSuites, 2, [&](HostState& host, const Project&) {
    const auto content = host.ledger.suiteLists.Find(ListHandle(list));
    if (!content || name == nullptr || table == nullptr) return hostsdk::kBadParameter;
    std::lock_guard<std::mutex> lock((*content)->mutex);
    (*content)->suites.push_back({name, apiVersion, table});
    if (outSuiteReference != nullptr)
      *outSuiteReference = reinterpret_cast<void*>((*content)->suites.size());
    return hostsdk::kSuccess;
  });
}

} // namespace

const void* FindRegisteredSuite(HostState& host, hostsdk::SuiteList list, const std::string& name,
                                std::int32_t version) {
  const auto content = host.ledger.suiteLists.Find(ListHandle(list));
  return content ? (*content)->Find(name, version) : nullptr;
}

const hostsdk::PluginSuitesSuite2& PluginSuitesTable() {
  static const hostsdk::PluginSuitesSuite2 table = {NewSuiteList, FreeSuiteList, AddSuite};
  return table;
}

} // namespace zylsim
