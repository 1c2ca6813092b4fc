#include "host/ZYLEngineControlSurface.h"
#include "protocol/CommandEntries.h"

#include <array>

namespace ZYL {

namespace {

enum class Match { Exact, Prefix };

struct CommandRoute {
  Match match;
  std::string_view name;
  CommandEntry entry;
};

// Tried top to bottom; the first route that matches wins. Matching is byte-exact and
// case-sensitive, and nothing is trimmed. Every prefix ends in ":", so "get.angle.marker:"
// can never be taken by "get.angle:" nor "get.clipsize.marker:" by "get.clipsize:"; the
// order still matters to clients and is kept as published.
constexpr std::array kRoutes{
    CommandRoute{Match::Exact, "get.version", GetVersionCommand},
    CommandRoute{Match::Exact, "get.info", GetInfoCommand},
    CommandRoute{Match::Exact, "vitals.subscribe", VitalsSubscribeCommand},
    CommandRoute{Match::Prefix, "get.angle:", GetAngleCommand},
    CommandRoute{Match::Prefix, "debug.tlscan:", TimelineScanCommand},
    CommandRoute{Match::Prefix, "dump.angle:", DumpAngleCommand},
    CommandRoute{Match::Prefix, "get.clipsize:", GetClipSizeCommand},
    CommandRoute{Match::Prefix, "get.clipsize.marker:", GetClipSizeMarkerCommand},
    CommandRoute{Match::Prefix, "get.angle.marker:", GetAngleMarkerCommand},
    CommandRoute{Match::Prefix, "multicam.angle:", MulticamAngleCommand},
    CommandRoute{Match::Exact, "get.commands", GetCommandsCommand},
    CommandRoute{Match::Prefix, "exec:", ExecCommand},
    CommandRoute{Match::Prefix, "get.transitions:", GetTransitionsCommand},
    CommandRoute{Match::Exact, "get.sequence", GetSequenceCommand},
    CommandRoute{Match::Prefix, "get.sequence:", GetSequenceCommand},
};

bool Matches(const CommandRoute& route, std::string_view text) noexcept {
  return route.match == Match::Exact ? text == route.name : text.starts_with(route.name);
}

} // namespace

// Runs on the connection's thread. Argument conversion never throws: each command's entry
// turns an unconvertible argument into that command's own parse reaction. Anything else a
// command throws (memory exhaustion while a reply is built, say) is deliberately left to
// propagate: the connection loop catches it and ends that one connection, which is the only
// safe answer once a reply may be half built.
void ZYLEngineControlSurface::DispatchCommand(ReplySink& client, std::string_view text) {
  for (const CommandRoute& route : kRoutes) {
    if (Matches(route, text)) {
      route.entry(*this, client, text.substr(route.name.size()));
      return;
    }
  }
  // Any other text is the name of a host command; whether or not the host knows it, the
  // client hears nothing back.
  RunHostCommand(text);
}

} // namespace ZYL
