#include "tool/ConfigLoad.h"

#include "base/Files.h"
#include "base/FormatStr.h"
#include "config/ConfigCheck.h"
#include "config/ConfigFile.h"
#include "tool/Texts.h"

namespace jvo::tool {

CheckOutcome CheckConfigForTakeOver(DialogPort& ui, UnitConfig& config, std::string& serious) {
    std::string minor;
    serious.clear();
    const int found = ConfigCheck(config, false, &minor, &serious);
    if (found & CHECK_SERIOUS) return CheckOutcome::SERIOUS;
    if (found & CHECK_MINOR) {
        const std::string question = text::kMinorHead + minor + text::kMinorTail;
        if (ui.Message(question, MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
            return CheckOutcome::DECLINED;
        std::string minorAfter;
        std::string seriousAfter;
        const int corrected = ConfigCheck(config, true, &minorAfter, &seriousAfter);
        if (corrected & CHECK_SERIOUS) {
            serious = seriousAfter;
            return CheckOutcome::SERIOUS;
        }
    }
    return CheckOutcome::ACCEPTED;
}

bool LoadCheckedConfigFile(DialogPort& ui, const FileChoice& file, UnitConfig& out) {
    // Non-blocking and without becoming a controlling terminal: a FIFO or a device chosen by
    // mistake must not make the tool wait.
    FileHandle fd(OpenForReading(file.m_Path));
    if (!fd.Valid()) {
        ui.Message(FormatStr("Could not open configuration file: %s", file.m_Path), MsgButtons::Ok,
                   MsgIcon::Stop);
        return false;
    }
    const bool loaded = LoadConfigFile(out, fd.Get());
    fd.Reset();
    if (!loaded) {
        ui.Message(FormatStr("Failed to load configuration from: %s", file.m_Path), MsgButtons::Ok,
                   MsgIcon::Stop);
        return false;
    }
    std::string serious;
    switch (CheckConfigForTakeOver(ui, out, serious)) {
        case CheckOutcome::ACCEPTED:
            return true;
        case CheckOutcome::SERIOUS:
            ui.Message(text::kSeriousFileHead + serious +
                           FormatStr("\nThe configuration file  '%s'  will not been loaded.    ",
                                     file.m_Name),
                       MsgButtons::Ok, MsgIcon::Stop);
            return false;
        case CheckOutcome::DECLINED:
            ui.Message(FormatStr("The configuration file  '%s'  has not been loaded.", file.m_Name),
                       MsgButtons::Ok, MsgIcon::Information);
            return false;
    }
    return false;
}

std::string BareFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace jvo::tool
