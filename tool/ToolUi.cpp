#include "tool/ToolUi.h"

namespace jvo::tool {

bool IsControlId(int id) {
    switch (id) {
        case IDC_PLACEHOLDER:
        case IDC_PICTURE:
        case IDC_PANEL_A:
        case IDC_PANEL_B:
        case IDC_VIEW_PANEL:
        case IDC_VIEW_AUX:
        case IDC_UNIT_NAME:
        case IDC_SW_ADDRESS:
        case IDC_INSTALL:
        case IDC_EXIT:
        case IDC_BREAKER_NAME:
        case IDC_LOAD:
        case IDC_SAVE:
        case IDC_POSITION:
        case IDC_DIP_ADDRESS:
        case IDC_POLES:
        case IDC_UNIT_EDIT:
        case IDC_UC_LABEL:
        case IDC_PANEL_EDIT:
        case IDC_BREAKER_EDIT:
        case IDC_UNIT_CANCEL:
        case IDC_UNIT_APPLY:
        case IDC_PANEL_CANCEL:
        case IDC_PANEL_APPLY:
        case IDC_BREAKER_CANCEL:
        case IDC_BREAKER_APPLY:
        case IDC_PANEL_NAME:
        case IDC_NEUTRAL_LABEL:
        case IDC_PASSWORD:
        case IDC_RATING:
        case IDC_GROUND_LABEL:
        case IDC_OC_ALARM:
        case IDC_UC_UNIT:
        case IDC_NEUTRAL_UNIT:
        case IDC_OC_WARNING:
        case IDC_GROUND_UNIT:
        case IDC_POSITION_LABEL:
        case IDC_DIP_NOTE:
        case IDC_UC_ALARM:
        case IDC_NEUTRAL_ALARM:
        case IDC_HYSTERESIS:
        case IDC_VERSION:
        case IDC_GROUND_ALARM:
            return true;
        default:
            return false;
    }
}

Route RouteOf(const ConnectResult& choice) {
    switch (choice.m_Kind) {
        case ConnectResult::PORT:
            return Route::Com(choice.m_Port);
        case ConnectResult::DEVICE:
            return Route::Device(choice.m_Device);
        case ConnectResult::PROXY:
            return Route::Proxy(choice.m_Host, choice.m_Tls);
        case ConnectResult::CANCELLED:
        case ConnectResult::OFFLINE:
            break;
    }
    return Route{};  // not usable: no port
}

ConnectResult ChoiceOf(const Route& route) {
    ConnectResult choice;
    switch (route.m_Kind) {
        case Route::COM:
            choice.m_Kind = ConnectResult::PORT;
            choice.m_Port = route.m_Port;
            break;
        case Route::DEVICE:
            choice.m_Kind = ConnectResult::DEVICE;
            choice.m_Device = route.m_Device;
            break;
        case Route::PROXY:
            choice.m_Kind = ConnectResult::PROXY;
            choice.m_Host = route.m_Host;
            choice.m_Tls = route.m_Tls;
            break;
    }
    return choice;
}

}  // namespace jvo::tool
