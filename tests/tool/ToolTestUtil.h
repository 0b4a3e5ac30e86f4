#pragma once
// A scripted user interface for the configuration tool's controller: questions are answered from
// a queue (each answer names a piece of the question it expects), every message is recorded with
// its buttons, icon and default, and the state of every control is kept. Also a canvas that
// records what the panel picture draws, a simulated unit on a pseudo-terminal, and
// configurations for the tests.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "config/ConfigCheck.h"
#include "config/ConfigFile.h"
#include "config/Slots.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"
#include "tests/config/TestConfigs.h"
#include "tool/BasicDlg.h"
#include "tool/ToolUi.h"
#include "tool/UserMap.h"

namespace jvo::tool::test {

using jvo::test::TempDir;

struct Shown {
    std::string text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    MsgResult defaultButton = MsgResult::Ok;
};

class ScriptedUi : public ToolUi {
public:
    using ToolUi::Message;

    // Queues the answer to the next question; `expect` must be part of its text. `before` runs
    // just before the answer is given (to change the simulated unit, for instance).
    void Answer(std::string expect, MsgResult answer, std::function<void()> before = {}) {
        m_Answers.push_back({std::move(expect), answer, std::move(before)});
    }
    bool AllAnswered() const { return m_Answers.empty(); }

    MsgResult Message(const std::string& text, MsgButtons buttons, MsgIcon icon,
                      MsgResult defaultButton) override {
        messages.push_back({text, buttons, icon, defaultButton});
        if (buttons == MsgButtons::Ok) return MsgResult::Ok;
        const MsgResult negative = buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
        if (m_Answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return negative;
        }
        Scripted a = std::move(m_Answers.front());
        m_Answers.pop_front();
        EXPECT_NE(text.find(a.expect), std::string::npos)
            << "expected a question with '" << a.expect << "', got: " << text;
        if (a.before) a.before();
        return a.answer;
    }

    FileChoice ChooseFileToOpen(const std::string& ext, const std::string& filter) override {
        fileDialogs.push_back("open " + ext + " " + filter);
        return Pop(opens);
    }
    FileChoice ChooseFileToSave(const std::string& ext, const std::string& filter) override {
        fileDialogs.push_back("save " + ext + " " + filter);
        return Pop(saves);
    }
    ConnectResult RunConnectDialog(BasicDlg& dlg) override {
        ++connectDialogs;
        if (connectFn) return connectFn(dlg);
        if (connects.empty()) return ConnectResult{};
        ConnectResult r = connects.front();
        connects.pop_front();
        return r;
    }
    bool RunAddSubfeedDialog(uint16_t mask, int& candidate, int& size) override {
        subfeedMasks.push_back(mask);
        subfeedFirst.push_back(candidate);
        if (subfeedAnswers.empty()) return false;
        const auto a = subfeedAnswers.front();
        subfeedAnswers.pop_front();
        candidate = a.candidate;
        size = a.size;
        return a.ok;
    }
    int TrackContextMenu(int subMenu, int, int) override {
        menusShown.push_back(subMenu);
        if (menuAnswers.empty()) return 0;
        const int c = menuAnswers.front();
        menuAnswers.pop_front();
        return c;
    }

    void ProgressBegin(const std::string& caption) override {
        progress.push_back("begin " + caption);
    }
    void ProgressCaption(const std::string& caption) override {
        progress.push_back("caption " + caption);
        if (onCaption) onCaption(caption);
    }
    void ProgressRange(int upper) override { progress.push_back("range " + std::to_string(upper)); }
    void ProgressPos(int pos) override { positions.push_back(pos); }
    void ProgressHide() override { progress.push_back("hide"); }
    void ProgressEnd() override { progress.push_back("end"); }

    void ShowAbout() override { ++abouts; }
    void SetTitle(const std::string& t) override { title = t; }
    void RepaintWindow() override { ++repaints; }
    void CloseMainWindow() override { closed = true; }

    void EnableItem(int id, bool on) override { enabled[id] = on; }
    void ProtectItem(int id, bool on) override { readOnly[id] = on; }
    void GotoItem(int id) override { focus = id; }
    void SetDefaultButton(int id, bool on) override { defaults[id] = on; }
    void SetItemText(int id, const std::string& t) override { texts[id] = t; }
    void SetCheck(int id, bool on) override { checks[id] = on; }
    void TransferToControls(const ToolFields& f) override { controls = f; }
    bool TransferFromControls(ToolFields& f) override {
        if (parseFails) return false;
        f = controls;
        return true;
    }
    void Beep(int hz, int ms) override { beeps.push_back({hz, ms}); }
    void ShowStatus(const std::string& t) override { status = t; }
    bool ShowDifferences(const std::string& heading, const std::vector<std::string>& lines,
                         bool offerInstall) override {
        differences.push_back({heading, lines, offerInstall});
        return installFromComparison;
    }

