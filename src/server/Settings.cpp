#include "server/Settings.h"

#include "server/Ipv4Text.h"
#include "server/JsonParse.h"
#include "server/OriginPolicy.h"
#include "server/UserFileReader.h"

namespace ZYL {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kAllowListFileName = "origins.txt";
constexpr std::string_view kSettingsFileName = "settings.json";
// The file is one flat object; the bound only keeps a hostile file from costing much.
constexpr std::size_t kMaxSettingsDepth = 32;
// Ports below this one are the system's own and need rights the editor does not have.
constexpr std::int64_t kLowestPort = 1024;
constexpr std::int64_t kHighestPort = 65535;

// A member name from the file as the user typed it, quoted and escaped for one line.
std::string Quoted(const std::string& name) {
  return Json(name).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string SyntaxProblem(std::string_view text, const JsonParseFailure& failure) {
  if (failure.kind != JsonParseFailure::Kind::Syntax) return failure.detail;
  const TextPosition at = PositionOf(text, failure.offset);
  return "syntax error at line " + std::to_string(at.line) + ", column " +
         std::to_string(at.column) + ": " + failure.detail;
}

SettingsResult FromDocument(const Json& document) {
  if (!document.is_object()) return SettingsError{"the file must hold one JSON object"};
  Settings settings;
  for (const auto& [name, value] : document.items()) {
    if (name == "password") {
      if (!value.is_string()) return SettingsError{"\"password\" must be a string"};
      settings.password = value.get<std::string>();
    } else if (name == "textProtocol") {
      if (!value.is_boolean()) return SettingsError{"\"textProtocol\" must be true or false"};
      settings.textProtocol = value.get<bool>();
    } else if (name == "listen") {
      settings.listen = value.is_string() ? ParseIpv4(value.get<std::string>()) : std::nullopt;
      if (!settings.listen)
        return SettingsError{"\"listen\" must be an IPv4 address such as \"0.0.0.0\" or "
                             "\"192.168.1.20\""};
    } else if (name == "port") {
      // A number above what a signed 64-bit integer holds reads as negative here.
      if (!value.is_number_integer() || value.get<std::int64_t>() < kLowestPort ||
          value.get<std::int64_t>() > kHighestPort)
        return SettingsError{"\"port\" must be a whole number from 1024 to 65535"};
      settings.port = static_cast<std::uint16_t>(value.get<std::int64_t>());
    } else {
      return SettingsError{"unknown member " + Quoted(name)};
    }
  }
  return settings;
}

SettingsError FileError(const std::string& path, const std::string& problem) {
  return SettingsError{"settings file \"" + path + "\": " + problem};
}

} // namespace

SettingsResult ParseSettings(std::string_view text) noexcept {
  try {
    JsonParseResult parsed = ParseJson(text, kMaxSettingsDepth);
    if (const auto* failure = std::get_if<JsonParseFailure>(&parsed))
      return SettingsError{SyntaxProblem(text, *failure)};
    return FromDocument(std::get<Json>(parsed));
  } catch (...) {
    return SettingsError{"out of memory"};
  }
}

std::string SettingsFilePath() {
  // The settings file sits in the allow-list file's folder: one place decides where that is.
  std::string path = AllowListFilePath();
  if (path.empty()) return {};
  path.replace(path.size() - kAllowListFileName.size(), kAllowListFileName.size(),
               kSettingsFileName);
  return path;
}

SettingsResult ReadSettingsFile(const std::string& path) noexcept {
  try {
    if (path.empty()) return Settings{};
    platform::FileRead file = ReadUserFile(path);
    // Only a file that is certainly absent means "no settings"; a file that is there but
    // cannot be read fails closed.
    switch (file.status) {
    case platform::FileRead::Status::Missing:
      return Settings{};
    case platform::FileRead::Status::Unreadable:
      return FileError(path, file.problem);
    case platform::FileRead::Status::Read:
      break;
    }
    SettingsResult result = ParseSettings(file.bytes);
    if (const auto* failure = std::get_if<SettingsError>(&result))
      return FileError(path, failure->problem);
    return result;
  } catch (...) {
    return SettingsError{"settings file: out of memory"};
  }
}

} // namespace ZYL
