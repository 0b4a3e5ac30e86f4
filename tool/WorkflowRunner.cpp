#include "tool/WorkflowRunner.h"

#include <system_error>
#include <utility>

#include "tool/BasicDlg.h"

namespace jvo::tool {

namespace {

// The runner whose worker is the calling thread, if any.
thread_local const WorkflowRunner* t_Runner = nullptr;

}  // namespace

WorkflowRunner::WorkflowRunner(BasicDlg& dlg) : m_Dlg(dlg) {}

WorkflowRunner::~WorkflowRunner() {
    Wait();
}

bool WorkflowRunner::Start(std::function<void(BasicDlg&)> workflow,
                           std::function<void()> onFinished) {
    if (!workflow || t_Runner == this) return false;
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_Dlg.MarkBusy()) return false;
    // The last workflow has ended (the mark was clear); its onFinished may still be running.
    if (m_Worker.joinable()) m_Worker.join();
    try {
        m_Worker = std::thread([this, work = std::move(workflow), done = std::move(onFinished)] {
            t_Runner = this;
            m_Dlg.SetWorkflowThread(std::this_thread::get_id());
            work(m_Dlg);
            m_Dlg.ClearBusy();
            if (done) done();
        });
    } catch (const std::system_error&) {
        m_Dlg.ClearBusy();
        return false;
    }
    return true;
}

bool WorkflowRunner::Busy() const {
    return m_Dlg.Busy();
}

void WorkflowRunner::Wait() {
    if (t_Runner == this) return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Worker.joinable()) m_Worker.join();
}

}  // namespace jvo::tool
