// The commands that read the host's render trees. Each sends its own replies.
#pragma once

#include "server/ReplySink.h"

#include <cstdint>
#include <string_view>

namespace ZYL {

class ZYLEngineControlSurface;

void HandleGetAngle(ZYLEngineControlSurface& surface, ReplySink& client, std::int64_t ticks,
                    std::int32_t track);
void HandleGetAngleMarker(ZYLEngineControlSurface& surface, ReplySink& client,
                          std::string_view name, std::int32_t track);
void HandleGetClipSize(ZYLEngineControlSurface& surface, ReplySink& client, std::int64_t ticks,
                       std::int64_t end, std::int32_t track);
void HandleGetClipSizeMarker(ZYLEngineControlSurface& surface, ReplySink& client,
                             std::string_view name, std::int32_t track);
void HandleGetTransitions(ZYLEngineControlSurface& surface, ReplySink& client, std::int64_t start,
                          std::int64_t end, std::int32_t track);
void HandleDumpAngle(ZYLEngineControlSurface& surface, ReplySink& client, std::int64_t ticks,
                     std::int32_t track);
void HandleTimelineScan(ZYLEngineControlSurface& surface, ReplySink& client, std::int64_t from,
                        std::int64_t to, std::int64_t budgetMs);

} // namespace ZYL