    // Messages whose text contains `part`.
    int Count(const std::string& part) const {
        int n = 0;
        for (const Shown& m : messages)
            if (m.text.find(part) != std::string::npos) ++n;
        return n;
    }
    const Shown* Find(const std::string& part) const {
        for (const Shown& m : messages)
            if (m.text.find(part) != std::string::npos) return &m;
        return nullptr;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const Shown& m : messages)
            t.push_back(m.text);
        return t;
    }

    struct SubfeedAnswer {
        bool ok;
        int candidate;
        int size;
    };

    std::vector<Shown> messages;
    std::deque<ConnectResult> connects;
    std::function<ConnectResult(BasicDlg&)> connectFn;
    std::function<void(const std::string&)> onCaption;  // called with each new progress caption
    int connectDialogs = 0;
    std::deque<FileChoice> opens;
    std::deque<FileChoice> saves;
    std::vector<std::string> fileDialogs;
    std::deque<SubfeedAnswer> subfeedAnswers;
    std::vector<uint16_t> subfeedMasks;
    std::vector<int> subfeedFirst;
    std::deque<int> menuAnswers;
    std::vector<int> menusShown;
    std::vector<std::string> progress;
    std::vector<int> positions;
    std::string title;
    int abouts = 0;
    int repaints = 0;
    bool closed = false;
    std::map<int, bool> enabled, readOnly, defaults, checks;
    std::map<int, std::string> texts;
    int focus = 0;
    ToolFields controls;
    bool parseFails = false;
    std::vector<std::pair<int, int>> beeps;
    std::string status;
    struct Comparison {
        std::string heading;
        std::vector<std::string> lines;
        bool offerInstall = false;
    };
    std::vector<Comparison> differences;
    bool installFromComparison = false;

private:
    struct Scripted {
        std::string expect;
        MsgResult answer;
        std::function<void()> before;
    };
    static FileChoice Pop(std::deque<FileChoice>& q) {
        if (q.empty()) return FileChoice{};
        FileChoice f = q.front();
        q.pop_front();
        return f;
    }
    std::deque<Scripted> m_Answers;
};

// Recent routes kept in memory, as a program's settings would keep them.
class MemoryRouteStore final : public RouteStore {
public:
    std::vector<Route> Load() override { return routes; }
    void Save(const std::vector<Route>& r) override {
        routes = r;
        ++saves;
    }
    std::vector<Route> routes;
    int saves = 0;
};

inline FileChoice File(const std::string& path) {
    FileChoice f;
    f.m_Chosen = true;
    f.m_Path = path;
    const size_t slash = path.find_last_of('/');
    f.m_Name = slash == std::string::npos ? path : path.substr(slash + 1);
    return f;
}

inline ConnectResult Offline(const UnitConfig& config) {
    ConnectResult r;
    r.m_Kind = ConnectResult::OFFLINE;
    r.m_Config = config;
    return r;
}

// Records the drawing operations of the panel picture.
class RecordingCanvas : public MapCanvas {
public:
    struct Op {
        enum Kind { CLEAR, FRAME, IMAGE, TEXT, REPAINT } kind;
        MapRect rect;
        MapColour colour;
        int pen = 0;
        bool inset = false;
        SlotImage image;
        std::string text;
    };
    void Clear(const MapColour& c) override { ops.push_back({Op::CLEAR, {}, c, 0, false, {}, {}}); }
    void Frame(const MapRect& r, const MapColour& c, int pen, bool inset) override {
        ops.push_back({Op::FRAME, r, c, pen, inset, {}, {}});
    }
    void Image(const SlotImage& image, const MapRect& r) override {
        ops.push_back({Op::IMAGE, r, {}, 0, false, image, {}});
    }
    void Text(const MapRect& r, const std::string& t) override {
        ops.push_back({Op::TEXT, r, {}, 0, false, {}, t});
    }
    void Repaint() override { ops.push_back({Op::REPAINT, {}, {}, 0, false, {}, {}}); }

