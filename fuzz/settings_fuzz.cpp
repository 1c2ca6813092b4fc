// The settings reader against any file a user (or a program writing to the user's settings)
// may leave. A file is either refused with a one-line problem that fits a 500 reply, or
// read into settings that mean the same when written back out.
#include "FuzzCheck.h"
#include "server/ServerErrorReply.h"
#include "server/Settings.h"

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zylfuzz::Require;
  const std::string_view text = zylfuzz::AsText(data, size);
  const ZYL::SettingsResult result = ZYL::ParseSettings(text);
  if (const auto* error = std::get_if<ZYL::SettingsError>(&result)) {
    Require(!error->problem.empty(), "a refusal names its problem");
    Require(error->problem.find_first_of("\r\n") == std::string::npos, "the problem is one line");
    const std::string reply = ZYL::ServerErrorReply(error->problem);
    Require(reply.ends_with("\r\n\r\n" + error->problem), "the body ends the reply");
    return 0;
  }
  const auto& settings = std::get<ZYL::Settings>(result);
  Require(settings.AdmitsTextProtocol() ==
              settings.textProtocol.value_or(settings.password.empty()),
          "the text protocol default follows the password");
  nlohmann::json written = {{"password", settings.password}};
  if (settings.textProtocol) written["textProtocol"] = *settings.textProtocol;
  const ZYL::SettingsResult again = ZYL::ParseSettings(written.dump());
  Require(std::holds_alternative<ZYL::Settings>(again), "settings written back are accepted");
  const auto& reread = std::get<ZYL::Settings>(again);
  Require(reread.password == settings.password && reread.textProtocol == settings.textProtocol,
          "settings written back read the same");
  return 0;
}
