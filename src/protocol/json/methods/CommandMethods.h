// commands.list, commands.run and multicam.setAngle: the editor's own commands.
#pragma once

#include "protocol/EngineParts.h"
#include "protocol/json/MessageWriter.h"
#include "protocol/json/RequestParams.h"

namespace ZYL {

Outcome CommandsListMethod(EngineParts& engine, RequestParams& params);
Outcome CommandsRunMethod(EngineParts& engine, RequestParams& params);
Outcome MulticamMethod(EngineParts& engine, RequestParams& params);

} // namespace ZYL
