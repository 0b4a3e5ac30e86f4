// The application object: wiring of the window's actions to the core.
#include "tool/qt/ToolApp.h"

#include <QApplication>
#include <QMenu>

#include "tool/qt/PanelPicture.h"
#include "tool/qt/ProgressDlg.h"
#include "tool/qt/ToolForm.h"

namespace jvo::tool::qt {

namespace {
constexpr int kDismissMs = 100;
}  // namespace

ToolApp::ToolApp(WindowLayout layout, std::string logPath)
    : m_Window(layout),
      m_Ui(m_Window, std::move(logPath)),
      m_Dlg(m_Ui, layout, m_Window.Form()->Picture()),
      m_Runner(m_Dlg) {
    m_Dlg.SetRouteStore(&m_Routes);
    ToolForm* form = m_Window.Form();
    PanelPicture* picture = form->Picture();
    connect(form, &ToolForm::Command, this,
            [this](int id) { Run([id](BasicDlg& d) { d.OnCommand(id); }); });
    connect(&m_Window, &ToolWindow::OkKey, this, [this] { Run([](BasicDlg& d) { d.OnOkKey(); }); });
    connect(&m_Window, &ToolWindow::CancelKey, this,
            [this] { Run([](BasicDlg& d) { d.OnCancelKey(); }); });
    connect(&m_Window, &ToolWindow::AboutRequested, this,
            [this] { Run([](BasicDlg& d) { d.OnCommand(BasicDlg::kAboutCommand); }); });
    connect(&m_Window, &ToolWindow::ConnectRequested, this,
            [this] { Run([](BasicDlg& d) { d.ConnectFromMenu(); }); });
    connect(&m_Window, &ToolWindow::DisconnectRequested, this,
            [this] { Run([](BasicDlg& d) { d.DisconnectFromMenu(); }); });
    connect(&m_Window, &ToolWindow::CompareRequested, this,
            [this] { Run([](BasicDlg& d) { d.CompareWithUnit(); }); });
    connect(picture, &PanelPicture::MouseMoved, this, [this](int x, int y) {
        if (!Busy()) m_Dlg.Map().OnMouseMove(x, y);
    });
    connect(picture, &PanelPicture::MouseLeft, this, [this] {
        if (!Busy()) m_Dlg.Map().OnMouseLeave();
    });
    connect(picture, &PanelPicture::LeftReleased, this,
            [this](int x, int y) { Run([x, y](BasicDlg& d) { d.Map().OnLButtonUp(x, y); }); });
    // The double-click comes right behind the click whose selection may still be running: it
    // waits for it rather than being lost.
    connect(picture, &PanelPicture::LeftDoubleClicked, this, [this](int x, int y) {
        auto step = [x, y](BasicDlg& d) { d.Map().OnLButtonDblClk(x, y); };
        if (!Run(step)) m_Queued = step;
    });
    connect(picture, &PanelPicture::RightReleased, this, [this](int x, int y, int gx, int gy) {
        Run([=](BasicDlg& d) { d.Map().OnRButtonUp(x, y, gx, gy); });
    });
    connect(picture, &PanelPicture::NeedsRedraw, this, &ToolApp::Redraw);
    connect(picture, &PanelPicture::KeyPressed, this, [this](int key) {
        Run([key](BasicDlg& d) { d.Map().OnKey(static_cast<UserMap::MapKey>(key)); });
    });
    connect(picture, &PanelPicture::MenuKeyPressed, this, [this, picture] {
        if (Busy()) return;
        // The menu opens at the selected slot (read while no workflow runs).
        UserMap& map = m_Dlg.Map();
        const Slot* selected = map.Selected(map.Panel(), map.View());
        QPoint at(picture->width() / 2, picture->height() / 2);
        if (selected) at = PanelPicture::SlotCentre(map, *selected) * picture->Zoom();
        const QPoint global = picture->mapToGlobal(at);
        Run([global](BasicDlg& d) {
            d.Map().OnKey(UserMap::MapKey::MENU, global.x(), global.y());
        });
    });
    picture->SetTipSource([this](int x, int y) {
        return Busy() ? QString() : QString::fromStdString(m_Dlg.Map().TipAt(x, y));
    });
    // A dialog may be on its way to the UI thread when the end is requested: look again until
    // the workflow has ended.
    m_Dismiss.setInterval(kDismissMs);
    connect(&m_Dismiss, &QTimer::timeout, this, &ToolApp::DismissDialogs);
}

ToolApp::~ToolApp() {
    m_Runner.Wait();
}

PanelPicture& ToolApp::Picture() {
    return *m_Window.Form()->Picture();
}

void ToolApp::Start() {
    m_Dlg.InitDialog();
    m_Window.show();
    QTimer::singleShot(BasicDlg::kStartupDelayMs, this,
                       [this] { Run([](BasicDlg& d) { d.OnStartupTimer(); }); });
}

bool ToolApp::Run(std::function<void(BasicDlg&)> step) {
    if (m_EndRequested) return false;  // the window is closing: nothing new starts
    return m_Runner.Start(std::move(step), [this] {
        // On the worker: hand the end over to the UI thread.
        QMetaObject::invokeMethod(this, &ToolApp::OnFinished, Qt::QueuedConnection);
    });
}

void ToolApp::EndOnRequest() {
    if (m_EndRequested) return;
    m_EndRequested = true;
    m_Ui.SetUnattended(true);
    if (!Busy()) {
        CloseNow();
        return;
    }
    DismissDialogs();
    m_Dismiss.start();
}

void ToolApp::DismissDialogs() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == &m_Window || !w->isVisible() || qobject_cast<ProgressDlg*>(w)) continue;
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
        else if (auto* menu = qobject_cast<QMenu*>(w))
            menu->close();
    }
}

void ToolApp::CloseNow() {
    m_Dismiss.stop();
    m_Queued = nullptr;
    m_Window.AllowClose();
    m_Window.close();
}

void ToolApp::OnFinished() {
    if (m_Ui.CloseRequested() || m_EndRequested) CloseNow();
    // What the window shows of the controller's state, read now that no workflow runs.
    if (!Busy()) {
        m_Window.SetConnected(m_Dlg.UnitConnected());
        m_Window.SetUnsavedMark(QString::fromStdString(m_Dlg.UnsavedMark()));
    }
    if (m_RedrawWanted) Redraw();
    if (m_Queued) {
        auto step = std::move(m_Queued);
        m_Queued = nullptr;
        Run(std::move(step));
    }
    emit WorkflowFinished();
}

void ToolApp::Redraw() {
    // The controller's picture is not read while a workflow runs: drawn once it has ended.
    m_RedrawWanted = Busy();
    if (!m_RedrawWanted) m_Dlg.Map().RedrawMap();
}

}  // namespace jvo::tool::qt
