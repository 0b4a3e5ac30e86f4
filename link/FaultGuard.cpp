#include "link/FaultGuard.h"

#include "link/AppLog.h"

namespace jvo {

const char* FaultName(uint32_t code) {
    switch (code) {
        case fault::kAccessViolation:
            return "Access Violation";
        case fault::kArrayBoundsExceeded:
            return "Array Bounds Exceeded";
        case fault::kBreakpoint:
            return "Breakpoint";
        case fault::kDatatypeMisalignment:
            return "Datatype Misalignment";
        case fault::kFltDenormalOperand:
            return "Floating Point Denormal Operand";
        case fault::kFltDivideByZero:
            return "Floating Point Divide by Zero";
        case fault::kFltInexactResult:
            return "Floating Point Inexact Result";
        case fault::kFltInvalidOperation:
            return "Floating Point Invalid Operation";
        case fault::kFltOverflow:
            return "Floating Point Overflow";
        case fault::kFltStackCheck:
            return "Floating Point Stack Check";
        case fault::kFltUnderflow:
            return "Floating Point Underflow";
        case fault::kIllegalInstruction:
            return "Illegal Instruction";
        case fault::kInPageError:
            return "Paging-In Error";
        case fault::kIntDivideByZero:
            return "Integer Divide by Zero";
        case fault::kIntOverflow:
            return "Integer Overflow";
        case fault::kInvalidDisposition:
            return "Invalid Disposition";
        case fault::kNoncontinuableException:
            return "Non-Continuable Exception";
        case fault::kPrivilegedInstruction:
            return "Privileged Instruction";
        case fault::kSingleStep:
            return "Single-Step";
        case fault::kStackOverflow:
            return "Stack Overflow";
        default:
            return "Unknown";
    }
}

AfoException::AfoException(uint32_t code, const FaultRecord& record)
    : m_Code(code), m_Record(record) {}

AfoException::AfoException(const AfoException& other) = default;
AfoException& AfoException::operator=(const AfoException& other) = default;

void AfoException::Report() const {
    // Addresses are printed whole (64 bits); the texts are those of the 32-bit reports.
    for (const FaultRecord* r = &m_Record; r != nullptr; r = r->related) {
        CAppLog::Instance().WriteNoWait(
            0, "Structured Exception Dump [0x%08llx]",
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(r)));
        CAppLog::Instance().WriteNoWait(0, "Exception: Code = 0x%08x '%s'", r->code,
                                        FaultName(r->code));
        CAppLog::Instance().WriteNoWait(0, "Exception: Address = 0x%08llx",
                                        static_cast<unsigned long long>(r->instructionAddress));
        if (r->code == fault::kAccessViolation) {
            CAppLog::Instance().WriteNoWait(0, "Exception: %s to Address 0x%08llx",
                                            r->write ? "Writing" : "Reading",
                                            static_cast<unsigned long long>(r->dataAddress));
        }
        if (r->related) {
            CAppLog::Instance().WriteNoWait(
                0, "Expception: Related Exception [0x%08llx]",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(r->related)));
        }
    }
}

}  // namespace jvo
