#pragma once
// WorkflowRunner: runs one workflow of the controller at a time on a worker thread, so that the
// window's thread only paints and answers while the workflow waits for the unit. The controller
// stays synchronous: the workflow calls BasicDlg as before, and BasicDlg reaches the user
// through ToolUi, whose front end carries each call to its own thread and waits for the answer.
//
// While a workflow runs, BasicDlg is busy: every entry point refuses, except the calls the
// workflow itself makes on the worker thread. The runner belongs to the window's thread; it must
// be destroyed before the BasicDlg it drives.
#include <functional>
#include <mutex>
#include <thread>

namespace jvo::tool {

class BasicDlg;

class WorkflowRunner {
public:
    explicit WorkflowRunner(BasicDlg& dlg);
    // Waits for the worker.
    ~WorkflowRunner();
    WorkflowRunner(const WorkflowRunner&) = delete;
    WorkflowRunner& operator=(const WorkflowRunner&) = delete;

    // Marks the controller busy and runs `workflow` on the worker thread; when it returns the
    // busy mark is cleared and then `onFinished` (may be empty) runs on the worker thread. False,
    // and nothing runs, while another workflow runs, when called from the worker thread (from a
    // workflow or its onFinished) or without a workflow. onFinished must not wait for the
    // window's thread: it posts, the window's thread may be in Start or Wait.
    bool Start(std::function<void(BasicDlg&)> workflow, std::function<void()> onFinished = {});
    // True while a workflow runs (the controller's busy mark).
    bool Busy() const;
    // Blocks until the worker, its onFinished included, has ended. The workflow must not be
    // waiting for the calling thread (a ToolUi call the window's thread answers).
    void Wait();

private:
    BasicDlg& m_Dlg;
    std::mutex m_Mutex;  // guards m_Worker
    std::thread m_Worker;
};

}  // namespace jvo::tool
