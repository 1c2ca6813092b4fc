// Bench peer: a WebSocket server on Boost.Beast, written as Beast's asynchronous server
// example is: one io_context run by one thread, a session object per connection reading and
// writing with async_read and async_write, the suggested server time-outs. It answers
// "get.version" with "version:1.2.4" as the engine does and echoes any other message.
// Listens on 127.0.0.1 at a port the system picks, prints the port on its first line, and
// ends when its standard input closes.
#include <boost/asio/dispatch.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

class Session : public std::enable_shared_from_this<Session> {
public:
  explicit Session(tcp::socket&& socket) : ws_(std::move(socket)) {}

  void Run() {
    net::dispatch(ws_.get_executor(),
                  beast::bind_front_handler(&Session::OnRun, shared_from_this()));
  }

private:
  void OnRun() {
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.async_accept(beast::bind_front_handler(&Session::OnAccept, shared_from_this()));
  }

  void OnAccept(beast::error_code ec) {
    if (!ec) Read();
  }

  void Read() {
    ws_.async_read(buffer_, beast::bind_front_handler(&Session::OnRead, shared_from_this()));
  }

  void OnRead(beast::error_code ec, std::size_t) {
    if (ec) return; // closed by the client, or failed
    reply_ = beast::buffers_to_string(buffer_.data());
    buffer_.consume(buffer_.size());
    if (reply_ == "get.version") reply_ = "version:1.2.4";
    ws_.text(true);
    ws_.async_write(net::buffer(reply_),
                    beast::bind_front_handler(&Session::OnWrite, shared_from_this()));
  }

  void OnWrite(beast::error_code ec, std::size_t) {
    if (!ec) Read();
  }

  websocket::stream<beast::tcp_stream> ws_;
  beast::flat_buffer buffer_;
  std::string reply_;
};

class Listener : public std::enable_shared_from_this<Listener> {
public:
  Listener(net::io_context& ioc, tcp::endpoint endpoint) : ioc_(ioc), acceptor_(ioc) {
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(net::socket_base::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(net::socket_base::max_listen_connections);
  }

  unsigned short Port() const { return acceptor_.local_endpoint().port(); }

  void Run() { Accept(); }

private:
  void Accept() {
    acceptor_.async_accept(net::make_strand(ioc_),
                           beast::bind_front_handler(&Listener::OnAccept, shared_from_this()));
  }

  void OnAccept(beast::error_code ec, tcp::socket socket) {
    if (!ec) {
      // Small requests answered at once, as every server in the bench sends them.
      socket.set_option(tcp::no_delay(true));
      std::make_shared<Session>(std::move(socket))->Run();
    }
    Accept();
  }

  net::io_context& ioc_;
  tcp::acceptor acceptor_;
};

} // namespace

int main() {
  net::io_context ioc{1};
  auto listener =
      std::make_shared<Listener>(ioc, tcp::endpoint{net::ip::make_address("127.0.0.1"), 0});
  listener->Run();
  std::printf("%u\n", listener->Port());
  std::fflush(stdout);
  // Ends the process when the bench closes our input; this thread only waits.
  std::thread([] {
    while (std::getchar() != EOF) {
    }
    std::_Exit(0);
  }).detach();
  ioc.run();
  return 0;
}
