// Bench peer: a WebSocket server on websocketpp, written as its echo server example is: the
// asio transport without TLS, one thread running the endpoint, a message handler that sends
// the answer. Logging is switched off, as a server measured for speed would have it. It
// answers "get.version" with "version:1.2.4" as the engine does and echoes any other
// message. Listens on 127.0.0.1 at a port the system picks, prints the port on its first
// line, and ends when its standard input closes.
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <websocketpp/config/asio_no_tls.hpp>
#include <websocketpp/server.hpp>

using Server = websocketpp::server<websocketpp::config::asio>;

int main() {
  Server server;
  server.clear_access_channels(websocketpp::log::alevel::all);
  server.clear_error_channels(websocketpp::log::elevel::all);
  server.init_asio();
  server.set_reuse_addr(true);
  // Small requests answered at once, as every server in the bench sends them; set once the
  // connection's socket is open, before the handshake.
  server.set_tcp_pre_init_handler([&server](websocketpp::connection_hdl hdl) {
    websocketpp::lib::asio::error_code ignored;
    server.get_con_from_hdl(hdl)->get_socket().set_option(boost::asio::ip::tcp::no_delay(true),
                                                          ignored);
  });
  server.set_message_handler([&server](websocketpp::connection_hdl hdl, Server::message_ptr msg) {
    const std::string& payload = msg->get_payload();
    if (payload == "get.version")
      server.send(hdl, "version:1.2.4", websocketpp::frame::opcode::text);
    else
      server.send(hdl, payload, msg->get_opcode());
  });
  server.listen(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0));
  server.start_accept();
  websocketpp::lib::asio::error_code ec;
  std::printf("%u\n", server.get_local_endpoint(ec).port());
  std::fflush(stdout);
  // Ends the process when the bench closes our input; this thread only waits.
  std::thread([] {
    while (std::getchar() != EOF) {
    }
    std::_Exit(0);
  }).detach();
  server.run();
  return 0;
}
