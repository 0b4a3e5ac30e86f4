#pragma once
// The whole-configuration transfers: ReadConfig reads a unit's configuration record by record,
// WriteConfig writes one. Each record gets up to `attempts` tries; progress is reported through a
// small interface that the tool's progress window and a console implement.
#include "config/UnitConfig.h"
#include "link/UnitClient.h"

namespace jvo {

class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void ProgressRange(int upper) = 0;  // the lower bound is 0
    virtual void ProgressPos(int pos) = 0;
};

// sel 0 or 1 and attempts 1..100, else false before any request. Entries beyond the counts are
// not requested and keep what `config` held (the callers pass a freshly constructed one).
bool ReadConfig(UnitClient& client, UnitConfig& config, int sel, int attempts, IProgress* progress);
// attempts 1..100, else false before any request.
bool WriteConfig(UnitClient& client, const UnitConfig& config, int attempts, IProgress* progress);

}  // namespace jvo
