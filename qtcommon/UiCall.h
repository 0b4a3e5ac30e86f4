#pragma once
// Calls from a worker thread onto the user-interface thread.
//
// A controller that runs on a worker thread talks to its windows through these, so that widgets
// are only ever touched on the thread that owns them:
// - CallOnUi runs a function on the context object's thread and waits for its result (a blocking
//   queued call). Called on that thread itself it simply runs the function.
// - AwaitOnUi starts something that finishes later (a dialog opened with open(), a popup menu) on
//   the context object's thread and waits until it reports its result through the `done`
//   callback. The UI thread keeps running its own event loop meanwhile; no loop is nested inside
//   the caller. Called on the UI thread itself it waits in a local event loop (a fallback for
//   code that is not run by a worker).
// The UI thread must never wait for the worker while the worker waits here.
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>

namespace jvo::qt {

inline bool OnThreadOf(const QObject* context) {
    return QThread::currentThread() == context->thread();
}

template <class F>
auto CallOnUi(QObject* context, F&& f) -> std::invoke_result_t<F> {
    using R = std::invoke_result_t<F>;
    if (OnThreadOf(context)) return f();
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            context, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

// A one-shot result slot shared between the waiting thread and the UI thread.
template <class R>
class Completion {
public:
    void Set(R value) {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_Value) return;  // the first result counts
        m_Value = std::move(value);
        m_Ready.notify_all();
        if (m_OnReady) m_OnReady();
    }
    bool Ready() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Value.has_value();
    }
    R Wait() {
        std::unique_lock<std::mutex> lock(m_Lock);
        m_Ready.wait(lock, [this] { return m_Value.has_value(); });
        return *m_Value;
    }
    void OnReady(std::function<void()> f) { m_OnReady = std::move(f); }

private:
    std::mutex m_Lock;
    std::condition_variable m_Ready;
    std::optional<R> m_Value;
    std::function<void()> m_OnReady;
};

// `start(done)` runs on the context's thread and must arrange for done(result) to be called
// exactly once later (or at once); the caller waits for that result.
template <class R>
R AwaitOnUi(QObject* context, std::function<void(std::function<void(R)>)> start) {
    auto completion = std::make_shared<Completion<R>>();
    auto done = [completion](R value) { completion->Set(std::move(value)); };
    if (OnThreadOf(context)) {
        QEventLoop loop;
        completion->OnReady(
            [&loop] { QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection); });
        start(done);
        if (!completion->Ready()) loop.exec();
        return completion->Wait();
    }
    QMetaObject::invokeMethod(
        context, [start, done] { start(done); }, Qt::QueuedConnection);
    return completion->Wait();
}

}  // namespace jvo::qt
