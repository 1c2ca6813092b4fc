// Conversions between engine text and the host's opaque strings.
#pragma once

#include "host/HostCall.h"
#include "host/ScopedSuite.h"
#include "hostsdk/StringSuite.h"

#include <string>
#include <string_view>

namespace ZYL {

// The UTF-8 text of a host string; empty when the host cannot give it.
std::string HostStringToUtf8(const hostsdk::StringSuite1* strings,
                             const hostsdk::HostString& string);

// Fills `out` from UTF-8 text and marks it for disposal. Not done when the host refuses, and
// also for text holding a zero byte: the host reads its strings only up to the first one, so
// it would act on a different text than the client sent.
HostOutcome AllocateHostString(const hostsdk::StringSuite1* strings, std::string_view text,
                               ScopedHostString& out);

} // namespace ZYL
