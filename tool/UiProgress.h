#pragma once
// The whole-configuration transfers report their progress into the progress window.
#include "link/ConfigTransfer.h"
#include "tool/ToolUi.h"

namespace jvo::tool {

class UiProgress final : public IProgress {
public:
    explicit UiProgress(ToolUi& ui) : m_Ui(ui) {}
    void ProgressRange(int upper) override { m_Ui.ProgressRange(upper); }
    void ProgressPos(int pos) override { m_Ui.ProgressPos(pos); }

private:
    ToolUi& m_Ui;
};

}  // namespace jvo::tool
