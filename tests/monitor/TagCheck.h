#pragma once
// Checks a readings store filled from a unit that tags its readings (sim::SimOptions::tagReadings):
// every value must sit in the slot of the request it answers.
#include <gtest/gtest.h>

#include <cmath>

#include "config/UnitConfig.h"
#include "monitor/ReadingsStore.h"
#include "sim/SimUnit.h"

namespace jvo::test {

// Checks the tagged values in the store. A slot not read yet holds 0; any other value must be
// its own key plus k/64, and the two tagged values of one record must be equal (one reply).
class TagCheck {
public:
    void Value(const char* what, int key, float value, float second) {
        if (value == 0 && second == 0) {
            ++m_Empty;
            return;
        }
        const float whole = std::floor(value);
        const float k = (value - whole) * 64;
        if (static_cast<int>(whole) != key || k != std::floor(k) || value != second) {
            if (m_Bad < 10)
                ADD_FAILURE() << what << " with key " << key << " holds " << value << " / "
                              << second;
            ++m_Bad;
        }
    }
    void Value(const char* what, int key, float value) { Value(what, key, value, value); }

    void Store(const ReadingsSnapshot& s, const UnitConfig& config) {
        for (int n = 0; n < kCtCount; ++n)
            Value("CT", sim::ReadingKey(sim::TagKind::Ct, 0, n), s.m_Ct[n].m_IRms,
                  s.m_Ct[n].m_Power);
        for (int p = 0; p < kPanelCount; ++p) {
            const PanelReadings& r = s.m_Panels[p];
            Value("main feed", sim::ReadingKey(sim::TagKind::MainFeed, p), r.m_MainFeed.m_Load,
                  r.m_MainFeed.m_Power);
            Value("main energy", sim::ReadingKey(sim::TagKind::MainEnergy, p), r.m_MainEnergy);
            for (int i = 0; i < config.m_Panels[p].UsedBreakers(); ++i) {
                const BreakerSlot& b = r.m_Breakers[i];
                Value("breaker", sim::ReadingKey(sim::TagKind::Breaker, p, i), b.m_Reading.m_Load,
                      b.m_Reading.m_Power);
                Value("breaker energy", sim::ReadingKey(sim::TagKind::BreakerEnergy, p, i),
                      b.m_Energy);
            }
            for (int i = 0; i < config.m_Panels[p].UsedSubfeeds(); ++i) {
                const SubfeedSlot& f = r.m_Subfeeds[i];
                Value("subfeed", sim::ReadingKey(sim::TagKind::Subfeed, p, i), f.m_Reading.m_Load,
                      f.m_Reading.m_Power);
                Value("subfeed energy", sim::ReadingKey(sim::TagKind::SubfeedEnergy, p, i),
                      f.m_Energy);
            }
        }
    }

    int m_Empty = 0;
    int m_Bad = 0;
};

}  // namespace jvo::test
