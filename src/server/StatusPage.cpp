#include "server/StatusPage.h"

#include "server/DiagnosticLog.h"
#include "server/FileDiagnostics.h"
#include "server/Ipv4Text.h"
#include "server/OriginPolicy.h"

#include <array>

namespace ZYL {

namespace {

constexpr std::array<std::string_view, 2> kStatusRequestLines = {"GET / HTTP/1.1",
                                                                 "GET / HTTP/1.0"};
constexpr std::array<std::string_view, 3> kThisMachine = {"127.0.0.1", "localhost", "[::1]"};

// No script runs, nothing is fetched, and no other page may frame it.
constexpr std::string_view kReplyHeaders =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "Content-Security-Policy: default-src 'none'; style-src 'unsafe-inline'; "
    "frame-ancestors 'none'\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Cache-Control: no-store\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "Connection: close\r\n"
    "Content-Length: ";

constexpr std::string_view kStyle =
    "body{font:15px/1.45 system-ui,sans-serif;margin:2em auto;max-width:46em;padding:0 1em}"
    "th{text-align:left;padding-right:1em;vertical-align:top}td{vertical-align:top}"
    "pre{white-space:pre-wrap;background:#f3f3f3;padding:.6em}.fault{color:#a00}";

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&#39;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// One row; `id` lets a program (the command-line client) find the value.
void AddRow(std::string& html, std::string_view id, std::string_view name,
            std::string_view valueHtml) {
  html.append("<tr><th>").append(name).append("</th><td id=").append(id).append(">");
  html.append(valueHtml).append("</td></tr>");
}

constexpr std::string_view kNoneWhileBroken =
    "<span class=fault>none: every connection is refused (HTTP 500) until settings.json is "
    "mended</span>";

std::string JsonProtocolHtml(const SettingsResult& settings) {
  const auto* read = std::get_if<Settings>(&settings);
  if (!read) return std::string(kNoneWhileBroken);
  return read->RequiresAuthentication() ? "admitted, with the password from settings.json"
                                        : "admitted, without a password";
}

std::string TextProtocolHtml(const SettingsResult& settings) {
  const auto* read = std::get_if<Settings>(&settings);
  if (!read) return std::string(kNoneWhileBroken);
  if (!read->AdmitsTextProtocol())
    return "off, since settings.json sets a password (the JSON protocol still connects, e.g. "
           "<code>zyl.mjs call</code>)";
  if (read->RequiresAuthentication())
    return "admitted, without the password (settings.json: \"textProtocol\": true)";
  return "admitted";
}

std::string SettingsHtml(const StatusReport& report) {
  if (const auto* broken = std::get_if<SettingsError>(&report.settings))
    return "<span class=fault>" + Escaped(broken->problem) + "</span>";
  if (report.settingsPath.empty()) return "no settings folder is known: the defaults apply";
  return "readable (a missing file means the defaults)";
}

} // namespace

bool HostNamesThisMachine(std::string_view host) {
  const std::string name = AsciiLowered(host);
  std::string_view bare = name;
  const std::size_t bracket = bare.rfind(']');
  const std::size_t colon = bare.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    if (!IsDigits(bare.substr(colon + 1))) return false;
    bare = bare.substr(0, colon);
  }
  for (const std::string_view machine : kThisMachine)
    if (bare == machine) return true;
  return false;
}

bool AsksForStatusPage(const HandshakeRequest& request) {
  if (!request.key.empty()) return false;
  // What a browser's address bar sends; a request that asks for no page (a probe, a WebSocket
  // client that lost its key) is closed without a word as before.
  const std::string accept = AsciiLowered(request.accept);
  if (accept.find("text/html") == std::string::npos && accept.find("*/*") == std::string::npos)
    return false;
  bool plainGet = false;
  for (const std::string_view line : kStatusRequestLines)
    plainGet = plainGet || request.requestLine == line;
  return plainGet && HostNamesThisMachine(request.host);
}

std::string StatusPageHtml(const StatusFacts& facts, const StatusReport& report) {
  const std::string title = Escaped(facts.name) + " " + Escaped(facts.version);
  std::string html = "<!doctype html><html lang=en><head><meta charset=utf-8><title>" + title +
                     "</title><style>" + std::string(kStyle) + "</style></head><body><h1>" + title +
                     "</h1><p>Runs " + Escaped(facts.setting) + ".</p><table>";
  AddRow(html, "json-protocol", "JSON protocol (zyl.v2) now", JsonProtocolHtml(report.settings));
  AddRow(html, "text-protocol", "Text protocol now", TextProtocolHtml(report.settings));
  AddRow(html, "settings-folder", "Settings folder",
         report.settingsFolder.empty() ? "none is known" : Escaped(report.settingsFolder));
  AddRow(html, "settings-file", "settings.json", SettingsHtml(report));
  AddRow(html, "docs", "Documentation", Escaped(facts.docs));
  html += "</table><h2>Recent diagnostics</h2>";
  if (report.diagnostics.empty()) {
    html += "<p>none</p>";
  } else {
    html += "<pre>";
    for (const std::string& line : report.diagnostics)
      html.append(Escaped(line)).append("\n");
    html += "</pre>";
  }
  html += "</body></html>\n";
  return html;
}

std::string StatusPageAnswer(const HandshakeRequest& request,
                             std::optional<platform::Ipv4Address> peer, const StatusFacts& facts) {
  if (!peer || !IsLoopback(*peer) || !AsksForStatusPage(request)) return {};
  StatusReport report;
  report.settingsPath = SettingsFilePath();
  if (const std::string allowList = AllowListFilePath(); !allowList.empty()) {
    report.settingsFolder = allowList.substr(0, allowList.rfind(platform::PathSeparator()));
    NoteUnmatchableAllowListEntries(allowList);
  }
  report.settings = ReadSettingsFile(report.settingsPath);
  NoteSettingsOutcome(report.settings);
  report.diagnostics = RecentDiagnostics();
  const std::string html = StatusPageHtml(facts, report);
  std::string reply(kReplyHeaders);
  reply.append(std::to_string(html.size())).append("\r\n\r\n").append(html);
  return reply;
}

} // namespace ZYL
