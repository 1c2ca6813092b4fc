// The server's shared state. Held through a shared pointer by the server and by each of its
// threads, so that a thread that outlives a Stop it called itself still finds it.
#pragma once

#include "platform/Platform.h"
#include "server/FailedAuthentications.h"
#include "server/Listeners.h"
#include "server/PeerPlaces.h"
#include "server/Server.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace ZYL {

struct Server::Registry {
  std::atomic<bool> running{false};
  Listeners listeners;
  PeerPlaces peerPlaces;
  FailedAuthentications failedAuthentications;
  MessageHandler* handler = nullptr; // set by Start while no thread runs
  StatusFacts statusFacts;           // likewise

  mutable std::mutex clientLock; // guards everything below but the atomics
  // Connections that passed the handshake, by socket. A connection owns its socket and
  // closes it only when the last holder lets go, so a push never reaches a closed or
  // reused socket number.
  std::map<int, std::shared_ptr<ClientConnection>> clients;
  std::set<int> vitalsSubscribers; // always a subset of clients' keys
  // Every connection thread's connection, handshake or not, so Stop can shut all down.
  std::map<int, std::shared_ptr<ClientConnection>> connections;
  // The connection threads still at work, and those done with it but not yet joined. A
  // connection thread serves one connection after another: done with one, it waits in
  // accept for the next for a while, so that a burst of connections does not start and end
  // a thread each, and a connection reaches the thread that serves it with no hand-over.
  std::map<std::thread::id, std::thread> connectionThreads;
  std::vector<std::thread> finishedThreads;
  // Connection threads waiting in accept. While there is one, it takes the next connection
  // and the accept thread leaves the listener alone.
  std::int32_t acceptingThreads = 0;
  // Set by the connection thread that took a connection as the last one waiting: the accept
  // thread starts another to wait in accept while places remain.
  bool threadWanted = false;
  // Wakes the accept thread when no connection thread waits in accept any more, when
  // another is wanted, when one has finished, and at stop.
  std::condition_variable acceptThreadWake;
  // Wakes the accept thread's wait between two tries of a held port, every wait of an
  // identify, and Start's wait for the first bind.
  std::condition_variable stopRequested;
  bool firstBindTried = false;

  std::atomic<std::int32_t> clientCount{0};
  std::atomic<std::int32_t> subscriberCount{0};
};

// Gives back the place of a connection that ends or is not served, before its socket is
// closed.
void GiveBackPlace(Server::Registry& registry, platform::Socket socket) noexcept;

// Closes a JSON-protocol connection with 1001 (the engine is stopping) and shuts it down; a
// connection already shut down or speaking the text protocol is left as it is.
void SendGoingAway(ClientConnection& connection) noexcept;

// A connection thread's life: serves `socket`, then each connection it accepts itself, until
// it has waited server::kIdleThreadMilliseconds for one in vain or the server stops. Started
// with kNoSocket, already counted among the accepting threads, it begins with the accept.
// `peer`: the address of `socket`'s peer, as accept told it.
void ServeConnections(const std::shared_ptr<Server::Registry>& registry, platform::Socket socket,
                      std::optional<platform::Ipv4Address> peer);

} // namespace ZYL
