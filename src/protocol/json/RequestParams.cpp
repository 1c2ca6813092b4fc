#include "protocol/json/RequestParams.h"

namespace ZYL {

namespace {

std::string Named(std::string_view name) {
  return nlohmann::json(std::string(name))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

void RequestParams::RejectUnknown(std::span<const std::string_view> known) {
  if (error_) return;
  for (const auto& [name, value] : params_.items()) {
    bool listed = false;
    for (const std::string_view candidate : known)
      listed = listed || candidate == name;
    if (!listed) return Fault(name, "unknown param " + Named(name));
  }
}

std::optional<std::int64_t> RequestParams::Int64(std::string_view name, Presence presence,
                                                 std::int64_t minimum, std::int64_t maximum) {
  const nlohmann::json* value = Find(name, presence);
  if (value == nullptr) return std::nullopt;
  // nlohmann keeps a number written with a fraction or an exponent as floating point, and a
  // non-negative integer as unsigned.
  if (!value->is_number_integer()) {
    Fault(name, Named(name) + " must be an integer");
    return std::nullopt;
  }
  const bool aboveAll =
      value->is_number_unsigned() && value->get<std::uint64_t>() > std::uint64_t{INT64_MAX};
  const std::int64_t number = aboveAll ? INT64_MAX : value->get<std::int64_t>();
  if (aboveAll || number < minimum || number > maximum) {
    Fault(name, Named(name) + " must be between " + std::to_string(minimum) + " and " +
                    std::to_string(maximum));
    return std::nullopt;
  }
  return number;
}

std::optional<std::int32_t> RequestParams::Int32(std::string_view name, Presence presence,
                                                 std::int32_t minimum, std::int32_t maximum) {
  const std::optional<std::int64_t> number = Int64(name, presence, minimum, maximum);
  if (!number) return std::nullopt;
  return static_cast<std::int32_t>(*number);
}

std::optional<std::string> RequestParams::String(std::string_view name, Presence presence) {
  const nlohmann::json* value = Find(name, presence);
  if (value == nullptr) return std::nullopt;
  if (!value->is_string()) {
    Fault(name, Named(name) + " must be a string");
    return std::nullopt;
  }
  return value->get<std::string>();
}

std::optional<bool> RequestParams::Bool(std::string_view name, Presence presence) {
  const nlohmann::json* value = Find(name, presence);
  if (value == nullptr) return std::nullopt;
  if (!value->is_boolean()) {
    Fault(name, Named(name) + " must be true or false");
    return std::nullopt;
  }
  return value->get<bool>();
}

const nlohmann::json* RequestParams::Find(std::string_view name, Presence presence) {
  if (error_) return nullptr;
  const auto found = params_.find(name);
  if (found != params_.end()) return &*found;
  if (presence == Presence::Required) Fault(name, "missing param " + Named(name));
  return nullptr;
}

void RequestParams::Fault(std::string_view name, std::string message) {
  error_ =
      ResponseError{ErrorCode::InvalidParams, std::move(message), std::string(name), std::nullopt};
}

} // namespace ZYL
