// The engine beside the other ways a local WebSocket could be served: Boost.Beast,
// websocketpp, Node's `ws` and the floors. Every server, the engine included, runs in a
// process of its own and answers "get.version" with "version:1.2.4"; one client measures
// them all, the servers taking turns in short rounds so that a change in the machine's load
// falls on all of them alike.
#pragma once

#include "Table.h"

#include <string>

namespace zylbench {

// The programs to start; an empty path leaves its server out (its rows say so).
struct PeerPrograms {
  std::string bench;       // this program, started again as a floor
  std::string hostsim;     // the engine inside the simulator
  std::string beast;       // bench/peers/beast-server.cpp
  std::string websocketpp; // bench/peers/websocketpp-server.cpp
  std::string nodeScript;  // bench/node/echo-server.js
};

// Resident memory of each server per idle connection, with 16 open at once.
void MeasurePeerMemory(Table& table, const PeerPrograms& programs);

// Handshakes a second (one after another and 16 at once), get.version round trips and round
// trips a second on 16 connections, on whatever cores the system gives.
void MeasurePeersOnTwoCores(Table& table, const PeerPrograms& programs);

// Connection set-up (connect, upgrade, get.version, close, as the client sees it), the
// get.version round trip, and protocol 2's version against protocol 1's get.version; for
// a caller pinned to one core, whose servers started from here then share that core.
void MeasurePeersOnOneCore(Table& table, const PeerPrograms& programs);

// Only protocol 2's version against protocol 1's get.version, of an engine started here;
// for a caller pinned to one core.
void MeasureJsonVersionOnOneCore(Table& table, const std::string& hostsim);

// The floors' own main: `zyl-bench --floor one-thread | one-frame | thread-per-connection`
// prints its port and serves until its standard input closes.
int RunFloorProcess(const std::string& kind);

} // namespace zylbench
