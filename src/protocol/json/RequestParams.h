// Typed access to a request's params for the method handlers. The first fault is kept as
// the invalid_params error that names the param; later reads then give nothing.
#pragma once

#include "protocol/json/JsonProtocol.h"

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ZYL {

enum class Presence { Optional, Required };

class RequestParams {
public:
  // `params` is the request's params object (null: none) and must outlive the reader.
  explicit RequestParams(const nlohmann::json& params) noexcept : params_(params) {}

  // Faults the first param whose name is not among `known`.
  void RejectUnknown(std::initializer_list<std::string_view> known) {
    RejectUnknown(std::span<const std::string_view>(known.begin(), known.size()));
  }
  void RejectUnknown(std::span<const std::string_view> known);

  // A JSON integer (3.0 and 1e3 are not) within [minimum, maximum]; nothing when absent
  // or at fault.
  std::optional<std::int64_t> Int64(std::string_view name, Presence presence,
                                    std::int64_t minimum = INT64_MIN,
                                    std::int64_t maximum = INT64_MAX);
  std::optional<std::int32_t> Int32(std::string_view name, Presence presence,
                                    std::int32_t minimum = INT32_MIN,
                                    std::int32_t maximum = INT32_MAX);
  std::optional<std::string> String(std::string_view name, Presence presence);
  std::optional<bool> Bool(std::string_view name, Presence presence);
  // Whether the param is present as null.
  bool IsNull(std::string_view name) const {
    const auto found = params_.find(name);
    return found != params_.end() && found->is_null();
  }

  // The first fault, as the response's error.
  const std::optional<ResponseError>& Error() const noexcept { return error_; }

private:
  // The param's value when it is present and no fault came before; faults a missing
  // required param.
  const nlohmann::json* Find(std::string_view name, Presence presence);
  void Fault(std::string_view name, std::string message);

  const nlohmann::json& params_;
  std::optional<ResponseError> error_;
};

} // namespace ZYL