    std::vector<Op> Of(Op::Kind kind) const {
        std::vector<Op> out;
        for (const Op& o : ops)
            if (o.kind == kind) out.push_back(o);
        return out;
    }
    // The image drawn with its top-left corner at (x, y), or null.
    const Op* ImageAt(int x, int y) const {
        const Op* found = nullptr;
        for (const Op& o : ops)
            if (o.kind == Op::IMAGE && o.rect.m_Left == x && o.rect.m_Top == y) found = &o;
        return found;
    }
    const Op* TextOf(const std::string& t) const {
        for (const Op& o : ops)
            if (o.kind == Op::TEXT && o.text == t) return &o;
        return nullptr;
    }
    std::vector<Op> ops;
};

// A simulated unit served on a pseudo-terminal, restarting and answering fast.
class SimUnitOnPty {
public:
    static sim::SimOptions Fast() {
        sim::SimOptions o;
        o.rebootSilenceMs = 0;
        o.bootingStatusReplies = 2;
        return o;
    }
    explicit SimUnitOnPty(UnitConfig config, sim::SimOptions options = Fast(),
                          sim::SerialOptions serial = {})
        : unit(SystemClock::Instance(), std::move(config), options), port(unit, serial) {
        started = port.Start();
    }
    ConnectResult Device() const {
        ConnectResult r;
        r.m_Kind = ConnectResult::DEVICE;
        r.m_Device = port.DevicePath();
        return r;
    }
    void Silence(bool on) {
        sim::SerialFaults f;
        f.silent = on;
        port.SetFaults(f);
    }

    sim::SimUnit unit;
    sim::SimSerialPort port;
    bool started = false;
};

// The configuration as a transfer from a unit and the tool's take-over deliver it: entries
// beyond the counts at their defaults, both panels in slot order.
inline UnitConfig AsExtracted(UnitConfig c) {
    for (PanelRecord& p : c.m_Panels) {
        for (int i = p.UsedBreakers(); i < kMaxBreakers; ++i)
            p.m_Breakers[i] = BreakerRecord();
        for (int i = p.UsedSubfeeds(); i < kMaxSubfeeds; ++i)
            p.m_Subfeeds[i] = SubfeedRecord();
        SortBreakers(p, false);
        SortSubfeeds(p, false);
    }
    return c;
}

// The demo cabinet with one minor error: a breaker channel with the wrong voltage index.
inline UnitConfig MinorConfig() {
    UnitConfig c = sim::MakeDemoConfig();
    const CtRef ref = c.m_Panels[0].m_Breakers[0].m_Ct[0];
    c.m_Ct[ref].m_VoltageIndex = static_cast<uint16_t>((c.m_Ct[ref].m_VoltageIndex + 1) % 3);
    return c;
}

// The demo cabinet with a serious error (a channel used twice) and a minor one.
inline UnitConfig SeriousConfig() {
    UnitConfig c = MinorConfig();
    c.m_Panels[1].m_Breakers[1].m_Ct[0] = c.m_Panels[1].m_Breakers[0].m_Ct[0];
    return c;
}

// A configuration whose only reported error is minor (an invalid layout), but whose correction
// (layout 1) reveals a breaker spanning both columns: a serious error only the correcting run
// finds.
inline UnitConfig HiddenSeriousConfig() {
    UnitConfig c = sim::MakeFactoryConfig();
    PanelRecord& a = c.m_Panels[0];
    a.m_Layout = 7;
    BreakerRecord& b = a.m_Breakers[0];
    b.m_Name = "SPANNER";
    b.m_Rating = 20;
    b.m_Position = 21;
    b.m_Poles = 2;
    b.m_Ct = {static_cast<CtRef>(25), static_cast<CtRef>(26), CT_NONE};
    b.m_OcAlarm = 80;
    b.m_OcWarning = 75;
    b.m_Hysteresis = 5;
    a.m_BreakerCnt = 1;
    c.m_Ct[25].m_VoltageIndex = 2;  // slot 21: phase Z
    c.m_Ct[26].m_VoltageIndex = 0;  // slot 22: phase X
    return c;
}

// Both panels on LIB-G1 main boards (hardware classes 3 and 4: subfeeds on module groups), panel
// A odd/even, panel B sequential, no breakers or subfeeds, no findings.
inline UnitConfig LibConfig() {
    UnitConfig c = sim::MakeFactoryConfig();
    c.m_Panels[0].m_Boards[0] = 2;
    c.m_Panels[1].m_Boards[0] = 2;
    c.m_Panels[1].m_Layout = 0;
    ConfigCheck(c, true, nullptr, nullptr);
    return c;
}

// Offline take-over of `config` by a freshly initialised controller.
inline void StartOffline(BasicDlg& dlg, ScriptedUi& ui, const UnitConfig& config) {
    dlg.InitDialog();
    ui.connects.push_back(Offline(config));
    dlg.Connect();
}

}  // namespace jvo::tool::test
