// sequence.get and sequences.list: the sequences' timing and frame format.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome SequenceMethod(EngineParts& engine, RequestParams& params);
Outcome SequencesListMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
