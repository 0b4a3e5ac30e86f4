// BasicDlg: the property groups. Panel and view selection, showing and storing the selected item,
// and the edit state machine with its checks.
#include "base/FormatStr.h"
#include "config/Slots.h"
#include "tool/BasicDlg.h"
#include "tool/Texts.h"

namespace jvo::tool {

namespace {

constexpr int kMaxSoftwareAddress = 246;

// The breaker group's editable fields.
constexpr int kBreakerFields[] = {IDC_BREAKER_NAME, IDC_RATING,    IDC_OC_ALARM,
                                  IDC_OC_WARNING,   IDC_UC_ALARM,  IDC_NEUTRAL_ALARM,
                                  IDC_GROUND_ALARM, IDC_HYSTERESIS};

// Limits of the breaker group's numbers. Every value must fit its 16-bit field; a value the user
// changes must also lie in its sensible range (values already in a configuration are left alone,
// so that editing one field never forces another to be corrected).
struct FieldLimit {
    int m_Id;
    const char* m_Label;
    int m_Min;
    int m_Max;
};
constexpr FieldLimit kRatingLimit{IDC_RATING, "Breaker Rating", 1, 4000};
constexpr FieldLimit kOcAlarmLimit{IDC_OC_ALARM, "Phase Over Current Alarm", 0, 100};
constexpr FieldLimit kOcWarningLimit{IDC_OC_WARNING, "Phase Over Current Warning", 0, 100};
constexpr FieldLimit kUcAlarmLimit{IDC_UC_ALARM, "Phase Under Current Alarm", 0, 100};
constexpr FieldLimit kNeutralLimit{IDC_NEUTRAL_ALARM, "Neutral Current Alarm", 0, 200};
constexpr FieldLimit kGroundLimit{IDC_GROUND_ALARM, "Ground Current Alarm", 0, 1000};
constexpr FieldLimit kHysteresisLimit{IDC_HYSTERESIS, "Hysteresis Interval", 1, 60};
constexpr FieldLimit kPositionLimit{IDC_POSITION, "Position", 0, 65535};

// Each edit group's Edit, Cancel and Apply buttons, by group number.
struct GroupButtons {
    int m_Edit;
    int m_Cancel;
    int m_Apply;
};
constexpr GroupButtons kGroupButtons[] = {
    {0, 0, 0},
    {IDC_UNIT_EDIT, IDC_UNIT_CANCEL, IDC_UNIT_APPLY},
    {IDC_PANEL_EDIT, IDC_PANEL_CANCEL, IDC_PANEL_APPLY},
    {IDC_BREAKER_EDIT, IDC_BREAKER_CANCEL, IDC_BREAKER_APPLY},
};

uint16_t U16(int value) {
    return static_cast<uint16_t>(value);
}

}  // namespace

// ---- control operations ----

void BasicDlg::EnableItem(int id, bool on) {
    if (!IsControlId(id)) {
        Stop(FormatStr("EnableItem() Error: Invalid Item ID (%d)", id));
        return;
    }
    m_Ui.EnableItem(id, on);
}

void BasicDlg::ProtectItem(int id, bool on) {
    if (!IsControlId(id)) {
        Stop(FormatStr("ProtectItem() Error: Invalid Item ID (%d)", id));
        return;
    }
    m_Ui.ProtectItem(id, on);
}

void BasicDlg::GotoItem(int id) {
    if (!IsControlId(id)) {
        Stop(FormatStr("GotoItem() Error: Invalid Item ID (%d)", id));
        return;
    }
    m_Ui.GotoItem(id);
}

// ---- selection ----

Selection BasicDlg::RememberedSelection(int panel, int view) const {
    if (panel < 0 || panel >= kPanelCount || view < 0 || view > 1) return Selection{};
    return m_Selection[panel][view];
}

Selection BasicDlg::CurrentItem() const {
    const Selection& s = m_Selection[m_Panel][m_View];
    const PanelRecord& panel = m_Config.m_Panels[m_Panel];
    switch (s.m_Kind) {
        case ITEM_MAIN:
            return s;
        case ITEM_BREAKER:
            if (s.m_Index >= 0 && s.m_Index < panel.UsedBreakers()) return s;
            break;
        case ITEM_SUBFEED:
            if (s.m_Index >= 0 && s.m_Index < panel.UsedSubfeeds()) return s;
            break;
        default:
            break;
    }
    return Selection{};
}

void BasicDlg::ShowDipSwitch() {
    if (m_DipValid) {
        m_Ui.SetItemText(IDC_DIP_ADDRESS, FormatStr("%d *", static_cast<int>(m_DipAddress)));
        m_Ui.SetItemText(IDC_DIP_NOTE, m_DipAddress != 0 ? text::kDipNonZero : text::kDipZero);
    } else {
        m_Ui.SetItemText(IDC_DIP_ADDRESS, text::kDipNotAvailable);
        m_Ui.SetItemText(IDC_DIP_NOTE, text::kDipUnknown);
    }
}

void BasicDlg::LoadUnitFields() {
    m_Fields.m_strUnitName = m_Config.m_Unit.m_UnitName;
    m_Fields.m_nSoftwareAddress = m_Config.m_Unit.m_UnitAddr;
}

void BasicDlg::LoadPanelFields() {
    const PanelRecord& panel = m_Config.m_Panels[m_Panel];
    m_Fields.m_strPanelName = panel.m_PanelName;
    m_Fields.m_strPassword = panel.m_Password1;
}

void BasicDlg::SelectPanel(bool force, int panel) {
    if (InputRefused()) return;
    if (panel < 0 || panel >= kPanelCount) return;
    if (!force && panel == m_Panel) return;
    if (IsEditOpen() && !EndEdit(END_APPLY)) {
        // The open edit failed its check: stay on the panel it belongs to.
        m_Ui.SetCheck(IDC_PANEL_A, m_Panel == 0);
        m_Ui.SetCheck(IDC_PANEL_B, m_Panel == 1);
        return;
    }
    m_Map.SetPanel(panel);
    m_Map.RedrawMap();
    m_Panel = panel;
    if (m_UnitConnected || m_Offline) {
        LoadUnitFields();
        ShowDipSwitch();
        LoadPanelFields();
    }
    const Selection item = Remembered();
    SelectItem(item.m_Index, item.m_Kind);
    m_Ui.TransferToControls(m_Fields);
}

void BasicDlg::SelectView(int view) {
    if (InputRefused()) return;
    if (view != 0 && view != 1) return;
    // An open edit is applied while the view it belongs to is still current.
    if (IsEditOpen() && !EndEdit(END_APPLY)) {
        m_Ui.SetCheck(IDC_VIEW_PANEL, m_View == 0);
        m_Ui.SetCheck(IDC_VIEW_AUX, m_View == 1);
        return;
    }
    m_View = view;
    m_Map.SetView(view);
    m_Map.RedrawMap();
    const Selection item = Remembered();
    SelectItem(item.m_Index, item.m_Kind);
}

bool BasicDlg::SelectItem(int index, int kind) {
    if (InputRefused()) return false;
    // A failed apply keeps the edit open; the item being edited must stay the selected one, or
    // a later apply would store its values into another item.
    if (IsEditOpen() && !EndEdit(END_APPLY)) return false;
    if (kind < ITEM_NONE || kind > ITEM_SUBFEED) {
        kind = ITEM_NONE;
        index = -1;
    }
    Remembered() = Selection{kind, index};
    const Selection item = CurrentItem();
    if (m_UnitConnected || m_Offline) {
        ShowItem(item);
        const int k = item.m_Kind;
        EnableItem(IDC_POSITION, k != ITEM_MAIN);
        EnableItem(IDC_POSITION_LABEL, k != ITEM_MAIN);
        for (int id : {IDC_UC_ALARM, IDC_UC_LABEL, IDC_UC_UNIT})
            EnableItem(id, k == ITEM_BREAKER);
        for (int id : {IDC_NEUTRAL_ALARM, IDC_NEUTRAL_LABEL, IDC_NEUTRAL_UNIT, IDC_GROUND_ALARM,
                       IDC_GROUND_LABEL, IDC_GROUND_UNIT})
            EnableItem(id, k == ITEM_MAIN || k == ITEM_SUBFEED);
    }
    EnableItem(IDC_BREAKER_EDIT, item.m_Kind != ITEM_NONE);
    m_Ui.TransferToControls(m_Fields);
    return true;
}

void BasicDlg::ShowItem(const Selection& item) {
    const PanelRecord& panel = m_Config.m_Panels[m_Panel];
    ToolFields& f = m_Fields;
    if (item.m_Kind == ITEM_BREAKER) {
        const BreakerRecord& b = panel.m_Breakers[item.m_Index];
        f.m_strBreakerName = b.m_Name;
        f.m_nPosition = SlotToDisplay(panel, b.m_Position);
        f.m_nPoles = b.m_Poles;
        f.m_nRating = b.m_Rating;
        f.m_nOcAlarm = b.m_OcAlarm;
        f.m_nOcWarning = b.m_OcWarning;
        f.m_nUcAlarm = b.m_UcAlarm;
        f.m_nNeutralAlarm = 0;
        f.m_nGroundAlarm = 0;
        f.m_nHysteresis = b.m_Hysteresis;
        return;
    }
    if (item.m_Kind == ITEM_MAIN || item.m_Kind == ITEM_SUBFEED) {
        const SubfeedRecord& s =
            item.m_Kind == ITEM_MAIN ? panel.m_MainFeed : panel.m_Subfeeds[item.m_Index];
        f.m_strBreakerName = s.m_Name;
        f.m_nPosition =
            s.m_Placement == PLACEMENT_PANEL ? SlotToDisplay(panel, s.m_Position) : s.m_Position;
        f.m_nPoles = s.m_Poles;
        f.m_nRating = s.m_Rating;
        f.m_nOcAlarm = s.m_OcAlarm;
        f.m_nOcWarning = s.m_OcWarning;
        f.m_nUcAlarm = 0;
        f.m_nNeutralAlarm = s.m_NeutralAlarm;
        f.m_nGroundAlarm = s.m_GroundAlarm;
        f.m_nHysteresis = s.m_Hysteresis;
        return;
    }
    f.m_strBreakerName = text::kNoBreakerSelected;
    f.m_nPosition = f.m_nPoles = f.m_nRating = f.m_nOcAlarm = f.m_nOcWarning = 0;
    f.m_nUcAlarm = f.m_nNeutralAlarm = f.m_nGroundAlarm = f.m_nHysteresis = 0;
}

// ---- edit state machine ----

bool BasicDlg::BeginEdit(int group) {
    if (InputRefused()) return false;
    if (group < EDIT_UNIT || group > EDIT_BREAKER) return false;
    if (!m_UnitConnected && !m_Offline) return false;  // no configuration shown yet
    // Beginning another edit while the open one fails its check would leave two groups
    // editable; the open edit stays the only one.
    if (IsEditOpen() && !EndEdit(END_APPLY)) return false;
    switch (group) {
        case EDIT_UNIT:
            ProtectItem(IDC_UNIT_NAME, false);
            ProtectItem(IDC_SW_ADDRESS, false);
            GotoItem(IDC_UNIT_NAME);
            OpenGroupButtons(EDIT_UNIT);
            break;
        case EDIT_PANEL:
            ProtectItem(IDC_PANEL_NAME, false);
            ProtectItem(IDC_PASSWORD, false);
            GotoItem(IDC_PANEL_NAME);
            OpenGroupButtons(EDIT_PANEL);
            break;
        default: {
            const int k = CurrentItem().m_Kind;
            if (k == ITEM_NONE) return false;  // nothing to edit
            ProtectItem(IDC_BREAKER_NAME, k == ITEM_MAIN);
            for (int id : {IDC_RATING, IDC_OC_ALARM, IDC_OC_WARNING, IDC_HYSTERESIS})
                ProtectItem(id, false);
            ProtectItem(IDC_UC_ALARM, k != ITEM_BREAKER);
            ProtectItem(IDC_NEUTRAL_ALARM, k == ITEM_BREAKER);
            ProtectItem(IDC_GROUND_ALARM, k == ITEM_BREAKER);
            GotoItem(k == ITEM_MAIN ? IDC_RATING : IDC_BREAKER_NAME);
            OpenGroupButtons(EDIT_BREAKER);
            break;
        }
    }
    m_EditGroup = group;
    return true;
}

void BasicDlg::OpenGroupButtons(int group) {
    const GroupButtons& b = kGroupButtons[group];
    EnableItem(b.m_Edit, false);
    EnableItem(b.m_Cancel, true);
    EnableItem(b.m_Apply, true);
    m_Ui.SetDefaultButton(b.m_Apply, true);
}

void BasicDlg::CloseGroupButtons(int group) {
    const GroupButtons& b = kGroupButtons[group];
    EnableItem(b.m_Edit, true);
    EnableItem(b.m_Cancel, false);
    m_Ui.SetDefaultButton(b.m_Apply, false);
    EnableItem(b.m_Apply, false);
    GotoItem(b.m_Edit);
}

bool BasicDlg::CheckText(const std::string& value, const char* label, int id) {
    if (value.size() <= kMaxTextLength) return true;
    Stop(FormatStr("%s must not be longer than %d characters", label,
                   static_cast<int>(kMaxTextLength)));
    GotoItem(id);
    return false;
}

bool BasicDlg::CheckBreakerFields(const Selection& item) {
    if (item.m_Kind == ITEM_NONE) return true;
    const PanelRecord& panel = m_Config.m_Panels[m_Panel];
    const ToolFields& f = m_Fields;
    auto check = [&](const FieldLimit& limit, int value, int stored) {
        int lo = limit.m_Min;
        int hi = limit.m_Max;
        if (value < 0 || value > 0xFFFF) {
            lo = 0;  // would not fit the record's 16-bit field
            hi = 0xFFFF;
        } else if (value == stored || (value >= lo && value <= hi)) {
            return true;
        }
        Stop(FormatStr("%s must be in the range %d .. %d", limit.m_Label, lo, hi));
        GotoItem(limit.m_Id);
        return false;
    };
    if (item.m_Kind == ITEM_BREAKER) {
        const BreakerRecord& b = panel.m_Breakers[item.m_Index];
        return (f.m_strBreakerName == b.m_Name ||
                CheckText(f.m_strBreakerName, "Breaker Name", IDC_BREAKER_NAME)) &&
               check(kRatingLimit, f.m_nRating, b.m_Rating) &&
               check(kOcAlarmLimit, f.m_nOcAlarm, b.m_OcAlarm) &&
               check(kOcWarningLimit, f.m_nOcWarning, b.m_OcWarning) &&
               check(kUcAlarmLimit, f.m_nUcAlarm, b.m_UcAlarm) &&
               check(kHysteresisLimit, f.m_nHysteresis, b.m_Hysteresis);
    }
    const SubfeedRecord& s =
        item.m_Kind == ITEM_MAIN ? panel.m_MainFeed : panel.m_Subfeeds[item.m_Index];
    const int shownPosition =
        s.m_Placement == PLACEMENT_PANEL ? SlotToDisplay(panel, s.m_Position) : s.m_Position;
    return (f.m_strBreakerName == s.m_Name ||
            CheckText(f.m_strBreakerName, "Breaker Name", IDC_BREAKER_NAME)) &&
           check(kPositionLimit, f.m_nPosition, shownPosition) &&
           check(kRatingLimit, f.m_nRating, s.m_Rating) &&
           check(kOcAlarmLimit, f.m_nOcAlarm, s.m_OcAlarm) &&
           check(kOcWarningLimit, f.m_nOcWarning, s.m_OcWarning) &&
           check(kNeutralLimit, f.m_nNeutralAlarm, s.m_NeutralAlarm) &&
           check(kGroundLimit, f.m_nGroundAlarm, s.m_GroundAlarm) &&
           check(kHysteresisLimit, f.m_nHysteresis, s.m_Hysteresis);
}

void BasicDlg::StoreItem(const Selection& item) {
    PanelRecord& panel = m_Config.m_Panels[m_Panel];
    const ToolFields& f = m_Fields;
    if (item.m_Kind == ITEM_BREAKER) {
        BreakerRecord& b = panel.m_Breakers[item.m_Index];
        b.m_Name = f.m_strBreakerName;
        b.m_Rating = U16(f.m_nRating);
        b.m_OcAlarm = U16(f.m_nOcAlarm);
        b.m_OcWarning = U16(f.m_nOcWarning);
        b.m_UcAlarm = U16(f.m_nUcAlarm);
        b.m_Hysteresis = U16(f.m_nHysteresis);
        return;
    }
    if (item.m_Kind != ITEM_MAIN && item.m_Kind != ITEM_SUBFEED) return;
    SubfeedRecord& s = item.m_Kind == ITEM_MAIN ? panel.m_MainFeed : panel.m_Subfeeds[item.m_Index];
    s.m_Name = f.m_strBreakerName;
    // The position field is read-only; a shown value that was not changed leaves the stored
    // position exactly as it was.
    const bool inPanel = s.m_Placement == PLACEMENT_PANEL;
    const int shown = inPanel ? SlotToDisplay(panel, s.m_Position) : s.m_Position;
    if (f.m_nPosition != shown)
        s.m_Position = U16(inPanel ? DisplayToSlot(panel, f.m_nPosition) : f.m_nPosition);
    s.m_Rating = U16(f.m_nRating);
    s.m_OcAlarm = U16(f.m_nOcAlarm);
    s.m_OcWarning = U16(f.m_nOcWarning);
    s.m_NeutralAlarm = U16(f.m_nNeutralAlarm);
    s.m_GroundAlarm = U16(f.m_nGroundAlarm);
    s.m_Hysteresis = U16(f.m_nHysteresis);
}

bool BasicDlg::EndEdit(int mode) {
    if (InputRefused()) return false;
    if (mode == END_APPLY) {
        ToolFields read = m_Fields;
        if (!m_Ui.TransferFromControls(read)) {
            m_Ui.Beep(800, 50);
            return false;
        }
        m_Fields = read;
        if (!IsEditOpen()) return true;
        switch (m_EditGroup) {
            case EDIT_UNIT: {
                if (static_cast<unsigned>(m_Fields.m_nSoftwareAddress) > kMaxSoftwareAddress) {
                    Stop(text::kAddressRange);
                    GotoItem(IDC_SW_ADDRESS);
                    return false;
                }
                if (m_Fields.m_nSoftwareAddress % 2 != 0) {
                    Stop(text::kAddressEven);
                    GotoItem(IDC_SW_ADDRESS);
                    return false;
                }
                if (m_Fields.m_strUnitName != m_Config.m_Unit.m_UnitName &&
                    !CheckText(m_Fields.m_strUnitName, "Unit Name", IDC_UNIT_NAME))
                    return false;
                ProtectItem(IDC_UNIT_NAME, true);
                ProtectItem(IDC_SW_ADDRESS, true);
                m_Config.m_Unit.m_UnitName = m_Fields.m_strUnitName;
                m_Config.m_Unit.m_UnitAddr = U16(m_Fields.m_nSoftwareAddress);
                CloseGroupButtons(EDIT_UNIT);
                break;
            }
            case EDIT_PANEL: {
                PanelRecord& panel = m_Config.m_Panels[m_Panel];
                if ((m_Fields.m_strPanelName != panel.m_PanelName &&
                     !CheckText(m_Fields.m_strPanelName, "Panel Name", IDC_PANEL_NAME)) ||
                    (m_Fields.m_strPassword != panel.m_Password1 &&
                     !CheckText(m_Fields.m_strPassword, "Password", IDC_PASSWORD)))
                    return false;
                ProtectItem(IDC_PANEL_NAME, true);
                ProtectItem(IDC_PASSWORD, true);
                panel.m_PanelName = m_Fields.m_strPanelName;
                panel.m_Password1 = m_Fields.m_strPassword;
                CloseGroupButtons(EDIT_PANEL);
                break;
            }
            default: {
                const Selection item = CurrentItem();
                if (!CheckBreakerFields(item)) return false;
                for (int id : kBreakerFields)
                    ProtectItem(id, true);
                StoreItem(item);
                CloseGroupButtons(EDIT_BREAKER);
                break;
            }
        }
        m_EditGroup = EDIT_NONE;
        return true;
    }

    if (mode != END_CANCEL) return false;
    if (!IsEditOpen()) {
        if (m_Ui.Message(text::kAskExit, MsgButtons::YesNo, MsgIcon::None) == MsgResult::Yes) {
            Disconnect();
            m_Ui.CloseMainWindow();
        }
        return true;
    }
    switch (m_EditGroup) {
        case EDIT_UNIT:
            LoadUnitFields();
            ShowDipSwitch();
            ProtectItem(IDC_UNIT_NAME, true);
            ProtectItem(IDC_SW_ADDRESS, true);
            CloseGroupButtons(EDIT_UNIT);
            break;
        case EDIT_PANEL:
            LoadPanelFields();
            ProtectItem(IDC_PANEL_NAME, true);
            ProtectItem(IDC_PASSWORD, true);
            CloseGroupButtons(EDIT_PANEL);
            break;
        default:
            for (int id : kBreakerFields)
                ProtectItem(id, true);
            ShowItem(CurrentItem());
            CloseGroupButtons(EDIT_BREAKER);
            break;
    }
    m_Ui.TransferToControls(m_Fields);
    m_EditGroup = EDIT_NONE;
    return true;
}

void BasicDlg::ShiftSelections(int panel, int kind, int index, int delta) {
    for (Selection& s : m_Selection[panel]) {
        if (s.m_Kind != kind) continue;
        if (delta > 0 && s.m_Index >= index) {
            s.m_Index += delta;
        } else if (delta < 0) {
            if (s.m_Index == index)
                s = Selection{};
            else if (s.m_Index > index)
                s.m_Index += delta;
        }
    }
}

}  // namespace jvo::tool
