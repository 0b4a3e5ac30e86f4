#pragma once
// Every window test starts with empty program settings: no recent route or last folder that an
// earlier test of the run left.
#include <gtest/gtest.h>

#include "qtcommon/ProgramSettings.h"

namespace jvo::test {

class FreshSettings final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        QSettings settings = jvo::qt::ProgramSettings();
        settings.clear();
        settings.sync();
    }
};

// Call after the application object exists.
inline void UseFreshSettings() {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
}

}  // namespace jvo::test
