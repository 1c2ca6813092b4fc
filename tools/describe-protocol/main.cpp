// Prints the engine's protocol description, exactly as protocol.describe answers it, as JSON
// with a two-space indent. The generated documents and client declarations are made from
// this output, so it must not depend on anything but the engine's own tables.
#include "protocol/json/ProtocolDescription.h"

#include <cstdio>
#include <exception>
#include <string>

int main() {
  try {
    const std::string text = ZYL::DescribeProtocol().dump(2) + "\n";
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
      std::fputs("zyl-describe: could not write the description\n", stderr);
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zyl-describe: %s\n", error.what());
    return 1;
  }
}
