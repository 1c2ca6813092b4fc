// The members of the records both protocols send (sequence, vitals, info, timeline scan, the
// transport and marker events), as the protocol description lists them. Methods and topics
// that carry the same record share one list.
#pragma once

#include "protocol/DescribedMember.h"

#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

namespace ZYL {

// sequence.get's members: each but timelineID is null when the host cannot give it (all of
// them for a timeline it knows that has no sequence settings).
std::vector<Member> SequenceMembers();

// A vitals member that vitals.get gives as null: one that only a comparison with an earlier
// record can tell (no stand-in), or one whose record value is the stand-in for a value the
// host did not give.
struct UnknownVital {
  std::string_view member;
  nlohmann::json standIn; // null: always unknown in a record built on its own
};
const std::vector<UnknownVital>& UnknownVitals();

// The vitals record's members as the JSON protocol gives them; `builtNow`: as vitals.get
// gives them (UnknownVitals nullable), else as the vitals topic pushes them.
std::vector<Member> VitalsMembers(bool builtNow);

// playhead.get's members, as the playhead topic pushes them.
std::vector<Member> PlayheadMembers();

std::vector<Member> TransportEventMembers();
std::vector<Member> MarkerEventMembers();
std::vector<Member> InfoMembers();
std::vector<Member> TimelineScanMembers();

} // namespace ZYL
