#include "qa/stage_limit.h"

#include <QtGlobal>
#include <algorithm>

namespace qa {

int stageFrameCount(int fullCount)
{
    bool valid = false;
    const int limit = qEnvironmentVariableIntValue(kStageLimitVariable, &valid);
    return valid && limit > 0 ? std::min(limit, fullCount) : fullCount;
}

} // namespace qa
