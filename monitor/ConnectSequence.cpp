#include "monitor/ConnectSequence.h"

#include "base/FormatStr.h"
#include "link/AppLog.h"
#include "link/ConfigTransfer.h"
#include "monitor/NameCleaning.h"

namespace jvo::monitor {

std::string UnitSetup::Title() const {
    return m_VersionKnown ? MonitorTitle(m_Version.m_FirmwareBuild) : "JVO/TKA Monitor";
}

std::string UnitSetup::UnitText() const {
    return UnitFieldText(m_Config);
}

std::string SchemaMessage(int version) {
    return FormatStr("Incorrect Schema Version: %d (%d Required)", version, kRequiredSchema);
}

std::string MonitorTitle(int firmwareBuild) {
    return FormatStr("JVO/TKA Monitor [Firmware Build:%d Config Schema:%d]", firmwareBuild,
                     kRequiredSchema);
}

PrepareResult PrepareUnit(UnitClient& client, bool serviceUser, UnitSetup& setup,
                          std::function<void(int32_t)> sleeper) {
    setup = UnitSetup();
    if (sleeper) client.SetSleeper(std::move(sleeper));
    uint16_t version = 0;
    int supported = 0;
    if (!client.GetSchemaVersionRepeated(kSchemaAttempts, version, supported)) {
        setup.m_Schema = version;
        if (!client.Status().Ok())
            JVO_LOG1("PrepareUnit() No schema version: %s", DescribeStatus(client.Status()));
        return PrepareResult::WRONG_SCHEMA;
    }
    setup.m_Schema = version;
    if (serviceUser) {
        bool on = false;
        if (client.GetAutoZero(on)) {
            setup.m_AutoZeroKnown = true;
            setup.m_AutoZero = on;
        }
    }
    if (!ReadConfig(client, setup.m_Config, 0, kRecordAttempts, nullptr)) {
        JVO_LOG1("PrepareUnit() Configuration not loaded: %s", DescribeStatus(client.Status()));
        return PrepareResult::LOAD_FAILED;
    }
    CleanNames(setup.m_Config);
    for (int i = 0; i < kVersionAttempts && !setup.m_VersionKnown; ++i)
        setup.m_VersionKnown = client.GetVersion(setup.m_Version);
    return PrepareResult::OK;
}

bool RunConnectSequence(MonitorUi& ui, UnitLink& link, ConnectDlgLogic& dialog, bool serviceUser,
                        UnitSetup& setup, std::function<void(int32_t)> sleeper) {
    for (;;) {
        if (!dialog.Run()) {
            link.Disconnect();
            return false;
        }
        PrepareResult r;
        {
            UnitClient client(&link, 0);
            r = PrepareUnit(client, serviceUser, setup, sleeper);
        }
        if (r == PrepareResult::OK) {
            if (setup.m_VersionKnown) ui.SetTitle(setup.Title());
            return true;
        }
        ui.Message(r == PrepareResult::WRONG_SCHEMA ? SchemaMessage(setup.m_Schema)
                                                    : std::string("Could not load configuration"),
                   MsgButtons::Ok, MsgIcon::Error);
        link.Disconnect();
    }
}

}  // namespace jvo::monitor
