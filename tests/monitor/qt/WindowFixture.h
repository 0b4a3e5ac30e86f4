#pragma once
// The monitor's real windows against the simulated unit: the unit on a pty pinned as COM 1 in a
// private port directory (no other pin) and behind a proxy server on a free loopback port, a
// QApplication on the offscreen platform, and helpers that act as the user would on the dialogs
// the windows open (message boxes, save dialogs).
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <chrono>
#include <memory>
#include <thread>

#include "monitor/qt/MonitorDlg.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"
#include "tests/config/TestConfigs.h"
#include "tests/sim/SimClientFixture.h"
#include "tests/sim/SimProxyServer.h"

namespace jvo::test {

// The application object made by the test's main().
inline QApplication& App() {
    return *qApp;
}

// Runs the event loop until `done` holds or `ms` pass (generous: the machine may be loaded).
template <class Fn>
bool Pump(Fn&& done, int ms = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A visible top-level or child dialog of type T (and object name, when given).
template <class T>
T* Visible(const char* name = nullptr) {
    for (QWidget* w : QApplication::allWidgets()) {
        auto* t = qobject_cast<T*>(w);
        if (t && t->isVisible() && (!name || t->objectName() == QLatin1String(name))) return t;
    }
    return nullptr;
}

// Waits for a message box, answers it with `button` and returns its text ("" when none came).
inline QString Answer(QMessageBox::StandardButton button) {
    QMessageBox* box = nullptr;
    if (!Pump([&] { return (box = Visible<QMessageBox>()) != nullptr; })) return {};
    const QString text = box->text();
    box->button(button)->click();
    Pump([&] { return Visible<QMessageBox>() == nullptr; });
    return text;
}

// Waits for the save dialog and saves as `path`.
inline bool SaveAs(const std::string& path) {
    QFileDialog* d = nullptr;
    if (!Pump([&] { return (d = Visible<QFileDialog>("saveDump")) != nullptr; })) return false;
    d->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(d)->accept();  // as the Save button does
    return Pump([&] { return Visible<QFileDialog>("saveDump") == nullptr; });
}

// Where screenshots go: $JVO_SCREENSHOT_DIR, or the test's own folder.
inline QString ShotDir() {
    const char* env = std::getenv("JVO_SCREENSHOT_DIR");
    const QString dir = env && *env
                            ? QString::fromLocal8Bit(env)
                            : QString::fromLocal8Bit(std::getenv("JVO_TEST_TMP")) + "/screenshots";
    QDir().mkpath(dir);
    return dir;
}

// A dark desktop's palette, with its own (dimmer) colours for disabled text and fields.
inline QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 32));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(55, 55, 58));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(110, 110, 110));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(45, 45, 48));
    return p;
}

inline void PressKey(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

class WindowTest : public ::testing::Test {
protected:
    static constexpr int kCom = 1;

    WindowTest()
        : unit(unitClock, sim::MakeDemoConfig(), SeededOptions(), [this] { return wall.load(); }),
          port(unit),
          proxy(unit) {
        App();
    }
    void SetUp() override {
        ASSERT_FALSE(ports.Path().empty());
        ::setenv("JVO_PORT_DIR", ports.Path().c_str(), 1);
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(port.Pin(kCom, ports.Path()));
        ASSERT_TRUE(proxy.Start());
    }
    void TearDown() override {
        dlg.reset();
        proxy.Stop();
        ::unsetenv("JVO_PORT_DIR");
    }
    std::string ProxyAddress() const { return proxy.Address(); }

    // The main window, shown and started; the connect dialog comes up (or the preset is used).
    void Open(bool serviceUser, monitor::SessionOptions options = {}) {
        app = std::make_unique<monitor::MonitorApp>(serviceUser);
        options.sleeper = [](int32_t) {};
        dlg = std::make_unique<monitor::qt::MonitorDlg>(*app, "/tmp/jvo-monitor-test.log", options);
        QObject::connect(dlg.get(), &monitor::qt::MonitorDlg::ConnectFinished,
                         [this](bool ok) { connected = ok ? 1 : 0; });
        dlg->show();
        dlg->Start();
    }
    bool Connected() {
        return Pump([&] { return connected >= 0; }) && connected == 1;
    }
    // Waits for a full poll cycle after now.
    bool NextCycle() {
        const uint64_t c = dlg->Session().Worker().Cycles();
        return Pump([&] { return dlg->Session().Worker().Cycles() >= c + 1; });
    }
    // Moves the unit's time on by whole seconds.
    void Wait(int seconds) {
        unitClock.Advance(static_cast<uint64_t>(seconds) * 1000);
        wall += seconds;
        unit.Advance();
    }
    const UnitConfig& Config() { return dlg->Session().Config(); }

    TempDir ports;
    TempDir files;
    ManualClock unitClock{10'000};
    std::atomic<int64_t> wall{kNoon};
    sim::SimUnit unit;
    sim::SimSerialPort port;
    SimProxyServer proxy;
    std::unique_ptr<monitor::MonitorApp> app;
    std::unique_ptr<monitor::qt::MonitorDlg> dlg;
    int connected = -1;
};

}  // namespace jvo::test
