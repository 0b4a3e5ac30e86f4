#include <gtest/gtest.h>

#include <cstdint>

#include "link/FaultGuard.h"

namespace jvo {
namespace {

// The address to write to comes in at run time, so that the compiler cannot see the fault.
uint32_t WriteTo(void* address) {
    *static_cast<volatile uint32_t*>(address) = 1;
    return 0;
}

uint32_t DivideBy(void* divisor) {
    volatile int32_t n = 100;
    return static_cast<uint32_t>(n / *static_cast<volatile int32_t*>(divisor));
}

uint32_t Returns7(void*) {
    return 7;
}

// The vectored handler turns a fault inside the guarded call into a record, and the program goes
// on, as the signal guard does on Linux.
TEST(Win32FaultGuard, FaultsBecomeRecordsAndTheProgramGoesOn) {
    uint32_t result = 0;
    FaultRecord fault;
    EXPECT_FALSE(RunGuarded(WriteTo, reinterpret_cast<void*>(uintptr_t{0x28}), result, fault));
    EXPECT_EQ(fault.code, fault::kAccessViolation);
    EXPECT_TRUE(fault.write);
    EXPECT_EQ(fault.dataAddress, 0x28u);
    EXPECT_NE(fault.instructionAddress, 0u);

    int32_t zero = 0;
    fault = FaultRecord();
    EXPECT_FALSE(RunGuarded(DivideBy, &zero, result, fault));
    EXPECT_EQ(fault.code, fault::kIntDivideByZero);
    EXPECT_STREQ(FaultName(fault.code), FaultName(fault::kIntDivideByZero));

    EXPECT_TRUE(RunGuarded(Returns7, nullptr, result, fault));
    EXPECT_EQ(result, 7u);
}

}  // namespace
}  // namespace jvo
